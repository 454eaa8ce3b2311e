#pragma once

// The one way the program writes a file: the profile, the text file, the web
// page, the command line's output files, the pages apply changes and their
// backups, and the test hand-over log.

#include "base/error.h"
#include "base/filestamp.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <span>

namespace brindle {

// How a file is written besides its bytes.
struct WriteOptions
{
    // False: the name itself is the file, and a symbolic link of that name
    // counts as a file that exists; it is never written through.
    bool followLinks = true;
    // Never replace a file that exists: the new one appears under its name
    // only if there is none (checked when it is put in place).
    bool keepExisting = false;
    // An open file the new one takes its owner, group, mode, ACL and
    // extended attributes from; -1: from the file it replaces, if any.
    int attributesFrom = -1;
    // The file to be replaced must still be this one, as it was, when it is
    // replaced; FileChanged otherwise.
    std::optional<FileStamp> expected;
};

// The file to be replaced is not, or no longer, the one WriteOptions::expected names.
class FileChanged : public Error
{
public:
    FileChanged() : Error(QStringLiteral("changed meanwhile")) {}
};

// Writes the bytes as the whole content of the file at path. A regular file
// (or a new one) is replaced atomically: the bytes go into a temporary file
// in the same folder, written unbuffered until the kernel has taken every
// byte, synced, closed and renamed over the target, and the folder is
// synced, so that on any failure the old file stays as it was and no
// temporary file is left. The temporary file is created readable by its
// creator alone and gets the replaced file's owner, group, mode, ACL and
// extended attributes (user ones always, security and trusted ones where
// the process may set them) before its first byte; where the owner or the
// group cannot be given to it, the bits that would then apply to another
// user or group are cleared rather than granted. A new file gets the mode
// the umask and the folder's default ACL give. Symbolic links are followed
// (the link stays, its target is replaced). A named pipe or a device is
// written into directly. Throws brindle::Error with ioErrorText of the
// failing call.
void writeFileSafely(const QString &path, QByteArrayView bytes);

// Many files replaced as writeFileSafely replaces one, with the same
// guarantees, but synced together: a sync waits for the disk, and waiting
// once for many files costs little more than waiting for one. Each file's
// bytes go into its temporary file at add(); sync() puts them all on disk;
// replace() renames one over its target, never before its bytes are on
// disk; syncFolders() puts the renames on disk. Files never replaced keep
// their old bytes, and the batch removes their temporary files when it goes.
// The batch keeps each folder it writes into open until it goes, so that a
// file is renamed in the folder it was written in even if a path to it
// leads elsewhere meanwhile.
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
    // does, FileChanged for a target other than options.expected; nothing
    // is then left of the file in the batch. Thread-safe.
    int add(const QString &path, QByteArrayView bytes, const WriteOptions &options = {});
    // The same with the bytes given in pieces, written one after the other,
    // so that a changed page need not be copied whole first.
    int add(const QString &path, std::span<const QByteArrayView> pieces, const WriteOptions &options = {});
    // Syncs waiting for the disk overlap: the device merges their cache
    // flushes. A few dozen keep it busy.
    static constexpr std::size_t kSyncThreads = 32;

    // Puts the bytes of every file added so far on disk, all at once, on
    // up to `threads` threads (each holds one open file meanwhile). A
    // failure is kept for the file it concerns and thrown by replace().
    // Not while other threads add or replace.
    void sync(std::size_t threads = kSyncThreads);
    // Whether the file to be replaced is still as WriteOptions::expected says.
    bool targetUnchanged(int file);
    // Renames the file's temporary file over its target, after syncing it
    // if sync() has not. Throws brindle::Error with the reason of the
    // write, sync or rename that failed, FileChanged when the target is no
    // longer as expected; the target then keeps its old bytes.
    // Thread-safe for different files.
    void replace(int file);
    // Leaves the target as it is and removes the file's temporary file.
    void discard(int file);
    // Syncs the folders files were renamed in since the last call; returns
    // a message for each that failed ("FOLDER: cannot be synced (reason)").
    QStringList syncFolders();

private:
    struct Folder
    {
        QByteArray path;
        int fd = -1;
        bool renamed = false; // a rename in it is not yet synced
    };
    struct Entry
    {
        Folder *folder = nullptr;
        QByteArray temporary; // names within the folder
        QByteArray target;
        ino_t temporaryInode = 0;
        std::optional<FileStamp> expected;
        bool keepExisting = false;
        int error = 0; // errno of a failed sync
        bool synced = false;
        bool settled = true; // nothing more to do: replaced, discarded or written directly
    };

    Entry stage(const QString &path, std::span<const QByteArrayView> pieces, const WriteOptions &options);
    Folder &folder(const QByteArray &path);
    Entry &entry(int file);
    static void syncEntry(Entry &e);

    std::mutex m_mutex;
    std::deque<Entry> m_entries;  // a deque: entries stay where they are while others are added
    std::deque<Folder> m_folders; // likewise
    std::map<QByteArray, Folder *> m_folderByPath;
};

// The reason the error report shows for a failed file operation ("File
// access denied", "Disk full", ...).
QString ioErrorText(int errnoValue);

// Whether a name is one the writer gives its temporary files.
bool isTemporaryFileName(QByteArrayView name);

// Removes from the folder the temporary files a writer that was stopped
// before it could remove them left there: regular files with a temporary
// file's name, owned by this process's user, last changed before `before`.
// Returns how many it removed (with `remove` false: would remove); a folder
// that cannot be read counts none.
int removeLeftoverTemporaryFiles(const QString &folder, const timespec &before, bool remove = true);

} // namespace brindle
