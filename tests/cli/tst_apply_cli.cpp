// brindle-cli apply over trees that others can write into: it stays inside
// them, writes backups as new files, never lets a protected page be read,
// keeps every permission, splits no hard link, and stops cleanly. The
// cases run brindle-cli as ordinary users (root hands files to them).

#include "base/filename.h"
#include "common/clirun.h"
#include "common/devices.h"
#include "common/fileattributes.h"
#include "common/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace brindle;

namespace {

#ifdef __SANITIZE_ADDRESS__
// The sanitizers' runtime opens files of its own.
constexpr int kRuntimeFiles = 4;
#else
constexpr int kRuntimeFiles = 0;
#endif

const QByteArray kPage = "<head>\n<title>Old</title>\n</head>\n";
const QByteArray kDone = "<head>\n<title>Home & garden</title>\n"
                         "<meta name=\"description\" content=\"Tips for small gardens\">\n"
                         "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">\n</head>\n";

QByteArray native(const QString &path)
{
    return fileNameBytes(path);
}

// The file's bytes, whatever bytes its name has; "<missing>" when it cannot be read.
QByteArray readFile(const QString &path)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "<missing>";
    QByteArray bytes;
    char chunk[65536];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;)
        bytes.append(chunk, n);
    ::close(fd);
    return bytes;
}

bool own(const QString &path, uid_t user, gid_t group)
{
    return ::lchown(native(path).constData(), user, group) == 0;
}

bool makeFile(const QString &path, const QByteArray &bytes, uid_t user = test::kUserA,
              gid_t group = test::kGroupA, mode_t mode = 0644)
{
    const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), std::size_t(bytes.size())) == bytes.size();
    ::close(fd);
    return written && ::chmod(native(path).constData(), mode) == 0 && own(path, user, group);
}

bool makeFolder(const QString &path, uid_t user = test::kUserA, gid_t group = test::kGroupA,
                mode_t mode = 0755)
{
    return ::mkdir(native(path).constData(), mode) == 0 && ::chmod(native(path).constData(), mode) == 0 &&
           own(path, user, group);
}

bool makeLink(const QString &target, const QString &path, uid_t user = test::kUserA,
              gid_t group = test::kGroupA)
{
    return ::symlink(native(target).constData(), native(path).constData()) == 0 && own(path, user, group);
}

// A test folder others may enter, holding the example profile.
struct Tree
{
    // The trees of thousands of pages are made in memory where the machine
    // has a tmpfs: a disk's syncs would only make the tests slow.
    enum Place
    {
        OnDisk,
        InMemory
    };

    std::unique_ptr<QTemporaryDir> dir;
    QString profile;

    static QString inMemoryTemplate()
    {
        const QFileInfo shm(u"/dev/shm"_s);
        return shm.isDir() && shm.isWritable() ? u"/dev/shm/tst_apply_cli-XXXXXX"_s : QString();
    }

    explicit Tree(Place place = OnDisk)
        : dir(place == InMemory && !inMemoryTemplate().isEmpty()
                  ? std::make_unique<QTemporaryDir>(inMemoryTemplate())
                  : std::make_unique<QTemporaryDir>())
    {
        ::chmod(native(root()).constData(), 0755);
        profile = path(u"p.wmp"_s);
        makeFile(profile, test::kExampleProfile);
    }
    // QTemporaryDir cannot remove names that are not UTF-8.
    ~Tree() { QProcess::execute(u"rm"_s, {u"-rf"_s, root()}); }
    Tree(const Tree &) = delete;
    Tree &operator=(const Tree &) = delete;
    QString root() const { return dir->path(); }
    QString path(const QString &relative) const { return dir->filePath(relative); }
};

test::CliOptions asUserA(const QStringList &args)
{
    test::CliOptions options;
    options.args = args;
    options.user = test::kUserA;
    options.group = test::kGroupA;
    return options;
}

QStringList lines(const QByteArray &err)
{
    QStringList result = QString::fromUtf8(err).split(u'\n');
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}

} // namespace

class TestApplyCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!test::canActAsOtherUsers())
            QSKIP("these cases act as other users, which only root can");
    }

    // Links in the tree that lead out of it are reported and skipped; those
    // within it are followed once; a page named may be a link anywhere.
    void staysInsideTheTree_data()
    {
        QTest::addColumn<QStringList>("args"); // relative to the test folder
        QTest::addColumn<QStringList>("changed");
        QTest::addColumn<QStringList>("messages");
        const QString toPage =
            u"site/about.html: a symbolic link to %1/outside/manual.html, outside the folders "
            u"given; skipped"_s;
        const QString toFolder =
            u"site/rootlink: a symbolic link to %1/outside, outside the folders given; skipped"_s;
        QTest::addRow("a folder") << QStringList{u"site"_s} << QStringList{u"site/index.html"_s}
                                  << QStringList{toPage, u"1 page changed, 0 unchanged, 0 failed"_s};
        QTest::addRow("recursive") << QStringList{u"--recursive"_s, u"site"_s}
                                   << QStringList{u"site/index.html"_s, u"site/sub/c.html"_s}
                                   << QStringList{toPage, toFolder,
                                                  u"2 pages changed, 0 unchanged, 0 failed"_s};
        QTest::addRow("recursive, dry run")
            << QStringList{u"--dry-run"_s, u"-r"_s, u"site"_s} << QStringList{}
            << QStringList{toPage, toFolder, u"2 pages would change, 0 unchanged, 0 failed"_s};
        QTest::addRow("a link named is the user's choice")
            << QStringList{u"site/about.html"_s} << QStringList{u"outside/manual.html"_s}
            << QStringList{u"1 page changed, 0 unchanged, 0 failed"_s};
    }
    void staysInsideTheTree()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, changed);
        QFETCH(QStringList, messages);
        Tree tree;
        for (const char16_t *folder : {u"site", u"site/sub", u"outside"})
            QVERIFY(makeFolder(tree.path(QString::fromUtf16(folder))));
        const QStringList pages = {u"site/index.html"_s, u"site/sub/c.html"_s, u"outside/manual.html"_s,
                                   u"outside/page.html"_s};
        for (const QString &page : pages)
            QVERIFY(makeFile(tree.path(page), kPage));
        QVERIFY(makeLink(u"../outside/manual.html"_s, tree.path(u"site/about.html"_s)));
        QVERIFY(makeLink(u"../outside"_s, tree.path(u"site/rootlink"_s)));
        QVERIFY(makeLink(u"sub"_s, tree.path(u"site/sub2"_s)));

        test::CliOptions options = asUserA(QStringList{u"apply"_s, u"--profile"_s, tree.profile} + args);
        options.workingDirectory = tree.root();
        const test::CliRun r = runCliWith(options);
        QCOMPARE(r.status, 0);
        const QString real = QFileInfo(tree.root()).canonicalFilePath();
        QStringList expected;
        for (const QString &m : messages)
            expected << (m.contains(u"%1"_s) ? m.arg(real) : m);
        QCOMPARE(lines(r.err), expected);
        for (const QString &page : pages)
            QCOMPARE(readFile(tree.path(page)), changed.contains(page) ? kDone : kPage);
        QCOMPARE(test::fileTypeOf(tree.path(u"site/about.html"_s)), mode_t(S_IFLNK));
        QVERIFY(!r.out.contains("outside/"));
    }

    // A backup never goes through a link and never replaces a file; what it
    // is made as is what the page was.
    void backupsAreNewFiles_data()
    {
        QTest::addColumn<QString>("existing"); // what p.html.orig is beforehand
        QTest::addColumn<bool>("replace");     // --backup-replace
        QTest::addColumn<bool>("asRoot");
        QTest::addColumn<QString>("message"); // empty: the page is changed
        QTest::addRow("a link planted to a protected file")
            << u"link"_s << false << false << u"its backup site/p.html.orig exists already; left alone"_s;
        QTest::addRow("a planted link, --backup-replace")
            << u"link"_s << true << false
            << u"its backup site/p.html.orig is not a regular file; left alone"_s;
        QTest::addRow("a backup from before")
            << u"file"_s << false << false << u"its backup site/p.html.orig exists already; left alone"_s;
        QTest::addRow("a backup from before, --backup-replace") << u"file"_s << true << false << QString();
        QTest::addRow("a new backup, root running") << QString() << false << true << QString();
        QTest::addRow("a new backup, the owner running") << QString() << false << false << QString();
    }
    void backupsAreNewFiles()
    {
        QFETCH(QString, existing);
        QFETCH(bool, replace);
        QFETCH(bool, asRoot);
        QFETCH(QString, message);
        Tree tree;
        // User B may write into the folder, as on a shared web root.
        QVERIFY(makeFolder(tree.path(u"site"_s), test::kUserA, test::kGroupA, 0777));
        // A's own secret, where A may write: what a link to it must not reach.
        QVERIFY(makeFolder(tree.path(u"home"_s), test::kUserA, test::kGroupA, 0700));
        const QString page = tree.path(u"site/p.html"_s), backup = page + u".orig"_s,
                      secret = tree.path(u"home/secret"_s);
        // Only root can keep a group the owner is not in.
        QVERIFY(makeFile(page, kPage, test::kUserA, asRoot ? test::kGroupShared : test::kGroupA, 0640));
        QVERIFY(test::setfacl({u"-m"_s, u"u:%1:r"_s.arg(test::kUserB), page}));
        QVERIFY(test::setUserAttribute(page, "user.note", "kept"));
        const QString pageAttributes = test::fileAttributesText(page);
        QVERIFY(makeFile(secret, "secret", test::kUserA, test::kGroupA, 0600));
        if (existing == u"link"_s)
            QVERIFY(makeLink(secret, backup, test::kUserB, test::kGroupB));
        else if (existing == u"file"_s)
            QVERIFY(makeFile(backup, "precious", test::kUserA, test::kGroupA, 0600));

        QStringList args = {u"apply"_s,    u"--profile"_s, tree.profile,
                            u"--backup"_s, u".orig"_s,     u"site/p.html"_s};
        if (replace)
            args << u"--backup-replace"_s;
        test::CliOptions options = asUserA(args);
        if (asRoot)
            options.user = options.group = 0;
        options.workingDirectory = tree.root();
        const test::CliRun r = runCliWith(options);
        QCOMPARE(readFile(secret), QByteArray("secret"));
        QCOMPARE(test::fileAttributesText(secret), u"64101:64101 0600"_s);
        if (!message.isEmpty()) {
            QCOMPARE(r.status, 1);
            QCOMPARE(lines(r.err), (QStringList{u"site/p.html: "_s + message,
                                                u"0 pages changed, 0 unchanged, 1 failed"_s}));
            QCOMPARE(readFile(page), kPage);
            QCOMPARE(test::fileTypeOf(backup), existing == u"link"_s ? mode_t(S_IFLNK) : mode_t(S_IFREG));
            if (existing == u"file"_s)
                QCOMPARE(readFile(backup), QByteArray("precious"));
        } else {
            QCOMPARE(r.status, 0);
            QCOMPARE(readFile(page), kDone);
            QCOMPARE(readFile(backup), kPage);
            QCOMPARE(test::fileAttributesText(backup), pageAttributes);
            QCOMPARE(test::fileAttributesText(page), pageAttributes);
        }
        QCOMPARE(test::namesIn(tree.path(u"site"_s)).size(), 2);
    }

    // Another user watches the folder and opens every file that appears:
    // none of the pages, which only their owner may read, nor their new
    // versions while they are written.
    void protectedPagesAreNeverReadable()
    {
        Tree tree;
        const QString site = tree.path(u"site"_s);
        QVERIFY(makeFolder(site));
        for (int i = 0; i < 200; ++i)
            QVERIFY(makeFile(site + u"/p%1.html"_s.arg(i, 3, 10, QChar(u'0')), kPage, test::kUserA,
                             test::kGroupA, 0600));
        const QByteArray folder = native(site);
        int ready[2], stop[2], result[2];
        QVERIFY(::pipe(ready) == 0 && ::pipe(stop) == 0 && ::pipe(result) == 0);
        const pid_t reader = ::fork();
        if (reader == 0) {
            // Only system calls from here: the test process may have threads.
            if (::setgroups(0, nullptr) != 0 ||
                ::setresgid(test::kGroupB, test::kGroupB, test::kGroupB) != 0 ||
                ::setresuid(test::kUserB, test::kUserB, test::kUserB) != 0)
                ::_exit(1);
            const int events = ::inotify_init1(IN_CLOEXEC);
            const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (events < 0 || dir < 0 || ::inotify_add_watch(events, folder.constData(), IN_CREATE) < 0)
                ::_exit(1);
            if (::write(ready[1], "r", 1) != 1)
                ::_exit(1);
            int opened = 0;
            alignas(inotify_event) char buffer[65536];
            for (;;) {
                pollfd fds[2] = {{events, POLLIN, 0}, {stop[0], POLLIN, 0}};
                if (::poll(fds, 2, 20000) <= 0)
                    break;
                if (!(fds[0].revents & POLLIN))
                    break; // told to stop, every event seen
                const ssize_t n = ::read(events, buffer, sizeof buffer);
                for (ssize_t at = 0; at < n;) {
                    const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                    if (event->len > 0) {
                        const int fd = ::openat(dir, event->name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
                        if (fd >= 0) {
                            ++opened;
                            ::close(fd);
                        }
                    }
                    at += ssize_t(sizeof(inotify_event) + event->len);
                }
            }
            ::_exit(::write(result[1], &opened, sizeof opened) == ssize_t(sizeof opened) ? 0 : 1);
        }
        QVERIFY(reader > 0);
        char go = 0;
        QCOMPARE(::read(ready[0], &go, 1), ssize_t(1));
        const test::CliRun r =
            runCliWith(asUserA({u"apply"_s, u"--profile"_s, tree.profile, u"--backup"_s, u".orig"_s, site}));
        QCOMPARE(::write(stop[1], "s", 1), ssize_t(1));
        int opened = -1;
        QCOMPARE(::read(result[0], &opened, sizeof opened), ssize_t(sizeof opened));
        ::waitpid(reader, nullptr, 0);
        for (int fd : {ready[0], ready[1], stop[0], stop[1], result[0], result[1]})
            ::close(fd);
        QCOMPARE(r.status, 0);
        QCOMPARE(opened, 0);
        for (const QString &name : test::namesIn(site))
            QCOMPARE(test::fileAttributesText(site + u'/' + name), u"64101:64101 0600"_s);
    }

    // The ACL, the user's attributes and the mode survive the write; where
    // the runner cannot give the file the page's group, the group gets
    // nothing rather than what the page's group had.
    void permissionsAreKept_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("asRoot");
        QTest::addColumn<gid_t>("group");
        QTest::addColumn<bool>("kept"); // else: the group is the runner's, with no rights
        QTest::addRow("root running") << u"apply"_s << true << test::kGroupShared << true;
        QTest::addRow("the owner running, the page in its own group")
            << u"apply"_s << false << test::kGroupA << true;
        QTest::addRow("the owner running, the page in a group the owner is not in")
            << u"apply"_s << false << test::kGroupShared << false;
        QTest::addRow("page -o, the owner running") << u"page"_s << false << test::kGroupA << true;
        QTest::addRow("page -o, a group the owner is not in")
            << u"page"_s << false << test::kGroupShared << false;
    }
    void permissionsAreKept()
    {
        QFETCH(QString, command);
        QFETCH(bool, asRoot);
        QFETCH(gid_t, group);
        QFETCH(bool, kept);
        Tree tree;
        QVERIFY(makeFolder(tree.path(u"site"_s)));
        const QString page = tree.path(u"site/p.html"_s);
        QVERIFY(makeFile(page, kPage, test::kUserA, group, 0640));
        QVERIFY(test::setfacl({u"-m"_s, u"u:%1:rw"_s.arg(test::kUserB), page}));
        QVERIFY(test::setUserAttribute(page, "user.note", "kept"));
        const QString before = test::fileAttributesText(page);
        QVERIFY(
            before.startsWith(u"64101:%1 0660 "_s.arg(group))); // the ACL's mask shows as the group's bits

        test::CliOptions options =
            asUserA(command == u"apply"_s ? QStringList{u"apply"_s, u"--profile"_s, tree.profile, page}
                                          : QStringList{u"page"_s, u"--doctype"_s, u"HTML 5"_s, u"--title"_s,
                                                        u"x"_s, u"-o"_s, page});
        if (asRoot)
            options.user = options.group = 0;
        const test::CliRun r = runCliWith(options);
        QCOMPARE(r.status, 0);
        QVERIFY(readFile(page) != kPage);
        const QString after = test::fileAttributesText(page);
        if (kept) {
            QCOMPARE(after, before);
        } else {
            QVERIFY2(after.startsWith(u"64101:64101 0600 "_s), qPrintable(after));
            QVERIFY(after.contains(u"user.note=6b657074"_s));
            QProcess getfacl;
            getfacl.start(u"getfacl"_s, {u"-cpn"_s, page});
            QVERIFY(getfacl.waitForFinished());
            const QByteArray acl = getfacl.readAllStandardOutput();
            QVERIFY2(acl.contains("user:64102:rw-") && acl.contains("mask::---"), acl.constData());
        }
        QCOMPARE(test::namesIn(tree.path(u"site"_s)), QStringList{u"p.html"_s});
    }

    void hardLinksAreNotSplit()
    {
        Tree tree;
        QVERIFY(makeFolder(tree.path(u"site"_s)));
        QVERIFY(makeFile(tree.path(u"site/p.html"_s), kPage));
        QCOMPARE(::link(native(tree.path(u"site/p.html"_s)).constData(),
                        native(tree.path(u"site/q.html"_s)).constData()),
                 0);
        test::CliOptions options = asUserA({u"apply"_s, u"--profile"_s, tree.profile, u"site"_s});
        options.workingDirectory = tree.root();
        const test::CliRun r = runCliWith(options);
        QCOMPARE(r.status, 1);
        QCOMPARE(lines(r.err),
                 (QStringList{
                     u"site/p.html: has 2 names (hard links), which replacing it would split; left alone"_s,
                     u"0 pages changed, 0 unchanged, 1 failed"_s}));
        QCOMPARE(readFile(tree.path(u"site/p.html"_s)), kPage);
        struct stat st = {};
        QCOMPARE(::stat(native(tree.path(u"site/q.html"_s)).constData(), &st), 0);
        QCOMPARE(st.st_nlink, nlink_t(2));
    }

    // Any name the file system holds, found in a folder or named; messages
    // show its odd bytes escaped.
    void namesThatAreNotUtf8()
    {
        Tree tree;
        QVERIFY(makeFolder(tree.path(u"site"_s)));
        const QString bad = tree.path(fileNameFromBytes("site/bad\xff\xfename.html"));
        const QString binary = tree.path(fileNameFromBytes("site/bin\xff.html"));
        QVERIFY(makeFile(bad, kPage));
        QVERIFY(makeFile(tree.path(u"site/good.html"_s), kPage));
        QVERIFY(makeFile(binary, QByteArray("\0\1", 2)));
        test::CliOptions named = asUserA({u"apply"_s, u"--profile"_s, tree.profile, bad});
        QCOMPARE(runCliWith(named).status, 0);
        QCOMPARE(readFile(bad), kDone);

        test::CliOptions options = asUserA({u"apply"_s, u"--profile"_s, tree.profile, u"site"_s});
        options.workingDirectory = tree.root();
        const test::CliRun r = runCliWith(options);
        QCOMPARE(r.status, 1);
        QCOMPARE(lines(r.err), (QStringList{u"site/bin\\xff.html: contains NUL bytes: not a text page"_s,
                                            u"1 page changed, 1 unchanged, 1 failed"_s}));
        QCOMPARE(readFile(tree.path(u"site/good.html"_s)), kDone);
    }

    // Stopped by a signal, a run finishes the batch it writes, drops the one
    // it reads with its temporary files, says how far it got, and leaves
    // each page old or new.
    void interruptedRunLeavesNoDebris_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addRow("SIGINT") << SIGINT;
        QTest::addRow("SIGTERM") << SIGTERM;
        QTest::addRow("SIGHUP") << SIGHUP;
    }
    void interruptedRunLeavesNoDebris()
    {
        QFETCH(int, signal);
        Tree tree(Tree::InMemory);
        const QStringList pages = makeSite(tree, 3000);
        const QByteArray first = native(pages.first());
        bool sent = false;
        test::CliOptions options =
            asUserA({u"apply"_s, u"--profile"_s, tree.profile, u"-r"_s, tree.path(u"site"_s)});
        // As soon as the first batch is being put in place.
        options.whileRunning = [&](pid_t pid) {
            struct stat st = {};
            if (!sent && ::stat(first.constData(), &st) == 0 && st.st_size != kPage.size()) {
                ::kill(pid, signal);
                sent = true;
            }
        };
        const test::CliRun r = runCliWith(options);
        QVERIFY(sent);
        QCOMPARE(r.status, 128 + signal);
        const QStringList err = lines(r.err);
        QCOMPARE(err.size(), 1);
        static const QRegularExpression summary(
            u"^([0-9,]+) pages changed, 0 unchanged, 0 failed, ([0-9,]+) not done: interrupted$"_s);
        const QRegularExpressionMatch m = summary.match(err.first());
        QVERIFY2(m.hasMatch(), qPrintable(err.first()));
        const int changed = m.captured(1).remove(u',').toInt();
        QCOMPARE(changed + m.captured(2).remove(u',').toInt(), 3000);
        QVERIFY(changed > 0 && changed < 3000);
        QCOMPARE(countPages(pages), (std::pair{changed, 3000 - changed}));
        QCOMPARE(temporaryFiles(tree), 0);
    }

    // A run killed outright leaves its temporary files; the next run over the
    // same folders removes them, says so, and does its work.
    void killedRunIsCleanedUpAfter()
    {
        Tree tree(Tree::InMemory);
        const QStringList pages = makeSite(tree, 3000);
        int left = 0;
        for (int attempt = 0; attempt < 5 && left == 0; ++attempt) {
            test::CliOptions options =
                asUserA({u"apply"_s, u"--profile"_s, tree.profile, u"-r"_s, tree.path(u"site"_s)});
            options.whileRunning = [&](pid_t pid) {
                if (temporaryFiles(tree) > 0)
                    ::kill(pid, SIGKILL);
            };
            const test::CliRun killed = runCliWith(options);
            QCOMPARE(killed.signal, SIGKILL);
            left = temporaryFiles(tree);
        }
        QVERIFY(left > 0);
        const test::CliRun r =
            runCliWith(asUserA({u"apply"_s, u"--profile"_s, tree.profile, u"-r"_s, tree.path(u"site"_s)}));
        QCOMPARE(r.status, 0);
        static const QRegularExpression removed(
            u": removed ([0-9,]+) temporary files? left by a run that was stopped$"_s);
        int reported = 0;
        for (const QString &line : lines(r.err)) {
            if (const QRegularExpressionMatch m = removed.match(line); m.hasMatch())
                reported += m.captured(1).remove(u',').toInt();
        }
        QCOMPARE(reported, left);
        QCOMPARE(temporaryFiles(tree), 0);
        QCOMPARE(countPages(pages), (std::pair{3000, 0}));
    }

    // A file-size limit fails the write like a full disk; it does not kill
    // the program halfway.
    void fileSizeLimit_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::addRow("apply") << QStringList{u"apply"_s, u"--profile"_s, u"p.wmp"_s, u"site/p.html"_s}
                               << u"site/p.html: cannot be written (Disk full)"_s;
        QTest::addRow("import --save-profile")
            << QStringList{u"import"_s, u"site/p.html"_s, u"--save-profile"_s, u"site/p.wmp"_s}
            << u"Cannot write site/p.wmp: Disk full."_s;
        QTest::addRow("page -o") << QStringList{u"page"_s, u"--doctype"_s, u"HTML 5"_s,     u"--title"_s,
                                                u"x"_s,    u"-o"_s,        u"site/p.html"_s}
                                 << u"Cannot write site/p.html: Disk full."_s;
    }
    void fileSizeLimit()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        Tree tree;
        QVERIFY(makeFolder(tree.path(u"site"_s)));
        QVERIFY(makeFile(tree.path(u"site/p.html"_s), kPage));
        test::CliOptions options = asUserA(args);
        options.workingDirectory = tree.root();
        options.fileSizeLimit = rlim_t(kPage.size() + 10);
        options.ignoreFileSizeSignal = false;
        const test::CliRun r = runCliWith(options);
        QCOMPARE(r.signal, 0);
        QCOMPARE(r.status, 1);
        QVERIFY2(lines(r.err).contains(message), r.err.constData());
        QCOMPARE(readFile(tree.path(u"site/p.html"_s)), kPage);
        QCOMPARE(test::namesIn(tree.path(u"site"_s)), QStringList{u"p.html"_s});
    }

    // Few open files allowed: fewer pages at once, none failed.
    void lowOpenFileLimit()
    {
        Tree tree(Tree::InMemory);
        const QStringList pages = makeSite(tree, 300);
        test::CliOptions options = asUserA({u"apply"_s, u"--profile"_s, tree.profile, u"--backup"_s,
                                            u".orig"_s, u"-r"_s, tree.path(u"site"_s)});
        options.openFileLimit = 12;
        const test::CliRun r = runCliWith(options);
        QCOMPARE(r.err, QByteArray("300 pages changed, 0 unchanged, 0 failed\n"));
        QCOMPARE(r.status, 0);
        QCOMPARE(countPages(pages), (std::pair{300, 0}));
    }

    // No event loop and no toolkit threads, which would each hold a file
    // descriptor: every command works with what it opens itself, beside the
    // one the program loader needs.
    void commandsNeedFewOpenFiles_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("limit");
        QTest::addRow("tags") << QStringList{u"tags"_s, u"--title"_s, u"x"_s} << 4;
        QTest::addRow("import: the page") << QStringList{u"import"_s, u"site/p.html"_s} << 4;
        QTest::addRow("check: the page") << QStringList{u"check"_s, u"site/p.html"_s} << 4;
        QTest::addRow("page -o: the folder and the new file")
            << QStringList{u"page"_s, u"--doctype"_s, u"HTML 5"_s,       u"--title"_s,
                           u"x"_s,    u"-o"_s,        u"site/new.html"_s}
            << 5;
        QTest::addRow("apply: the page, its folder and its new file")
            << QStringList{u"apply"_s,    u"--profile"_s, u"p.wmp"_s,
                           u"--backup"_s, u".orig"_s,     u"site/p.html"_s}
            << 6;
    }
    void commandsNeedFewOpenFiles()
    {
        QFETCH(QStringList, args);
        QFETCH(int, limit);
        Tree tree;
        QVERIFY(makeFolder(tree.path(u"site"_s)));
        QVERIFY(makeFile(tree.path(u"site/p.html"_s), kPage));
        test::CliOptions options = asUserA(args);
        options.workingDirectory = tree.root();
        options.openFileLimit = rlim_t(limit + kRuntimeFiles);
        const test::CliRun r = runCliWith(options);
        QVERIFY2(r.status == 0, r.err.constData());
        if (args.first() == u"apply"_s)
            QCOMPARE(readFile(tree.path(u"site/p.html"_s)), kDone);
    }

private:
    // `count` pages in folders of 100, owned by user A; their paths in the walk's order.
    static QStringList makeSite(const Tree &tree, int count)
    {
        QStringList pages;
        makeFolder(tree.path(u"site"_s));
        for (int f = 0; f * 100 < count; ++f) {
            const QString folder = tree.path(u"site/f%1"_s.arg(f, 2, 10, QChar(u'0')));
            makeFolder(folder);
            for (int i = 0; i < 100 && f * 100 + i < count; ++i) {
                pages << folder + u"/p%1.html"_s.arg(i, 3, 10, QChar(u'0'));
                makeFile(pages.last(), kPage);
            }
        }
        return pages;
    }
    // Pages with the new bytes and with the old; fails on any other bytes.
    static std::pair<int, int> countPages(const QStringList &pages)
    {
        std::pair<int, int> counts;
        for (const QString &page : pages) {
            const QByteArray bytes = readFile(page);
            if (bytes == kDone)
                ++counts.first;
            else if (bytes == kPage)
                ++counts.second;
            else
                qWarning("%s holds neither the old bytes nor the new", qPrintable(page));
        }
        return counts;
    }
    static int temporaryFiles(const Tree &tree)
    {
        int count = 0;
        for (const QString &folder : test::namesIn(tree.path(u"site"_s))) {
            for (const QString &name : test::namesIn(tree.path(u"site/"_s + folder)))
                count += name.startsWith(u'.');
        }
        return count;
    }
};

QTEST_GUILESS_MAIN(TestApplyCli)
#include "tst_apply_cli.moc"
