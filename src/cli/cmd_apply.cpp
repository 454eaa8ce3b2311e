#include "cli/cli.h"

#include "base/error.h"
#include "base/filewriter.h"
#include "pagehead/pageapply.h"
#include "pagehead/pageimport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

using namespace Qt::StringLiterals;

namespace brindle::cli {

namespace {

using FileId = std::pair<dev_t, ino_t>;

bool isPageName(const QString &name)
{
    return name.endsWith(u".html"_s, Qt::CaseInsensitive) || name.endsWith(u".htm"_s, Qt::CaseInsensitive) ||
           name.endsWith(u".xhtml"_s, Qt::CaseInsensitive);
}

std::optional<FileId> idOf(const QString &path, bool *isDirectory = nullptr)
{
    struct stat st = {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0)
        return std::nullopt;
    if (isDirectory)
        *isDirectory = S_ISDIR(st.st_mode);
    return FileId{st.st_dev, st.st_ino};
}

// The pages to work on, each file once however it is reached, and the
// folders that could not be read.
class PageList
{
public:
    explicit PageList(bool recursive) : m_recursive(recursive) {}

    void add(const QString &argument)
    {
        bool directory = false;
        const std::optional<FileId> id = idOf(argument, &directory);
        if (id && directory) {
            walk(argument, *id);
            return;
        }
        // A name that is no file is kept: working on it reports why it fails.
        if (!id || m_files.insert(*id).second)
            pages << argument;
    }

    QStringList pages;
    QStringList unreadableFolders;

private:
    void walk(const QString &folder, const FileId &id)
    {
        // A symbolic link back to a folder being walked would never end.
        if (!m_folders.insert(id).second)
            return;
        QDir dir(folder);
        if (!dir.isReadable()) {
            unreadableFolders << folder;
            return;
        }
        const QFileInfoList entries = dir.entryInfoList(
            QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
        for (const QFileInfo &entry : entries) {
            const QString path = entry.filePath();
            bool directory = false;
            const std::optional<FileId> entryId = idOf(path, &directory);
            if (!entryId)
                continue; // a dangling link
            if (directory) {
                if (m_recursive)
                    walk(path, *entryId);
            } else if (isPageName(entry.fileName()) && m_files.insert(*entryId).second) {
                pages << path;
            }
        }
    }

    bool m_recursive;
    std::set<FileId> m_folders;
    std::set<FileId> m_files;
};

// Pages done, rate and time left on one line of standard error, redrawn in
// place. Only on a terminal: a pipe or a log gets none of it.
class ProgressBar
{
public:
    explicit ProgressBar(qsizetype total) : m_total(total) { m_clock.start(); }

    void show(qsizetype done)
    {
        constexpr int kWidth = 30;
        const double seconds = double(m_clock.elapsed()) / 1000.0;
        const double rate = seconds > 0 ? double(done) / seconds : 0;
        const int filled = m_total > 0 ? int(kWidth * done / m_total) : kWidth;
        QString line = u"\r["_s + QString(filled, u'#') + QString(kWidth - filled, u'.') + u"] "_s +
                       u"%1/%2 pages"_s.arg(done).arg(m_total);
        if (done > 0) {
            line += u", %1 pages/s"_s.arg(qRound(rate));
            line += u", %1 s left"_s.arg(qRound(double(m_total - done) / rate));
        }
        line += u"\x1b[K"_s;
        put(line.toUtf8());
    }
    void clear() { put("\r\x1b[K"); }

private:
    // Not through writeStderrLine: the bar stays on one line.
    static void put(const QByteArray &bytes)
    {
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
        std::fflush(stderr);
    }

    qsizetype m_total;
    QElapsedTimer m_clock;
};

constexpr qsizetype kProgressThreshold = 100;
constexpr int kThreadsPerCore = 2;
constexpr qsizetype kBatchFiles = 384;

// Files in a batch: two batches keep theirs open at once, besides the pages
// being read and what the process holds anyway, within its limit.
qsizetype batchFiles()
{
    rlimit limit = {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kBatchFiles;
    return std::clamp((qsizetype(limit.rlim_cur) - 64) / 2, qsizetype(2), kBatchFiles);
}

// The order to work on pages in: one folder's after another's in turn,
// so that threads working side by side create their files in different
// folders rather than wait for each other's hold on one folder.
QList<qsizetype> interleaved(const QStringList &pages)
{
    std::vector<std::vector<qsizetype>> byFolder;
    QHash<QStringView, std::size_t> folderIndex;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const QStringView folder = QStringView(pages[i]).left(pages[i].lastIndexOf(u'/') + 1);
        auto it = folderIndex.constFind(folder);
        if (it == folderIndex.constEnd()) {
            it = folderIndex.insert(folder, byFolder.size());
            byFolder.emplace_back();
        }
        byFolder[*it].push_back(i);
    }
    QList<qsizetype> order;
    order.reserve(pages.size());
    for (std::size_t round = 0; order.size() < pages.size(); ++round) {
        for (const std::vector<qsizetype> &folder : byFolder) {
            if (round < folder.size())
                order << folder[round];
        }
    }
    return order;
}

QString countText(qsizetype n, const char16_t *one, const char16_t *many)
{
    return QString::number(n) + u' ' + QString::fromUtf16(n == 1 ? one : many);
}

} // namespace

int runApply(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Writes the ticked tags of a profile into existing web pages, in place. Each replaces the page's "
        u"tag "
        u"of its kind where it stands, and later ones of that kind are removed; a tag the page lacks goes "
        u"after the last of the thirteen tags in the page, or before </head>, on a line of its own indented "
        u"like its neighbours. The page keeps its HTML or XHTML syntax and line ends, and every other byte. "
        u"Pages that cannot be read or have no head are reported and left alone. Ends with a summary on "
        u"standard error; the exit status is 1 when a page failed."_s);
    parser.addPositionalArgument(
        u"PAGE"_s, u"A web page, or a folder whose *.html, *.htm and *.xhtml pages are taken."_s,
        u"PAGE..."_s);
    parser.addOption(
        {u"profile"_s, u"The .wmp profile whose ticked tags are written (required)."_s, u"file"_s});
    parser.addOption(
        {u"dry-run"_s, u"Print a unified diff of each change to standard output instead of writing."_s});
    parser.addOption({u"backup"_s,
                      u"Keep each changed page's old version beside it as PAGE followed by SUFFIX."_s,
                      u"suffix"_s});
    parser.addOption(
        {{u"r"_s, u"recursive"_s}, u"Walk the folders given as PAGE into their subfolders too."_s});
    if (!parseOrHelp(parser, arguments, u"apply"_s))
        return kExitOk;
    if (!parser.isSet(u"profile"_s))
        throw UsageError(u"--profile is required"_s);
    if (parser.isSet(u"backup"_s) && parser.value(u"backup"_s).isEmpty())
        throw UsageError(u"--backup needs a suffix, such as .orig"_s);
    if (parser.positionalArguments().isEmpty())
        throw UsageError(u"missing PAGE"_s);

    tags::TagValues values = tags::TagValues::defaults();
    tags::RowTicks ticks{};
    ProfileOptions::loadFile(parser.value(u"profile"_s), values, ticks);
    const pagehead::ProfileLines lines = pagehead::ProfileLines::of(values, ticks);
    if (lines.writesNothing()) {
        writeStderrLine(QString::fromUtf16(tags::kNoTagsNotice));
        return kExitFailure;
    }

    PageList list(parser.isSet(u"recursive"_s));
    for (const QString &argument : parser.positionalArguments())
        list.add(argument);
    pagehead::ApplyOptions options;
    options.dryRun = parser.isSet(u"dry-run"_s);
    options.backupSuffix = parser.value(u"backup"_s);

    // Pages go to every core; their results come back in the order given.
    // They go in batches whose new bytes share one sync, and that sync and
    // the renames run while the next batch is read and changed: they mostly
    // wait for the disk. Threads still wait for the disk now and then
    // (reading pages not in the cache), so there are more than cores.
    QThreadPool pool;
    pool.setMaxThreadCount(std::max(4, QThread::idealThreadCount() * kThreadsPerCore));
    QThreadPool committer;
    committer.setMaxThreadCount(1);
    const qsizetype batchPages = options.backupSuffix.isEmpty() ? batchFiles() : batchFiles() / 2;
    std::unique_ptr<ProgressBar> bar;
    if (list.pages.size() > kProgressThreshold && isatty(STDERR_FILENO))
        bar = std::make_unique<ProgressBar>(list.pages.size());
    QList<pagehead::PageResult> results;
    results.reserve(list.pages.size());
    QFuture<void> committing;
    for (qsizetype first = 0; first < list.pages.size(); first += batchPages) {
        const QStringList pages = list.pages.mid(first, batchPages);
        const QList<qsizetype> order = interleaved(pages);
        auto batch = std::make_shared<FileBatch>();
        QFuture<pagehead::PreparedPage> preparing =
            QtConcurrent::mapped(&pool, order, [&pages, &lines, &options, batch](qsizetype i) {
                return pagehead::preparePage(pages[i], lines, options, *batch);
            });
        while (bar && !preparing.isFinished()) {
            bar->show(first + preparing.progressValue());
            QThread::msleep(200);
        }
        preparing.waitForFinished();
        auto prepared = std::make_shared<QList<pagehead::PreparedPage>>(pages.size());
        for (qsizetype k = 0; k < order.size(); ++k)
            (*prepared)[order[k]] = preparing.resultAt(k);
        committing.waitForFinished();
        committing = QtConcurrent::run(&committer, [&results, &options, batch, prepared] {
            batch->sync();
            for (const pagehead::PreparedPage &page : std::as_const(*prepared))
                results << pagehead::finishPage(page, options, *batch);
        });
    }
    committing.waitForFinished();
    if (bar)
        bar->clear();

    qsizetype changed = 0, unchanged = 0, failed = 0;
    for (const QString &folder : list.unreadableFolders) {
        writeStderrLine(pagehead::pageMessage(folder, u"cannot be read"_s));
        ++failed;
    }
    for (const pagehead::PageResult &result : results) {
        switch (result.outcome) {
        case pagehead::PageOutcome::Changed:
            ++changed;
            if (options.dryRun)
                writeStdout(result.diff);
            break;
        case pagehead::PageOutcome::Unchanged:
            ++unchanged;
            break;
        case pagehead::PageOutcome::Failed:
            ++failed;
            writeStderrLine(result.message);
            break;
        }
    }
    writeStderrLine(countText(changed, u"page changed", u"pages changed") + u", "_s +
                    QString::number(unchanged) + u" unchanged, "_s + QString::number(failed) + u" failed"_s);
    return failed > 0 ? kExitFailure : kExitOk;
}

} // namespace brindle::cli
