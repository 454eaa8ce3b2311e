#pragma once

// The one way the program writes a file: the profile, the text file, the web
// page, the command line's output files and the test hand-over log.

#include <QByteArrayView>
#include <QString>

namespace brindle {

// Writes the bytes as the whole content of the file at path. Throws
// brindle::Error with ioErrorText of the failing call.
void writeFileSafely(const QString &path, QByteArrayView bytes);

// The reason the error report shows for a failed file operation ("File
// access denied", "Disk full", ...).
QString ioErrorText(int errnoValue);

} // namespace brindle
