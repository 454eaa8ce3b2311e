#include "cli/cli.h"

#include "base/error.h"
#include "base/filename.h"
#include "base/filewriter.h"
#include "base/parallel.h"
#include "pagehead/pageapply.h"
#include "pagehead/pageimport.h"
#include "pagehead/pagewalk.h"

#include <QElapsedTimer>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace brindle::cli {

namespace {

// The signal that asked the run to stop, 0 while none has.
std::atomic<int> g_stopSignal = 0;
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

extern "C" void onStopSignal(int signal)
{
    g_stopSignal = signal;
}

bool stopRequested()
{
    return g_stopSignal != 0;
}

// SIGINT, SIGTERM and SIGHUP end the run cleanly: no new batch of pages is
// started, the one being written is finished and the one being read is
// dropped with its temporary files. A second signal ends the program at
// once: the handler gives way to the default action after the first.
class StopSignals
{
public:
    StopSignals()
    {
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        action.sa_flags = SA_RESTART | SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &action, &m_old[i]);
    }
    ~StopSignals()
    {
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &m_old[i], nullptr);
    }
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

private:
    static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> m_old{};
};

// Pages done, rate and time left on one line of standard error, redrawn in
// place. Only on a terminal: a pipe or a log gets none of it.
class ProgressBar
{
public:
    explicit ProgressBar(qsizetype total) : m_total(total) { m_clock.start(); }

    // Drawn at most ten times a second, and at the end.
    void show(qsizetype done)
    {
        if (m_drawn.isValid() && m_drawn.elapsed() < 100 && done < m_total)
            return;
        m_drawn.start();
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
    QElapsedTimer m_drawn;
};

constexpr qsizetype kProgressThreshold = 100;
constexpr unsigned kThreadsPerCore = 2;
constexpr qsizetype kBatchFiles = 384;

// How much runs at once, within the process's limit of open files. A
// thread reading a page holds the page, and while it writes, the new file
// and perhaps the folder it opens; a batch holds each folder it writes in
// until it is done, and two batches are under way at once (one read, one
// synced); a sync thread holds the file it syncs. A low limit means fewer
// threads and smaller batches, never a failed page.
struct Budget
{
    unsigned threads = 1;
    std::size_t syncThreads = 1;
    qsizetype batchPages = 1;
};

int openFileCount()
{
    DIR *fds = ::opendir("/proc/self/fd");
    if (!fds)
        return 3;
    int count = -1; // the listing's own descriptor
    while (const dirent *entry = ::readdir(fds))
        count += entry->d_name[0] != '.';
    ::closedir(fds);
    return count;
}

Budget budget()
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    Budget b{std::max(4u, cores * kThreadsPerCore), FileBatch::kSyncThreads, kBatchFiles};
    rlimit limit = {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return b;
    // A few spare for what opens a file now and then (a charset converter's module).
    constexpr qsizetype kSpare = 4;
    const qsizetype free = qsizetype(limit.rlim_cur) - openFileCount() - kSpare;
    b.threads = unsigned(std::clamp<qsizetype>(free / 8, 1, b.threads));
    b.syncThreads = std::size_t(std::clamp<qsizetype>(free / 8, 1, qsizetype(b.syncThreads)));
    const qsizetype left = free - 3 * qsizetype(b.threads) - qsizetype(b.syncThreads);
    b.batchPages = std::clamp<qsizetype>(left / 2, 1, kBatchFiles);
    return b;
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

// Counts as people read them: "3,588".
QString number(qsizetype n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(qlonglong(n));
}

QString countText(qsizetype n, const char16_t *one, const char16_t *many)
{
    return number(n) + u' ' + QString::fromUtf16(n == 1 ? one : many);
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
                      u"Keep each changed page's old version beside it as PAGE followed by SUFFIX, a new "
                      u"file; a page whose backup exists already is left alone."_s,
                      u"suffix"_s});
    parser.addOption({u"backup-replace"_s,
                      u"With --backup, replace a backup that exists already (a regular file; never a "
                      u"link) instead of leaving the page alone."_s});
    parser.addOption(
        {{u"r"_s, u"recursive"_s}, u"Walk the folders given as PAGE into their subfolders too."_s});
    if (!parseOrHelp(parser, arguments, u"apply"_s))
        return kExitOk;
    if (!parser.isSet(u"profile"_s))
        throw UsageError(u"--profile is required"_s);
    if (parser.isSet(u"backup"_s) && parser.value(u"backup"_s).isEmpty())
        throw UsageError(u"--backup needs a suffix, such as .orig"_s);
    if (parser.isSet(u"backup-replace"_s) && !parser.isSet(u"backup"_s))
        throw UsageError(u"--backup-replace goes with --backup"_s);
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
    pagehead::ApplyOptions options;
    options.dryRun = parser.isSet(u"dry-run"_s);
    options.backupSuffix = parser.value(u"backup"_s);
    options.replaceBackup = parser.isSet(u"backup-replace"_s);

    timespec started = {};
    clock_gettime(CLOCK_REALTIME, &started);
    const StopSignals stopSignals;
    const pagehead::PageWalk walk(parser.positionalArguments(), parser.isSet(u"recursive"_s), stopRequested);
    qsizetype failed = 0;
    for (const pagehead::PageWalk::Skipped &skipped : walk.skipped()) {
        writeStderrLine(skipped.message);
        failed += skipped.failure;
    }
    // What a run that was killed left behind goes before this one writes.
    for (const QString &folder : walk.folders()) {
        if (const int n = removeLeftoverTemporaryFiles(folder, started, !options.dryRun); n > 0)
            writeStderrLine(pagehead::pageMessage(
                folder, (options.dryRun ? u"%1 would be removed"_s : u"removed %1"_s)
                            .arg(countText(n, u"temporary file left by a run that was stopped",
                                           u"temporary files left by a run that was stopped"))));
    }

    // Pages go to every core; their results come back in the order given.
    // They go in batches whose new bytes share one sync, and that sync and
    // the renames run while the next batch is read and changed: they mostly
    // wait for the disk. Threads still wait for the disk now and then
    // (reading pages not in the cache), so there are more than cores.
    const std::vector<pagehead::PageWalk::Page> &pages = walk.pages();
    const qsizetype total = qsizetype(pages.size());
    const Budget limits = budget();
    std::unique_ptr<ProgressBar> bar;
    std::mutex barMutex;
    if (total > kProgressThreshold && isatty(STDERR_FILENO))
        bar = std::make_unique<ProgressBar>(total);
    std::atomic<qsizetype> preparedCount = 0;
    std::vector<std::optional<pagehead::PageResult>> results(pages.size());
    QStringList folderFailures;
    std::jthread committing; // joined when it goes, whatever ends the run
    for (qsizetype first = 0; first < total && !stopRequested(); first += limits.batchPages) {
        const qsizetype count = std::min(limits.batchPages, total - first);
        QStringList paths;
        for (qsizetype i = first; i < first + count; ++i)
            paths << pages[std::size_t(i)].path;
        const QList<qsizetype> order = interleaved(paths);
        auto batch = std::make_shared<FileBatch>();
        auto prepared = std::make_shared<std::vector<pagehead::PreparedPage>>(std::size_t(count));
        forEachOnThreads(std::size_t(count), limits.threads, [&](std::size_t k) {
            if (stopRequested())
                return;
            const qsizetype i = order[qsizetype(k)];
            const pagehead::PageWalk::Page &page = pages[std::size_t(first + i)];
            (*prepared)[std::size_t(i)] = pagehead::preparePage(
                page.path, lines, options, *batch, page.named || !page.found ? nullptr : &page.stamp);
            const qsizetype done = ++preparedCount;
            if (bar && barMutex.try_lock()) {
                bar->show(done);
                barMutex.unlock();
            }
        });
        if (committing.joinable())
            committing.join();
        // A batch read only in part is dropped, and its temporary files with it.
        if (stopRequested())
            break;
        const auto commit = [&results, &options, &folderFailures, &limits, batch, prepared, first] {
            batch->sync(limits.syncThreads);
            for (std::size_t i = 0; i < prepared->size(); ++i)
                results[std::size_t(first) + i] = pagehead::finishPage((*prepared)[i], options, *batch);
            folderFailures << batch->syncFolders();
        };
        try {
            committing = std::jthread(commit);
        } catch (const std::system_error &) {
            commit(); // no thread to spare: the next batch only waits
        }
    }
    if (committing.joinable())
        committing.join();
    if (bar)
        bar->clear();

    qsizetype changed = 0, unchanged = 0, notDone = 0;
    for (const std::optional<pagehead::PageResult> &result : results) {
        if (!result) {
            ++notDone;
            continue;
        }
        switch (result->outcome) {
        case pagehead::PageOutcome::Changed:
            ++changed;
            if (options.dryRun)
                writeStdout(result->diff);
            break;
        case pagehead::PageOutcome::Unchanged:
            ++unchanged;
            break;
        case pagehead::PageOutcome::Failed:
            ++failed;
            writeStderrLine(result->message);
            break;
        }
    }
    for (const QString &failure : std::as_const(folderFailures)) {
        writeStderrLine(failure);
        ++failed;
    }
    QString summary = options.dryRun ? countText(changed, u"page would change", u"pages would change")
                                     : countText(changed, u"page changed", u"pages changed");
    summary += u", "_s + number(unchanged) + u" unchanged, "_s + number(failed) + u" failed"_s;
    const int stopSignal = g_stopSignal;
    if (stopSignal != 0 && (notDone > 0 || walk.stopped())) {
        writeStderrLine(summary + u", "_s + number(notDone) + u" not done: interrupted"_s);
        return 128 + stopSignal;
    }
    writeStderrLine(summary);
    return failed > 0 ? kExitFailure : kExitOk;
}

} // namespace brindle::cli
