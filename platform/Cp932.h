#pragma once

#include <QByteArray>
#include <QString>

namespace Vacuola::Cp932 {

/**
 * True when the text can be stored in code page 932 and read back unchanged:
 * every character has a form of its own, and none is a control character
 * (C0, DEL or C1).
 */
bool canStore(QStringView text);

/**
 * The text as code page 932 bytes. A character without a code page 932 form
 * becomes "?"; so does a control character unless it is a tab, CR or LF.
 */
QByteArray encode(QStringView text);

/** Code page 932 bytes as text; a byte sequence that is not valid becomes U+FFFD. */
QString decode(QByteArrayView bytes);

} // namespace Vacuola::Cp932
