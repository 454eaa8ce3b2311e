#include "pagehead/pagefile.h"

#include "base/error.h"
#include "base/filename.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace brindle::pagehead {

PageFile::PageFile(const QString &path) : m_path(path)
{
    const QByteArray name = fileNameBytes(path);
    // Not blocking: a named pipe given as a page must not hang the run.
    m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0)
        throw Error(u"cannot be opened (%1)"_s.arg(QString::fromLocal8Bit(std::strerror(errno))));
    struct stat st = {};
    if (fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool folder = S_ISDIR(st.st_mode);
        ::close(m_fd);
        m_fd = -1;
        throw Error(folder ? u"is a folder"_s : u"is not a regular file"_s);
    }
    m_stamp = FileStamp::of(st);
    m_linkCount = qint64(st.st_nlink);
}

PageFile::~PageFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void PageFile::readUpTo(qsizetype size)
{
    while (!m_atEnd && m_bytes.size() < size) {
        const qsizetype had = m_bytes.size();
        const qsizetype chunk = std::min<qsizetype>(size - had, qsizetype(1) << 24);
        m_bytes.resize(had + chunk);
        const ssize_t n = ::read(m_fd, m_bytes.data() + had, std::size_t(chunk));
        if (n < 0) {
            const int err = errno;
            m_bytes.resize(had);
            if (err == EINTR)
                continue;
            throw Error(u"cannot be read (%1)"_s.arg(QString::fromLocal8Bit(std::strerror(err))));
        }
        m_bytes.resize(had + n);
        if (n == 0)
            m_atEnd = true;
    }
}

std::optional<FileStamp> PageFile::stampOf(const QString &path)
{
    struct stat st = {};
    if (::stat(fileNameBytes(path).constData(), &st) != 0)
        return std::nullopt;
    return FileStamp::of(st);
}

} // namespace brindle::pagehead
