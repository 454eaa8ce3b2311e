#pragma once

// What tells whether a file changed: which file it is, its size and its
// times.

#include <QtGlobal>

#include <sys/stat.h>
#include <sys/types.h>

namespace brindle {

// File identity and state, to tell whether a file changed. The change time
// is part of it: a writer that keeps the size and sets the modification
// time back (cp -p, touch -r, rsync) still moves it.
struct FileStamp
{
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileStamp &) const = default;

    static FileStamp of(const struct stat &st)
    {
        return {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec, st.st_dev, st.st_ino};
    }
    bool sameFile(const FileStamp &other) const { return device == other.device && inode == other.inode; }
};

} // namespace brindle
