#include "engine/LogLines.h"

#include "engine/FolderNodes.h"
#include "engine/PathCursor.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"
#include "platform/SharedPrefix.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace Vacuola {

namespace {

// The block goes out in pieces of about this size.
constexpr qsizetype PieceSize = 1024 * 1024;

} // namespace

LogLines::LogLines() = default;

LogLines::LogLines(const FolderNodes &nodes) : m_nodes(&nodes) {}

LogLines::~LogLines() = default;

void LogLines::clear()
{
    m_tails = QString();
    std::vector<qsizetype>().swap(m_tailStarts);
    std::vector<Line>().swap(m_lines);
}

qsizetype LogLines::size() const
{
    return qsizetype(m_lines.size());
}

bool LogLines::isEmpty() const
{
    return m_lines.empty();
}

void LogLines::appendFolder(quint32 folder, QStringView tail)
{
    Line line{folder, NoTail};
    if (!tail.isEmpty()) {
        line.tail = quint32(m_tailStarts.size());
        m_tailStarts.push_back(m_tails.size());
        m_tails += tail;
    }
    m_lines.push_back(line);
}

void LogLines::append(std::initializer_list<QStringView> pieces)
{
    Line line{NoFolder, quint32(m_tailStarts.size())};
    m_tailStarts.push_back(m_tails.size());
    for (const QStringView piece : pieces)
        m_tails += piece;
    m_lines.push_back(line);
}

void LogLines::insertFirst(QStringView line)
{
    append({line});
    std::rotate(m_lines.begin(), m_lines.end() - 1, m_lines.end());
}

QStringView LogLines::tail(const Line &line) const
{
    if (line.tail == NoTail)
        return {};
    const qsizetype start = m_tailStarts[line.tail];
    const qsizetype end =
        size_t(line.tail) + 1 < m_tailStarts.size() ? m_tailStarts[line.tail + 1] : m_tails.size();
    return QStringView(m_tails).sliced(start, end - start);
}

QStringList LogLines::toStringList() const
{
    QStringList lines;
    lines.reserve(size());
    visit([&lines](const QString &line) { lines.append(line); });
    return lines;
}

void LogLines::visit(const std::function<void(const QString &line)> &line) const
{
    std::unique_ptr<PathCursor> cursor;
    if (m_nodes)
        cursor = std::make_unique<PathCursor>(*m_nodes, PathCursor::Form::Text);
    QString text;
    for (const Line &each : m_lines) {
        text.truncate(0);
        if (each.folder != NoFolder)
            text += cursor->text(each.folder);
        line(text += tail(each));
    }
}

void LogLines::sort(const std::vector<quint32> &places)
{
    const Locale::IgnoreCaseOrder order;
    // One cursor for each side of a comparison: a walk through sorted lines
    // moves each of them a step at a time.
    std::unique_ptr<PathCursor> cursors[2];
    if (m_nodes) {
        cursors[0] = std::make_unique<PathCursor>(*m_nodes, PathCursor::Form::Text);
        cursors[1] = std::make_unique<PathCursor>(*m_nodes, PathCursor::Form::Text);
    }
    const QString none;
    QString texts[2];
    const auto less = [&](const Line &a, const Line &b) {
        const QString &left = a.folder != NoFolder ? cursors[0]->text(a.folder) : none;
        const QString &right = b.folder != NoFolder ? cursors[1]->text(b.folder) : none;
        // What the two lines share up to the last "/" before their first
        // difference collates alike in both, so only what follows is compared.
        // The folders the two paths share are passed over first, so that
        // the lines of a deep tree are never made whole.
        const qsizetype sharedPath = sharedPrefix(left, right);
        const qsizetype slash = sharedPath > 0 ? left.lastIndexOf(QLatin1Char('/'), sharedPath - 1) : -1;
        const qsizetype begin = qMax<qsizetype>(slash, 0);
        texts[0].truncate(0);
        texts[0].append(QStringView(left).sliced(begin)).append(tail(a));
        texts[1].truncate(0);
        texts[1].append(QStringView(right).sliced(begin)).append(tail(b));
        const QStringView x = texts[0];
        const QStringView y = texts[1];
        qsizetype from = sharedPrefix(x, y);
        while (from > 0 && x[from - 1] != u'/')
            --from;
        from = from > 0 ? from - 1 : 0;
        return order.compare(x.sliced(from), y.sliced(from)) < 0;
    };

    if (!places.empty()) {
        const auto place = [&places](const Line &line) {
            return line.folder < places.size() ? places[line.folder] : NoFolder;
        };
        std::sort(m_lines.begin(), m_lines.end(),
                  [&place](const Line &a, const Line &b) { return place(a) < place(b); });
    }
    // A merge of the runs already in order: one run needs one comparison per line.
    std::vector<size_t> runs{0};
    for (size_t i = 1; i < m_lines.size(); ++i) {
        if (less(m_lines[i], m_lines[i - 1]))
            runs.push_back(i);
    }
    runs.push_back(m_lines.size());
    while (runs.size() > 2) {
        std::vector<size_t> merged{0};
        for (size_t run = 0; run + 1 < runs.size(); run += 2) {
            const size_t end = qMin(run + 2, runs.size() - 1);
            if (end == run + 2)
                std::inplace_merge(m_lines.begin() + qsizetype(runs[run]),
                                   m_lines.begin() + qsizetype(runs[run + 1]),
                                   m_lines.begin() + qsizetype(runs[end]), less);
            merged.push_back(runs[end]);
        }
        runs.swap(merged);
    }
}

int LogLines::write(FileAppend &append) const
{
    std::unique_ptr<PathCursor> cursor;
    if (m_nodes)
        cursor = std::make_unique<PathCursor>(*m_nodes, PathCursor::Form::Cp932);
    QByteArray piece;
    piece.reserve(PieceSize + 64 * 1024);
    for (const Line &line : m_lines) {
        if (line.folder != NoFolder)
            piece += cursor->bytes(line.folder);
        const QStringView text = tail(line);
        if (!text.isEmpty())
            piece += Cp932::encode(text);
        piece += "\r\n";
        if (piece.size() >= PieceSize) {
            if (const int error = append.write({QByteArrayView(piece)}))
                return error;
            piece.truncate(0);
        }
    }
    if (piece.isEmpty())
        return 0;
    return append.write({QByteArrayView(piece)});
}

} // namespace Vacuola
