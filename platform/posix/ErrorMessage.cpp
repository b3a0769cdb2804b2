// The system's message text for an error number, as the program shows and logs it.

#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/posix/Converter.h"

#include <QByteArray>

#include <cstring>

#include <langinfo.h>
#include <locale.h>
#include <string.h>

namespace Vacuola {

namespace {

locale_t userLocale()
{
    static const locale_t locale = [] {
        locale_t made = ::newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
        if (made == static_cast<locale_t>(nullptr))
            made = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        return made;
    }();
    return locale;
}

// The message bytes are in the codeset of the user's locale.
QString decodeMessage(const char *message, locale_t locale)
{
    const char *codeset =
        locale != static_cast<locale_t>(nullptr) ? ::nl_langinfo_l(CODESET, locale) : nullptr;
    const QByteArray raw(message);
    if (codeset == nullptr || qstricmp(codeset, "UTF-8") == 0 || qstricmp(codeset, "ANSI_X3.4-1968") == 0)
        return QString::fromLocal8Bit(raw);
    // The user's locale is taken once, so its codeset never changes.
    thread_local Posix::Converter converter("UTF-8", codeset);
    if (!converter.valid())
        return QString::fromLocal8Bit(raw);
    QByteArray out(raw.size() * 4 + 16, '\0');
    char *in = const_cast<char *>(raw.constData());
    size_t inLeft = size_t(raw.size());
    char *outPtr = out.data();
    size_t outLeft = size_t(out.size());
    converter.convert(nullptr, nullptr, nullptr, nullptr);
    if (converter.convert(&in, &inLeft, &outPtr, &outLeft) == size_t(-1))
        return QString::fromLocal8Bit(raw);
    out.truncate(out.size() - qsizetype(outLeft));
    return QString::fromUtf8(out);
}

} // namespace

QString errorMessage(int error)
{
    const locale_t locale = userLocale();
    const char *message =
        locale != static_cast<locale_t>(nullptr) ? ::strerror_l(error, locale) : ::strerror(error);
    QString text = decodeMessage(message != nullptr ? message : "", locale);
    while (!text.isEmpty() && (text.back().unicode() <= 0x20 || text.back() == QLatin1Char('.')))
        text.chop(1);
    // The message goes into log lines stored in code page 932: 255 bytes there at most,
    // cut between characters.
    qsizetype bytes = 0;
    qsizetype keep = 0;
    while (keep < text.size()) {
        const qsizetype step = text.at(keep).isHighSurrogate() && keep + 1 < text.size() ? 2 : 1;
        const qsizetype width = Cp932::encode(QStringView(text).mid(keep, step)).size();
        if (bytes + width > 255)
            break;
        bytes += width;
        keep += step;
    }
    text.truncate(keep);
    return text;
}

} // namespace Vacuola
