#include "core/filewriter.h"

#include "core/error.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

namespace brindle {

QString ioErrorText(int errnoValue)
{
    switch (errnoValue) {
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return u"File access denied"_s;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return u"Disk full"_s;
    case ENOENT:
    case ENOTDIR:
        return u"Path not found"_s;
    case EISDIR:
    case ENAMETOOLONG:
    case EINVAL:
        return u"Invalid filename"_s;
    case EMFILE:
    case ENFILE:
        return u"Too many open files"_s;
    case 0:
        return u"I/O error"_s;
    default:
        return QString::fromLocal8Bit(std::strerror(errnoValue));
    }
}

void writeFileSafely(const QString &fileName, QByteArrayView bytes)
{
    QSaveFile file(fileName);
    // errno is read right after the call that failed; QSaveFile keeps only a
    // translated text, which cannot be mapped reliably.
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        int err = errno;
        // QSaveFile refuses a directory and a read-only file itself, without
        // a system call that would set errno.
        if (err == 0) {
            const QFileInfo existing(fileName);
            if (existing.isDir())
                err = EISDIR;
            else if (existing.exists() && !existing.isWritable())
                err = EACCES;
        }
        throw Error(ioErrorText(err));
    }
    errno = 0;
    if (file.write(bytes.data(), bytes.size()) != bytes.size()) {
        const int err = errno;
        file.cancelWriting();
        throw Error(ioErrorText(err));
    }
    errno = 0;
    if (!file.commit())
        throw Error(ioErrorText(errno));
}

} // namespace brindle
