#include "base/filewriter.h"

#include "base/error.h"
#include "base/filename.h"
#include "base/parallel.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <climits>

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/xattr.h>
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

// The file an open descriptor is, for the path-based calls that a
// descriptor opened only to name a file (O_PATH) does not take.
QByteArray descriptorPath(int fd)
{
    return "/proc/self/fd/" + QByteArray::number(fd);
}

// The extended attributes of a file, by name; nullopt with errno set when
// they cannot be read.
std::optional<std::vector<std::pair<QByteArray, QByteArray>>> attributesOf(int fd, bool pathOnly)
{
    const QByteArray path = pathOnly ? descriptorPath(fd) : QByteArray();
    const auto list = [&](char *buffer, std::size_t size) {
        return pathOnly ? ::listxattr(path.constData(), buffer, size) : ::flistxattr(fd, buffer, size);
    };
    const auto get = [&](const char *name, void *buffer, std::size_t size) {
        return pathOnly ? ::getxattr(path.constData(), name, buffer, size)
                        : ::fgetxattr(fd, name, buffer, size);
    };
    std::vector<std::pair<QByteArray, QByteArray>> attributes;
    QByteArray names;
    for (;;) {
        const ssize_t size = list(nullptr, 0);
        if (size < 0)
            return errno == ENOTSUP ? std::optional(attributes) : std::nullopt;
        if (size == 0)
            return attributes;
        names.resize(size);
        const ssize_t got = list(names.data(), std::size_t(size));
        if (got >= 0) {
            names.truncate(got);
            break;
        }
        if (errno != ERANGE) // grown meanwhile: ask again
            return std::nullopt;
    }
    for (const QByteArray &name : names.split('\0')) {
        if (name.isEmpty())
            continue;
        QByteArray value;
        for (;;) {
            const ssize_t size = get(name.constData(), nullptr, 0);
            if (size < 0 && errno == ENODATA)
                break; // removed meanwhile
            if (size < 0)
                return std::nullopt;
            value.resize(size);
            const ssize_t got = get(name.constData(), value.data(), std::size_t(size));
            if (got >= 0) {
                value.truncate(got);
                attributes.emplace_back(name, value);
                break;
            }
            if (errno != ERANGE)
                return std::nullopt;
        }
    }
    return attributes;
}

constexpr char kAccessAcl[] = "system.posix_acl_access";

// Attributes a copy must carry: the user's own and the access ACL. Others
// (security.*, trusted.*) only a process with the right may set.
bool mustCopy(const QByteArray &name)
{
    return name.startsWith("user.") || name == kAccessAcl;
}

// What a new file takes from the one it replaces or keeps.
struct Attributes
{
    struct stat st = {};
    std::vector<std::pair<QByteArray, QByteArray>> extended;
};

// The attributes of an open file; nullopt with errno set when they cannot be read.
std::optional<Attributes> attributesOfFile(int fd, bool pathOnly)
{
    Attributes a;
    if (::fstat(fd, &a.st) != 0)
        return std::nullopt;
    auto extended = attributesOf(fd, pathOnly);
    if (!extended)
        return std::nullopt;
    a.extended = *std::move(extended);
    return a;
}

// Gives the new file `to` the owner, group, ACL, extended attributes and
// mode of another; 0 or the errno of what failed. The mode comes last:
// setting an ACL sets the group bits too.
int giveAttributes(const Attributes &from, int to)
{
    const struct stat &st = from.st;
    struct stat mine = {};
    if (::fstat(to, &mine) != 0)
        return errno;
    bool ownerKept = mine.st_uid == st.st_uid;
    bool groupKept = mine.st_gid == st.st_gid;
    if (!ownerKept || !groupKept) {
        // Only root hands a file to another user; the owner may still give
        // it a group it belongs to.
        if (::fchown(to, st.st_uid, st.st_gid) == 0)
            ownerKept = groupKept = true;
        else if (!groupKept && ::fchown(to, uid_t(-1), st.st_gid) == 0)
            groupKept = true;
    }
    bool hasAcl = false;
    for (const auto &[name, value] : from.extended) {
        hasAcl = hasAcl || name == kAccessAcl;
        if (::fsetxattr(to, name.constData(), value.constData(), std::size_t(value.size()), 0) != 0 &&
            mustCopy(name))
            return errno;
    }
    // A default ACL of the folder gave the new file an ACL the old one lacks.
    if (!hasAcl && ::fremovexattr(to, kAccessAcl) != 0 && errno != ENODATA && errno != ENOTSUP)
        return errno;
    mode_t mode = st.st_mode & 07777;
    // Bits meant for a user or group the file could not keep would go to
    // another one: they are dropped instead.
    if (!ownerKept)
        mode &= ~mode_t(S_ISUID);
    if (!groupKept)
        mode &= ~mode_t(S_ISGID | S_IRWXG);
    return ::fchmod(to, mode) == 0 ? 0 : errno;
}

// The writer's temporary files: ".NAME.brindle-XXXXXXXX.tmp", hidden, and
// recognisable to a later run that cleans up after one that was killed.
constexpr QByteArrayView kTemporaryMark = ".brindle-";
constexpr QByteArrayView kTemporaryEnd = ".tmp";
constexpr qsizetype kTemporaryRandom = 8;

QByteArray temporaryNameFor(const QByteArray &name)
{
    QByteArray random = QByteArray::number(QRandomGenerator::global()->generate64(), 36);
    random = random.rightJustified(kTemporaryRandom, '0').right(kTemporaryRandom);
    // Short enough that a name of any allowed length leaves room for the rest.
    return '.' + name.left(200) + kTemporaryMark.toByteArray() + random + kTemporaryEnd.toByteArray();
}

// Renames within a folder without replacing a file that exists; EEXIST if one does.
int renameNoReplace(int folder, const char *from, const char *to)
{
    if (::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the flag: a second name, then the first goes.
    if (::linkat(folder, from, folder, to, 0) != 0)
        return errno;
    ::unlinkat(folder, from, 0);
    return 0;
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

} // namespace

void writeFileSafely(const QString &path, QByteArrayView bytes)
{
    FileBatch batch;
    batch.replace(batch.add(path, bytes));
    if (const QStringList failed = batch.syncFolders(); !failed.isEmpty())
        fail(EIO);
}

FileBatch::~FileBatch()
{
    for (Entry &e : m_entries) {
        if (!e.settled)
            ::unlinkat(e.folder->fd, e.temporary.constData(), 0);
    }
    for (Folder &f : m_folders)
        ::close(f.fd);
}

FileBatch::Folder &FileBatch::folder(const QByteArray &path)
{
    const std::lock_guard lock(m_mutex);
    if (const auto it = m_folderByPath.find(path); it != m_folderByPath.end())
        return *it->second;
    const int fd =
        ::open(path.isEmpty() ? "." : path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        fail(errno);
    Folder &f = m_folders.emplace_back(Folder{path, fd, false});
    m_folderByPath.emplace(path, &f);
    return f;
}

FileBatch::Entry &FileBatch::entry(int file)
{
    const std::lock_guard lock(m_mutex);
    return m_entries.at(std::size_t(file));
}

FileBatch::Entry FileBatch::stage(const QString &path, std::span<const QByteArrayView> pieces,
                                  const WriteOptions &options)
{
    const QByteArray native = fileNameBytes(path);
    if (native.isEmpty())
        fail(ENOENT);
    QByteArray target = native;
    if (options.followLinks) {
        struct stat st = {};
        // Most files are no symbolic link: then the path itself is where the
        // file lies, and resolving it (a readlink per folder) is not needed.
        const bool exists = ::lstat(native.constData(), &st) == 0;
        const bool link = exists && S_ISLNK(st.st_mode);
        if (!exists || (link && ::stat(native.constData(), &st) != 0)) {
            if (errno != ENOENT)
                fail(errno);
            target = creationTarget(native);
        } else if (S_ISDIR(st.st_mode)) {
            fail(EISDIR);
        } else if (!S_ISREG(st.st_mode)) {
            writeDirectly(native, pieces);
            return {};
        } else if (link) {
            // The file itself is replaced where it lies, behind the links.
            char *real = ::realpath(native.constData(), nullptr);
            if (!real)
                fail(errno);
            target = real;
            std::free(real);
        }
    }
    const qsizetype slash = target.lastIndexOf('/');
    Entry e;
    e.target = target.mid(slash + 1);
    if (e.target.isEmpty() || e.target == "." || e.target == "..")
        fail(EISDIR);
    e.folder = &folder(slash < 0 ? QByteArray() : target.left(std::max<qsizetype>(slash, 1)));
    const int dir = e.folder->fd;

    // What is there now, in the folder held open: from here on a path that
    // leads elsewhere changes nothing.
    struct stat existing = {};
    bool exists = ::fstatat(dir, e.target.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT)
        fail(errno);
    if (exists && options.keepExisting)
        fail(EEXIST);
    if (exists && !S_ISREG(existing.st_mode))
        fail(S_ISDIR(existing.st_mode) ? EISDIR : S_ISLNK(existing.st_mode) ? ELOOP : EEXIST);
    if (options.expected && (!exists || !FileStamp::of(existing).sameFile(*options.expected)))
        throw FileChanged();
    e.expected = options.expected;
    e.keepExisting = options.keepExisting;
    // Renaming would also replace a file that may not be written to.
    if (exists && ::faccessat(dir, e.target.constData(), W_OK, AT_EACCESS) != 0)
        fail(errno);

    // What the new file is to carry, read before it is made: the file read
    // is closed first, so that a write holds no more than two files open.
    std::optional<Attributes> attributes;
    if (options.attributesFrom >= 0) {
        attributes = attributesOfFile(options.attributesFrom, false);
        if (!attributes)
            fail(errno);
    } else if (exists) {
        bool pathOnly = false;
        int from =
            ::openat(dir, e.target.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        // A file that may be written but not read still names its attributes.
        if (from < 0 && errno == EACCES) {
            from = ::openat(dir, e.target.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
            pathOnly = true;
        }
        if (from < 0)
            fail(errno);
        attributes = attributesOfFile(from, pathOnly);
        const int error = errno;
        ::close(from);
        if (!attributes)
            fail(error);
    }

    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        e.temporary = temporaryNameFor(e.target);
        // Readable by its creator alone until it has the attributes it is
        // to have; a new file takes what the umask and the folder give it.
        fd = ::openat(dir, e.temporary.constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                      attributes ? 0600 : 0666);
        if (fd < 0 && (errno != EEXIST || attempt >= 100))
            fail(errno);
    }
    int error = attributes ? giveAttributes(*attributes, fd) : 0;
    struct stat created = {};
    if (error == 0 && ::fstat(fd, &created) != 0)
        error = errno;
    e.temporaryInode = created.st_ino;
    if (error == 0)
        error = writeAll(fd, pieces);
    const int closeError = closeChecked(fd);
    if (error == 0)
        error = closeError;
    if (error != 0) {
        ::unlinkat(dir, e.temporary.constData(), 0);
        fail(error);
    }
    e.settled = false;
    return e;
}

int FileBatch::add(const QString &path, QByteArrayView bytes, const WriteOptions &options)
{
    return add(path, std::span(&bytes, 1), options);
}

int FileBatch::add(const QString &path, std::span<const QByteArrayView> pieces, const WriteOptions &options)
{
    Entry e = stage(path, pieces, options);
    const std::lock_guard lock(m_mutex);
    m_entries.push_back(std::move(e));
    return int(m_entries.size() - 1);
}

void FileBatch::syncEntry(Entry &e)
{
    e.synced = true;
    // Opened again by name: holding every file of a batch open would take
    // as many of the process's open files. Only the file written is synced.
    int fd = ::openat(e.folder->fd, e.temporary.constData(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES)
        fd = ::openat(e.folder->fd, e.temporary.constData(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        e.error = errno;
        return;
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || st.st_ino != e.temporaryInode) {
        ::close(fd);
        e.error = ENOENT;
        return;
    }
    e.error = syncAndClose(fd);
}

void FileBatch::sync(std::size_t threads)
{
    std::vector<Entry *> waiting;
    for (Entry &e : m_entries) {
        if (!e.settled && !e.synced)
            waiting.push_back(&e);
    }
    forEachOnThreads(waiting.size(), threads, [&](std::size_t i) { syncEntry(*waiting[i]); });
}

bool FileBatch::targetUnchanged(int file)
{
    const Entry &e = entry(file);
    if (!e.expected)
        return true;
    struct stat st = {};
    return ::fstatat(e.folder->fd, e.target.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           FileStamp::of(st) == *e.expected;
}

void FileBatch::replace(int file)
{
    Entry &e = entry(file);
    if (e.settled)
        return;
    if (!e.synced)
        syncEntry(e);
    int error = e.error;
    if (error == 0 && !targetUnchanged(file)) {
        discard(file);
        throw FileChanged();
    }
    if (error == 0) {
        const int dir = e.folder->fd;
        if (e.keepExisting)
            error = renameNoReplace(dir, e.temporary.constData(), e.target.constData());
        else if (::renameat(dir, e.temporary.constData(), dir, e.target.constData()) != 0)
            error = errno;
    }
    e.settled = true;
    if (error != 0) {
        ::unlinkat(e.folder->fd, e.temporary.constData(), 0);
        fail(error);
    }
    const std::lock_guard lock(m_mutex);
    e.folder->renamed = true;
}

void FileBatch::discard(int file)
{
    Entry &e = entry(file);
    if (e.settled)
        return;
    ::unlinkat(e.folder->fd, e.temporary.constData(), 0);
    e.settled = true;
}

QStringList FileBatch::syncFolders()
{
    std::vector<Folder *> renamed;
    {
        const std::lock_guard lock(m_mutex);
        for (Folder &f : m_folders) {
            if (f.renamed)
                renamed.push_back(&f);
            f.renamed = false;
        }
    }
    std::vector<int> errors(renamed.size(), 0);
    forEachOnThreads(renamed.size(), kSyncThreads, [&](std::size_t i) {
        if (::fsync(renamed[i]->fd) != 0 && errno != EINVAL && errno != EROFS)
            errors[i] = errno;
    });
    QStringList failed;
    for (std::size_t i = 0; i < renamed.size(); ++i) {
        if (errors[i] != 0)
            failed << displayFileName(fileNameFromBytes(renamed[i]->path)) + u": cannot be synced ("_s +
                          ioErrorText(errors[i]) + u')';
    }
    return failed;
}

bool isTemporaryFileName(QByteArrayView name)
{
    const qsizetype tail = kTemporaryMark.size() + kTemporaryRandom + kTemporaryEnd.size();
    if (name.size() < 2 + tail || !name.startsWith('.') || !name.endsWith(kTemporaryEnd))
        return false;
    const QByteArrayView random =
        name.sliced(name.size() - kTemporaryEnd.size() - kTemporaryRandom, kTemporaryRandom);
    return name.sliced(name.size() - tail, kTemporaryMark.size()) == kTemporaryMark &&
           std::all_of(random.begin(), random.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

int removeLeftoverTemporaryFiles(const QString &folder, const timespec &before, bool remove)
{
    const QByteArray path = fileNameBytes(folder);
    const int dir = ::open(path.isEmpty() ? "." : path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return 0;
    DIR *stream = ::fdopendir(dir);
    if (!stream) {
        ::close(dir);
        return 0;
    }
    std::vector<QByteArray> names;
    while (const dirent *d = ::readdir(stream)) {
        if (isTemporaryFileName(d->d_name))
            names.emplace_back(d->d_name);
    }
    const uid_t me = ::geteuid();
    int removed = 0;
    for (const QByteArray &name : names) {
        struct stat st = {};
        if (::fstatat(dir, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != me)
            continue;
        const bool older = st.st_ctim.tv_sec < before.tv_sec ||
                           (st.st_ctim.tv_sec == before.tv_sec && st.st_ctim.tv_nsec < before.tv_nsec);
        if (older && (!remove || ::unlinkat(dir, name.constData(), 0) == 0))
            ++removed;
    }
    ::closedir(stream);
    return removed;
}

} // namespace brindle
