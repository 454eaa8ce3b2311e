#pragma once

// A page file opened for reading, read only as far as asked.

#include "base/filestamp.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace brindle::pagehead {

using brindle::FileStamp;

// A page file opened for reading, read as far as asked.
class PageFile
{
public:
    // Throws brindle::Error when the file cannot be opened or is no regular
    // file; the message is the reason alone ("is a folder"), without the path.
    explicit PageFile(const QString &path);
    ~PageFile();
    PageFile(const PageFile &) = delete;
    PageFile &operator=(const PageFile &) = delete;

    const QString &path() const { return m_path; }
    const FileStamp &stamp() const { return m_stamp; } // as opened
    qint64 linkCount() const { return m_linkCount; }   // names the file has, as opened
    int descriptor() const { return m_fd; }
    const QByteArray &bytes() const { return m_bytes; }
    bool atEnd() const { return m_atEnd; }
    // Reads until bytes() holds at least `size` bytes or the file ends.
    // Throws brindle::Error on a read error, with the reason alone.
    void readUpTo(qsizetype size);

    // The stamp of whatever file is at path now; nullopt if there is none.
    static std::optional<FileStamp> stampOf(const QString &path);

private:
    QString m_path;
    int m_fd = -1;
    FileStamp m_stamp;
    qint64 m_linkCount = 1;
    QByteArray m_bytes;
    bool m_atEnd = false;
};

} // namespace brindle::pagehead
