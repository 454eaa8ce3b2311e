#pragma once

// File names as the file system holds them: any bytes but '/' and NUL. A
// QString holds such a name without loss when each byte that is not part of
// valid UTF-8 is kept as a lone low surrogate U+DC80..U+DCFF (no valid UTF-8
// decodes to one), so that a name read from a folder or the command line
// reaches the file system again byte for byte.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace brindle {

// The name's bytes as a string: UTF-8 decoded, other bytes kept as lone
// surrogates.
QString fileNameFromBytes(QByteArrayView bytes);
// The bytes of a name made by fileNameFromBytes (UTF-8 for any other text).
QByteArray fileNameBytes(QStringView name);
// The name as a message shows it: each byte that is not valid UTF-8, and
// each control character, as \xHH.
QString displayFileName(QStringView name);

} // namespace brindle
