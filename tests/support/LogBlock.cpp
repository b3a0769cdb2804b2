#include "tests/support/LogBlock.h"

namespace Vacuola::Test {

namespace {

const QString Top = QStringLiteral("*** Top of List ***");
const QString Bottom = QStringLiteral("*** Bottom of List ***");

} // namespace

LogBlock parseLogBlock(const QStringList &lines)
{
    LogBlock block;
    qsizetype at = 0;
    while (at < lines.size() && lines.at(at) != Top)
        block.header << lines.at(at++);
    if (at == lines.size())
        return block;
    ++at;
    while (at < lines.size() && lines.at(at) != Bottom)
        block.folders << lines.at(at++);
    block.complete = at + 1 < lines.size() && lines.at(at + 1).isEmpty();
    return block;
}

} // namespace Vacuola::Test
