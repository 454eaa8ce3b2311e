#pragma once

// What tells whether a file changed: which file it is, its size and its
// times.

#include <QtGlobal>

#include <sys/types.h>

namespace brindle {

// File identity and state, to tell whether a file changed.
struct FileStamp
{
    qint64 size = -1;
    qint64 modifiedNs = 0;
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileStamp &) const = default;
};

} // namespace brindle
