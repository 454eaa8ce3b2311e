#include "base/filewriter.h"

#include "base/error.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

[[noreturn]] void fail(int errnoValue)
{
    throw Error(ioErrorText(errnoValue));
}

// Hands the bytes to the kernel until every one is taken; 0 or the errno of
// the call that failed.
int writeAll(int fd, QByteArrayView bytes)
{
    const char *data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(std::min<qsizetype>(left, qsizetype(1) << 30)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC;
        data += n;
        left -= n;
    }
    return 0;
}

// 0, or the errno of a close that reports a late failure (a network file
// system may tell of a full disk only here).
int closeChecked(int fd)
{
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}

// A reader that goes away must make the write fail with EPIPE, not end the
// program with SIGPIPE; the process's own handling of the signal is left
// alone, and a SIGPIPE raised meanwhile is taken off this thread.
class SigpipeBlocked
{
public:
    SigpipeBlocked()
    {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, &m_old);
        sigset_t pending;
        sigpending(&pending);
        m_alreadyPending = sigismember(&pending, SIGPIPE) == 1;
    }
    ~SigpipeBlocked()
    {
        if (!m_alreadyPending) {
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            const timespec now = {};
            while (sigtimedwait(&pipe, nullptr, &now) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    SigpipeBlocked(const SigpipeBlocked &) = delete;
    SigpipeBlocked &operator=(const SigpipeBlocked &) = delete;

private:
    sigset_t m_old{};
    bool m_alreadyPending = false;
};

// A named pipe or a device cannot be replaced by a file of the same name
// without breaking whoever uses it: the bytes go into it as they are.
void writeDirectly(const QByteArray &path, QByteArrayView bytes)
{
    const SigpipeBlocked guard;
    const int fd = ::open(path.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        fail(errno);
    const int writeError = writeAll(fd, bytes);
    const int closeError = closeChecked(fd);
    if (writeError != 0 || closeError != 0)
        fail(writeError != 0 ? writeError : closeError);
}

// Where a path that does not exist leads: through symbolic links whose
// targets are missing, to the name that is to be created.
QByteArray creationTarget(QByteArray path)
{
    for (int links = 0; links < 40; ++links) {
        struct stat st = {};
        if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        QByteArray target(qsizetype(st.st_size > 0 ? st.st_size : 4096) + 1, Qt::Uninitialized);
        const ssize_t n = ::readlink(path.constData(), target.data(), std::size_t(target.size()));
        if (n < 0)
            fail(errno);
        target.truncate(n);
        if (!target.startsWith('/'))
            target.prepend(path.left(path.lastIndexOf('/') + 1));
        path = target;
    }
    fail(ELOOP);
}

// Writes the bytes into a new file beside the target and renames it over
// the target, so that a failure at any point leaves the old file as it was.
void replaceFile(const QByteArray &target, QByteArrayView bytes, const struct stat *existing)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = target.left(slash + 1);
    const QByteArray name = target.mid(slash + 1);
    if (name.isEmpty())
        fail(EISDIR);

    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        // Short enough that a name of any allowed length leaves room for the suffix.
        temporary = folder + '.' + name.left(200) + '.' +
                    QByteArray::number(QRandomGenerator::global()->generate(), 36);
        // 0666 lets the umask decide, as for any file the user creates.
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt >= 100))
            fail(errno);
    }

    int error = 0;
    if (existing) {
        // Only root or the owner can hand the file over; otherwise the writer
        // stays its owner, as of any new file.
        [[maybe_unused]] const int handedOver = ::fchown(fd, existing->st_uid, existing->st_gid);
        if (::fchmod(fd, existing->st_mode & 07777) != 0)
            error = errno;
    }
    if (error == 0)
        error = writeAll(fd, bytes);
    // A file system that cannot sync (EINVAL) has nothing more to report.
    if (error == 0 && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
        error = errno;
    const int closeError = closeChecked(fd);
    if (error == 0)
        error = closeError;
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());
        fail(error);
    }
}

} // namespace

void writeFileSafely(const QString &path, QByteArrayView bytes)
{
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty())
        fail(ENOENT);
    struct stat st = {};
    if (::stat(native.constData(), &st) != 0) {
        if (errno != ENOENT)
            fail(errno);
        replaceFile(creationTarget(native), bytes, nullptr);
        return;
    }
    if (S_ISDIR(st.st_mode))
        fail(EISDIR);
    if (!S_ISREG(st.st_mode)) {
        writeDirectly(native, bytes);
        return;
    }
    // The file itself is replaced where it lies, behind any symbolic links.
    char *real = ::realpath(native.constData(), nullptr);
    if (!real)
        fail(errno);
    const QByteArray target(real);
    std::free(real);
    // Renaming would also replace a file that may not be written to.
    if (::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0)
        fail(errno);
    replaceFile(target, bytes, &st);
}

} // namespace brindle
