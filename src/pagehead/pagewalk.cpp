#include "pagehead/pagewalk.h"

#include "base/filename.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace brindle::pagehead {

namespace {

QByteArray realPathOf(const QByteArray &path)
{
    char *real = ::realpath(path.constData(), nullptr);
    if (!real)
        return {};
    QByteArray result(real);
    std::free(real);
    return result;
}

QString joined(const QString &folder, const QByteArray &name)
{
    return (folder.endsWith(u'/') ? folder : folder + u'/') + fileNameFromBytes(name);
}

// The folder as named, without the slashes at its end that add nothing.
QString withoutTrailingSlashes(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? u"."_s : slash == 0 ? u"/"_s : path.left(slash);
}

QString failureText(int errnoValue)
{
    return QString::fromLocal8Bit(std::strerror(errnoValue));
}

} // namespace

bool PageWalk::isPageName(QByteArrayView name)
{
    const auto endsWith = [name](QByteArrayView suffix) {
        return name.size() > suffix.size() &&
               name.last(suffix.size()).compare(suffix, Qt::CaseInsensitive) == 0;
    };
    return endsWith(".html") || endsWith(".htm") || endsWith(".xhtml");
}

PageWalk::PageWalk(const QStringList &arguments, bool recursive, std::function<bool()> stop)
    : m_recursive(recursive), m_stop(std::move(stop))
{
    for (const QString &argument : arguments) {
        struct stat st = {};
        const QByteArray native = fileNameBytes(argument);
        if (::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
            if (QByteArray real = realPathOf(native); !real.isEmpty())
                m_roots.push_back(real);
        }
    }
    for (const QString &argument : arguments) {
        if (m_stop && m_stop()) {
            m_stopped = true;
            return;
        }
        struct stat st = {};
        const bool exists = ::stat(fileNameBytes(argument).constData(), &st) == 0;
        if (exists && S_ISDIR(st.st_mode)) {
            walk(withoutTrailingSlashes(argument), {st.st_dev, st.st_ino});
            continue;
        }
        // A name that is no file is kept: working on it reports why it fails.
        if (exists && !m_files.insert({st.st_dev, st.st_ino}).second)
            continue;
        m_pages.push_back({argument, exists, exists ? FileStamp::of(st) : FileStamp(), true});
        struct stat folder = {};
        if (::stat(fileNameBytes(folderOf(argument)).constData(), &folder) == 0)
            addFolder(folderOf(argument), {folder.st_dev, folder.st_ino});
    }
}

void PageWalk::addFolder(const QString &folder, const FileId &id)
{
    if (m_listed.insert(id).second)
        m_folders << folder;
}

bool PageWalk::inside(const QByteArray &realPath) const
{
    return std::any_of(m_roots.begin(), m_roots.end(), [&](const QByteArray &root) {
        return realPath == root ||
               (realPath.startsWith(root) && (root.endsWith('/') || realPath.at(root.size()) == '/'));
    });
}

void PageWalk::walk(const QString &folder, const FileId &id)
{
    // A symbolic link back to a folder being walked would never end.
    if (!m_walked.insert(id).second)
        return;
    addFolder(folder, id);
    const QByteArray native = fileNameBytes(folder);
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    DIR *dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        m_skipped.push_back(
            {displayFileName(folder) + u": cannot be read ("_s + failureText(error) + u')', true});
        return;
    }
    // Read whole and closed before going deeper: a deep tree holds no more
    // than one folder open.
    std::vector<QByteArray> names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (name != "." && name != "..")
            names.emplace_back(name.toByteArray());
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());

    for (const QByteArray &name : names) {
        if (m_stop && m_stop()) {
            m_stopped = true;
            return;
        }
        const QString path = joined(folder, name);
        const QByteArray childNative = fileNameBytes(path);
        struct stat st = {};
        if (::lstat(childNative.constData(), &st) != 0)
            continue; // gone meanwhile
        if (S_ISLNK(st.st_mode)) {
            if (::stat(childNative.constData(), &st) != 0)
                continue; // a dangling link
            const bool wanted = S_ISDIR(st.st_mode) ? m_recursive : isPageName(name);
            if (!wanted)
                continue;
            const QByteArray real = realPathOf(childNative);
            if (real.isEmpty() || !inside(real)) {
                m_skipped.push_back(
                    {displayFileName(path) + u": a symbolic link to "_s +
                         displayFileName(fileNameFromBytes(real.isEmpty() ? childNative : real)) +
                         u", outside the folders given; skipped"_s,
                     false});
                continue;
            }
        }
        if (S_ISDIR(st.st_mode)) {
            if (m_recursive)
                walk(path, {st.st_dev, st.st_ino});
        } else if (isPageName(name) && m_files.insert({st.st_dev, st.st_ino}).second) {
            m_pages.push_back({path, true, FileStamp::of(st), false});
        }
    }
}

} // namespace brindle::pagehead
