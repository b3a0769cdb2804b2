#pragma once

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QString>

#include <cstddef>

#include <sys/types.h>

namespace Vacuola::Posix {

/**
 * The bytes of a path or name handed in by the program. False for an empty
 * text and for text that cannot become the same bytes again (lone
 * surrogates): it has no faithful form on disk.
 */
bool pathBytes(QStringView path, QByteArray &bytes);

/**
 * Decodes a name read from a directory into `name`. False when the name would
 * not survive the way back to bytes: such an entry can never be addressed safely.
 */
bool decodeName(const char *raw, std::size_t length, QString &name);

/** "." and "..", which every listing leaves out. */
bool isDotOrDotDot(const char *name);

/** The kind of entry a file mode stands for. */
EntryKind kindOfMode(mode_t mode);

} // namespace Vacuola::Posix
