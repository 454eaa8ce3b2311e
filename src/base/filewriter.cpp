#include "base/filewriter.h"

#include "base/error.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>
#include <thread>
#include <vector>

#include <climits>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/uio.h>
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

// Hands the bytes, given in pieces, to the kernel until every one is taken;
// 0 or the errno of the call that failed.
int writeAll(int fd, std::span<const QByteArrayView> pieces)
{
    std::vector<iovec> left;
    left.reserve(pieces.size());
    for (QByteArrayView piece : pieces) {
        if (!piece.isEmpty())
            left.push_back({const_cast<char *>(piece.data()), std::size_t(piece.size())});
    }
    std::size_t first = 0;
    while (first < left.size()) {
        const int count = int(std::min<std::size_t>(left.size() - first, IOV_MAX));
        ssize_t n = ::writev(fd, left.data() + first, count);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC;
        // What was taken is dropped from the front; a piece taken in part goes on from where it stopped.
        while (n > 0 && std::size_t(n) >= left[first].iov_len)
            n -= ssize_t(left[first++].iov_len);
        if (n > 0) {
            left[first].iov_base = static_cast<char *>(left[first].iov_base) + n;
            left[first].iov_len -= std::size_t(n);
        }
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
void writeDirectly(const QByteArray &path, std::span<const QByteArrayView> pieces)
{
    const SigpipeBlocked guard;
    const int fd = ::open(path.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        fail(errno);
    const int writeError = writeAll(fd, pieces);
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

// A temporary file beside its target holding the new bytes, not yet synced.
struct Staged
{
    QByteArray temporary;
    QByteArray target;
    int fd = -1;
};

// Writes the bytes into a new file beside the target, to be renamed over
// it once they are on disk; on failure nothing of it is left.
Staged stageBeside(const QByteArray &target, std::span<const QByteArrayView> pieces,
                   const struct stat *existing)
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
        error = writeAll(fd, pieces);
    if (error != 0) {
        ::close(fd);
        ::unlink(temporary.constData());
        fail(error);
    }
    return {temporary, target, fd};
}

// The temporary file for the file at path, or, for a named pipe or a
// device, the bytes written into it (fd -1).
Staged stage(const QString &path, std::span<const QByteArrayView> pieces)
{
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty())
        fail(ENOENT);
    struct stat st = {};
    // Most files are no symbolic link: then the path itself is where the
    // file lies, and resolving it (a readlink per folder) is not needed.
    if (::lstat(native.constData(), &st) != 0) {
        if (errno != ENOENT)
            fail(errno);
        return stageBeside(creationTarget(native), pieces, nullptr);
    }
    const bool link = S_ISLNK(st.st_mode);
    if (link && ::stat(native.constData(), &st) != 0) {
        if (errno != ENOENT)
            fail(errno);
        return stageBeside(creationTarget(native), pieces, nullptr);
    }
    if (S_ISDIR(st.st_mode))
        fail(EISDIR);
    if (!S_ISREG(st.st_mode)) {
        writeDirectly(native, pieces);
        return {};
    }
    QByteArray target = native;
    if (link) {
        // The file itself is replaced where it lies, behind the links.
        char *real = ::realpath(native.constData(), nullptr);
        if (!real)
            fail(errno);
        target = real;
        std::free(real);
    }
    // Renaming would also replace a file that may not be written to.
    if (::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0)
        fail(errno);
    return stageBeside(target, pieces, &st);
}

// 0, or the errno of the sync or close that failed.
int syncAndClose(int fd)
{
    int error = 0;
    // A file system that cannot sync (EINVAL) has nothing more to report.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
        error = errno;
    const int closeError = closeChecked(fd);
    return error != 0 ? error : closeError;
}

// Syncs waiting for the disk overlap: the device merges their cache
// flushes. A few dozen keep it busy.
constexpr std::size_t kSyncThreads = 32;

} // namespace

void writeFileSafely(const QString &path, QByteArrayView bytes)
{
    FileBatch batch;
    batch.replace(batch.add(path, bytes));
}

FileBatch::~FileBatch()
{
    for (Entry &e : m_entries) {
        if (e.fd >= 0)
            ::close(e.fd);
        if (!e.settled)
            ::unlink(e.temporary.constData());
    }
}

FileBatch::Entry &FileBatch::entry(int file)
{
    const std::lock_guard lock(m_mutex);
    return m_entries.at(std::size_t(file));
}

int FileBatch::add(const QString &path, QByteArrayView bytes)
{
    return add(path, std::span(&bytes, 1));
}

int FileBatch::add(const QString &path, std::span<const QByteArrayView> pieces)
{
    Staged staged = stage(path, pieces);
    Entry e;
    e.temporary = std::move(staged.temporary);
    e.target = std::move(staged.target);
    e.fd = staged.fd;
    e.settled = staged.fd < 0;
    const std::lock_guard lock(m_mutex);
    m_entries.push_back(std::move(e));
    return int(m_entries.size() - 1);
}

void FileBatch::sync()
{
    std::vector<Entry *> waiting;
    for (Entry &e : m_entries) {
        if (!e.settled && !e.synced)
            waiting.push_back(&e);
    }
    std::atomic<std::size_t> next = 0;
    const auto work = [&] {
        for (std::size_t i = next++; i < waiting.size(); i = next++) {
            Entry &e = *waiting[i];
            e.error = syncAndClose(e.fd);
            e.fd = -1;
            e.synced = true;
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < std::min(kSyncThreads, waiting.size()); ++t) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error &) {
            break; // fewer threads only wait longer
        }
    }
    work();
    for (std::thread &thread : threads)
        thread.join();
}

void FileBatch::replace(int file)
{
    Entry &e = entry(file);
    if (e.settled)
        return;
    if (!e.synced) {
        e.error = syncAndClose(e.fd);
        e.fd = -1;
        e.synced = true;
    }
    int error = e.error;
    if (error == 0 && ::rename(e.temporary.constData(), e.target.constData()) != 0)
        error = errno;
    e.settled = true;
    if (error != 0) {
        ::unlink(e.temporary.constData());
        fail(error);
    }
}

void FileBatch::discard(int file)
{
    Entry &e = entry(file);
    if (e.settled)
        return;
    if (e.fd >= 0)
        ::close(e.fd);
    e.fd = -1;
    ::unlink(e.temporary.constData());
    e.settled = true;
}

} // namespace brindle
