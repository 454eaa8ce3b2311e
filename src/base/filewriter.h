#pragma once

// The one way the program writes a file: the profile, the text file, the web
// page, the command line's output files and the test hand-over log.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <deque>
#include <mutex>
#include <span>

namespace brindle {

// Writes the bytes as the whole content of the file at path. A regular file
// (or a new one) is replaced atomically: the bytes go into a temporary file
// in the same folder, written unbuffered until the kernel has taken every
// byte, synced, closed and renamed over the target, so that on any failure
// the old file stays as it was and no temporary file is left. Symbolic links
// are followed (the link stays, its target is replaced) and the replaced
// file keeps its permissions. A named pipe or a device is written into
// directly. Throws brindle::Error with ioErrorText of the failing call.
void writeFileSafely(const QString &path, QByteArrayView bytes);

// Many files replaced as writeFileSafely replaces one, with the same
// guarantees, but synced together: a sync waits for the disk, and waiting
// once for many files costs little more than waiting for one. Each file's
// bytes go into its temporary file at add(); sync() puts them all on disk;
// replace() renames one over its target, never before its bytes are on
// disk. Files never replaced keep their old bytes, and the batch removes
// their temporary files when it goes.
class FileBatch
{
public:
    FileBatch() = default;
    ~FileBatch();
    FileBatch(const FileBatch &) = delete;
    FileBatch &operator=(const FileBatch &) = delete;

    // Writes the bytes into a temporary file beside the file at path (a
    // named pipe or a device is written into at once) and returns the
    // file's number in the batch. Throws brindle::Error as writeFileSafely
    // does; nothing is then left of the file in the batch. Thread-safe.
    // The temporary file stays open until it is synced: a batch takes one
    // of the process's open files per file.
    int add(const QString &path, QByteArrayView bytes);
    // The same with the bytes given in pieces, written one after the other,
    // so that a changed page need not be copied whole first.
    int add(const QString &path, std::span<const QByteArrayView> pieces);
    // Puts the bytes of every file added so far on disk, all at once.
    // A failure is kept for the file it concerns and thrown by replace().
    // Not while other threads add or replace.
    void sync();
    // Renames the file's temporary file over its target, after syncing it
    // if sync() has not. Throws brindle::Error with the reason of the
    // write, sync or rename that failed; the target then keeps its old
    // bytes. Thread-safe for different files.
    void replace(int file);
    // Leaves the target as it is and removes the file's temporary file.
    void discard(int file);

private:
    struct Entry
    {
        QByteArray temporary;
        QByteArray target;
        int fd = -1;   // the temporary file, open until it is synced
        int error = 0; // errno of a failed sync or close
        bool synced = false;
        bool settled = true; // nothing more to do: replaced, discarded or written directly
    };

    Entry &entry(int file);

    std::mutex m_mutex;
    std::deque<Entry> m_entries; // a deque: entries stay where they are while others are added
};

// The reason the error report shows for a failed file operation ("File
// access denied", "Disk full", ...).
QString ioErrorText(int errnoValue);

} // namespace brindle
