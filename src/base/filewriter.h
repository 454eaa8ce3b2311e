#pragma once

// The one way the program writes a file: the profile, the text file, the web
// page, the command line's output files and the test hand-over log.

#include <QByteArrayView>
#include <QString>

namespace brindle {

// Writes the bytes as the whole content of the file at path. A regular file
// (or a new one) is replaced atomically: the bytes go into a temporary file
// in the same folder, written unbuffered until the kernel has taken every
// byte, synced, closed and renamed over the target, so that on any failure
// the old file stays as it was and no temporary file is left. Symbolic links
// are followed (the link stays, its target is replaced) and the replaced
// file keeps its permissions. A named pipe or a device is written into
// directly. Throws brindle::Error with ioErrorText of the failing call.
void writeFileSafely(const QString &path, QByteArrayView bytes);

// The reason the error report shows for a failed file operation ("File
// access denied", "Disk full", ...).
QString ioErrorText(int errnoValue);

} // namespace brindle
