#pragma once

// The pages a command works on: the files named on its command line, and
// the pages (*.html, *.htm, *.xhtml) in the folders named there, and with
// `recursive` in their subfolders. A walk never leaves the folders named:
// a symbolic link found in them (to a folder or to a page) whose target
// lies outside all of them is reported and skipped; links within them are
// followed, and each file and folder is taken once however many names
// reach it. A file named on the command line is taken wherever it lies.
// Names are taken as the file system holds them (see base/filename.h).

#include "base/filestamp.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <set>
#include <utility>
#include <vector>

namespace brindle::pagehead {

class PageWalk
{
public:
    struct Page
    {
        QString path;
        bool found = false; // the file existed when it was found; `stamp` is its stamp then
        FileStamp stamp;
        bool named = false; // named on the command line, not found in a folder
    };
    struct Skipped
    {
        QString message;      // "PATH: reason"
        bool failure = false; // a folder that cannot be read; else a link that leads outside
    };

    // Walks the arguments in order; `stop`, when given, is asked before each
    // entry and ends the walk early when it says so.
    PageWalk(const QStringList &arguments, bool recursive, std::function<bool()> stop = {});

    const std::vector<Page> &pages() const { return m_pages; }
    const std::vector<Skipped> &skipped() const { return m_skipped; }
    // Every folder walked, and the folder of each page named, once each.
    const QStringList &folders() const { return m_folders; }
    bool stopped() const { return m_stopped; }

    // Whether a file name is that of a page.
    static bool isPageName(QByteArrayView name);

private:
    using FileId = std::pair<dev_t, ino_t>;

    void walk(const QString &folder, const FileId &id);
    void addFolder(const QString &folder, const FileId &id);
    bool inside(const QByteArray &realPath) const;

    bool m_recursive;
    std::function<bool()> m_stop;
    std::vector<QByteArray> m_roots; // the real paths of the folders named
    std::set<FileId> m_walked;
    std::set<FileId> m_listed; // folders in m_folders
    std::set<FileId> m_files;
    std::vector<Page> m_pages;
    std::vector<Skipped> m_skipped;
    QStringList m_folders;
    bool m_stopped = false;
};

} // namespace brindle::pagehead
