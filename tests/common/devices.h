#pragma once

// Device nodes the output tests may write into without harm.

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace brindle::test {

// A character device of the kernel's memory driver (3: null, 7: full). Root
// gets a node of its own in `dir`, so that a writer that replaced its target
// would never touch the system's node; anyone else uses the system's, which
// they cannot replace. Empty when root cannot use device nodes there.
inline QString memoryDevice(const QTemporaryDir &dir, unsigned minor, const QString &name)
{
    if (geteuid() != 0)
        return QStringLiteral("/dev/") + name;
    const QString path = dir.filePath(name);
    const QByteArray native = QFile::encodeName(path);
    if (mknod(native.constData(), S_IFCHR | 0666, makedev(1, minor)) != 0)
        return {};
    const int fd = open(native.constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) // a file system mounted nodev
        return {};
    close(fd);
    return path;
}

// The file type bits of what path itself is (a link is not followed).
inline mode_t fileTypeOf(const QString &path)
{
    struct stat st = {};
    return lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

} // namespace brindle::test
