#include "common/devices.h"
#include "common/errorof.h"
#include "common/fileattributes.h"
#include "common/filesizelimit.h"
#include "common/ordinaryuser.h"
#include "common/testfiles.h"

#include "base/error.h"
#include "base/filename.h"
#include "base/filewriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <thread>

#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace brindle;
using brindle::test::errorOf;

namespace {

// The one entry of the folder besides `name`: a writer's temporary file.
QString temporaryBeside(const QString &dir, const QString &name)
{
    QStringList found = test::namesIn(dir);
    found.removeAll(name);
    return found.size() == 1 ? dir + u'/' + found.first() : QString();
}

timespec secondsFromNow(int seconds)
{
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    now.tv_sec += seconds;
    return now;
}

QByteArray pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char('a' + i % 26);
    return bytes;
}

} // namespace

class TestFileWriter : public QObject
{
    Q_OBJECT

private slots:
    // Small files are where a buffered writer lost the error of its last flush.
    void failedWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<qsizetype>("size");
        for (const qsizetype size : {1, 100, 3000, 20000, 100000})
            QTest::addRow("%lld bytes", qlonglong(size)) << size;
    }
    void failedWriteKeepsTheOldFile()
    {
        QFETCH(qsizetype, size);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"file.txt"_s);
        const QByteArray old = "old content\r\n";
        QVERIFY(test::writeFile(path, old));
        QString message;
        {
            const test::FileSizeLimit limit(rlim_t(size / 2));
            QVERIFY(limit.active());
            message = errorOf([&] { writeFileSafely(path, pattern(size)); });
        }
        QCOMPARE(message, u"Disk full"_s);
        QCOMPARE(test::readFile(path), old);
        QCOMPARE(test::namesIn(dir.path()), QStringList{u"file.txt"_s}); // no temporary file left
    }

    void writesTheWholeContent_data()
    {
        QTest::addColumn<qsizetype>("size");
        for (const qsizetype size : {0, 1, 3000, 100000})
            QTest::addRow("%lld bytes", qlonglong(size)) << size;
    }
    void writesTheWholeContent()
    {
        QFETCH(qsizetype, size);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"file.txt"_s);
        QVERIFY(test::writeFile(path, QByteArray(200000, 'o')));
        writeFileSafely(path, pattern(size));
        QCOMPARE(test::readFile(path), pattern(size));
        QCOMPARE(test::namesIn(dir.path()), QStringList{u"file.txt"_s});
    }

    // The link stays a link and its target gets the bytes, also when the
    // target does not exist yet.
    void symbolicLinksAreFollowed_data()
    {
        QTest::addColumn<bool>("targetExists");
        QTest::addColumn<bool>("relative");
        QTest::addRow("to a file") << true << false;
        QTest::addRow("relative, to a file") << true << true;
        QTest::addRow("dangling") << false << false;
        QTest::addRow("relative, dangling") << false << true;
    }
    void symbolicLinksAreFollowed()
    {
        QFETCH(bool, targetExists);
        QFETCH(bool, relative);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"real"_s));
        const QString target = dir.filePath(u"real/target.html"_s);
        if (targetExists)
            QVERIFY(test::writeFile(target, "old"));
        const QString link = dir.filePath(u"link.html"_s);
        QVERIFY(QFile::link(relative ? u"real/target.html"_s : target, link));
        writeFileSafely(link, "new");
        QCOMPARE(test::fileTypeOf(link), mode_t(S_IFLNK));
        QCOMPARE(test::readFile(target), QByteArray("new"));
        QCOMPARE(test::namesIn(dir.filePath(u"real"_s)), QStringList{u"target.html"_s});
    }

    void permissionsAreKept_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addRow("owner only") << 0600;
        QTest::addRow("group readable") << 0640;
        QTest::addRow("everyone reads") << 0644;
    }
    void permissionsAreKept()
    {
        QFETCH(int, mode);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"file.txt"_s);
        QVERIFY(test::writeFile(path, "old"));
        QCOMPARE(chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
        writeFileSafely(path, "new");
        struct stat st = {};
        QCOMPARE(stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), mode);
    }

    // The temporary file has the replaced file's owner, group, mode, ACL and
    // attributes as soon as it holds the new bytes, and the file has them
    // after the rename. Done as root: only root hands a file to another user.
    void attributesAreKept_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("acl");        // setfacl -m of the file
        QTest::addColumn<QString>("defaultAcl"); // setfacl -d -m of the folder
        QTest::addColumn<bool>("userAttribute");
        QTest::addRow("another user's file, for its owner alone") << 0600 << QString() << QString() << false;
        QTest::addRow("an ACL and a user attribute")
            << 0640 << u"u:%1:rw"_s.arg(test::kUserB) << QString() << true;
        QTest::addRow("setgid and sticky") << 03750 << QString() << QString() << false;
        QTest::addRow("the folder's default ACL stays off a file without one")
            << 0644 << QString() << u"u:%1:rwx"_s.arg(test::kUserB) << false;
        QTest::addRow("the file's own ACL, not the folder's default")
            << 0600 << u"g:%1:r"_s.arg(test::kGroupB) << u"u:%1:rwx"_s.arg(test::kUserB) << true;
    }
    void attributesAreKept()
    {
        QFETCH(int, mode);
        QFETCH(QString, acl);
        QFETCH(QString, defaultAcl);
        QFETCH(bool, userAttribute);
        if (!test::canActAsOtherUsers())
            QSKIP("only root can give a file to another user");
        QTemporaryDir dir;
        const QString path = dir.filePath(u"page.html"_s);
        QVERIFY(test::writeFile(path, "old"));
        QCOMPARE(::chown(QFile::encodeName(path).constData(), test::kUserA, test::kGroupShared), 0);
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
        if (!acl.isEmpty())
            QVERIFY(test::setfacl({u"-m"_s, acl, path}));
        if (!defaultAcl.isEmpty())
            QVERIFY(test::setfacl({u"-d"_s, u"-m"_s, defaultAcl, dir.path()}));
        if (userAttribute)
            QVERIFY(test::setUserAttribute(path, "user.note", "kept"));
        const QString expected = test::fileAttributesText(path);

        FileBatch batch;
        const int file = batch.add(path, "new");
        const QString temporary = temporaryBeside(dir.path(), u"page.html"_s);
        QVERIFY(!temporary.isEmpty());
        QCOMPARE(test::fileAttributesText(temporary), expected);
        batch.replace(file);
        QVERIFY(batch.syncFolders().isEmpty());
        QCOMPARE(test::readFile(path), QByteArray("new"));
        QCOMPARE(test::fileAttributesText(path), expected);
        QCOMPARE(test::namesIn(dir.path()), QStringList{u"page.html"_s});
    }

    // What a stopped run left is recognised by its name, and only the files
    // of that name the runner made before this run began are removed.
    void leftoverTemporaryFiles_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<char>("kind"); // f: a file, d: a folder, l: a symbolic link
        QTest::addColumn<bool>("otherOwner");
        QTest::addColumn<bool>("beforeTheRun");
        QTest::addColumn<bool>("removed");
        const QByteArray name = ".p.html.brindle-0a1b2c3d.tmp";
        QTest::addRow("left by a stopped run") << name << 'f' << false << true << true;
        QTest::addRow("any bytes in the page's name")
            << QByteArray(".\xff\xfe.html.brindle-00000000.tmp") << 'f' << false << true << true;
        QTest::addRow("made since this run began") << name << 'f' << false << false << false;
        QTest::addRow("another user's") << name << 'f' << true << true << false;
        QTest::addRow("a folder") << name << 'd' << false << true << false;
        QTest::addRow("a symbolic link") << name << 'l' << false << true << false;
        QTest::addRow("not hidden") << name.mid(1) << 'f' << false << true << false;
        QTest::addRow("upper case") << QByteArray(".p.html.brindle-0A1B2C3D.tmp") << 'f' << false << true
                                    << false;
        QTest::addRow("too short") << QByteArray(".p.html.brindle-0a1b2c3.tmp") << 'f' << false << true
                                   << false;
        QTest::addRow("nothing before the mark")
            << QByteArray("..brindle-0a1b2c3d.tmp") << 'f' << false << true << false;
    }
    void leftoverTemporaryFiles()
    {
        QFETCH(QByteArray, name);
        QFETCH(char, kind);
        QFETCH(bool, otherOwner);
        QFETCH(bool, beforeTheRun);
        QFETCH(bool, removed);
        if (otherOwner && !test::canActAsOtherUsers())
            QSKIP("only root can give a file to another user");
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
        if (kind == 'd')
            QCOMPARE(::mkdir(path.constData(), 0700), 0);
        else if (kind == 'l')
            QCOMPARE(::symlink("elsewhere", path.constData()), 0);
        else
            QCOMPARE(::close(::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600)), 0);
        if (otherOwner)
            QCOMPARE(::lchown(path.constData(), test::kUserA, test::kGroupA), 0);
        // The name alone: not hidden, upper case, too short, nothing before the mark.
        const bool named = name.startsWith(".p.html.brindle-0a1b2c3d") || name.startsWith(".\xff");
        QCOMPARE(isTemporaryFileName(name), named);
        const timespec runStart = secondsFromNow(beforeTheRun ? 1 : -60);
        QCOMPARE(removeLeftoverTemporaryFiles(dir.path(), runStart, false), removed ? 1 : 0);
        QCOMPARE(removeLeftoverTemporaryFiles(dir.path(), runStart), removed ? 1 : 0);
        struct stat st = {};
        QCOMPARE(::lstat(path.constData(), &st) != 0, removed);
    }

    void writerNamesAreRecognised()
    {
        QTemporaryDir dir;
        const QString longName = QString(255 - 5, u'x') + u".html"_s;
        for (const QString &name : {u"page.html"_s, longName, fileNameFromBytes("\xff.html")}) {
            FileBatch batch;
            batch.add(dir.filePath(name), "x");
            const QString temporary = temporaryBeside(dir.path(), name);
            QVERIFY2(isTemporaryFileName(fileNameBytes(temporary.mid(dir.path().size() + 1))),
                     qPrintable(temporary));
            QVERIFY(fileNameBytes(temporary.mid(dir.path().size() + 1)).size() <= 255);
        }
    }

    // A backup is a new file: made only where no file of its name is, never
    // through a link, with the attributes of the file it keeps.
    void newFilesOnly_data()
    {
        QTest::addColumn<QString>("existing"); // what has the name already
        QTest::addColumn<QString>("error");
        QTest::addRow("nothing") << QString() << u"<no error>"_s;
        QTest::addRow("a file") << u"file"_s << u"File exists"_s;
        QTest::addRow("a link to a file") << u"link"_s << u"File exists"_s;
        QTest::addRow("a dangling link") << u"dangling"_s << u"File exists"_s;
        QTest::addRow("a file made before the rename") << u"late"_s << u"File exists"_s;
    }
    void newFilesOnly()
    {
        QFETCH(QString, existing);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString page = dir.filePath(u"p.html"_s), backup = dir.filePath(u"p.html.orig"_s),
                      elsewhere = dir.filePath(u"elsewhere"_s);
        QVERIFY(test::writeFile(page, "page"));
        QVERIFY(test::setUserAttribute(page, "user.note", "kept"));
        QCOMPARE(::chmod(QFile::encodeName(page).constData(), 0604), 0);
        if (existing == u"file"_s)
            QVERIFY(test::writeFile(backup, "precious"));
        if (existing == u"link"_s)
            QVERIFY(test::writeFile(elsewhere, "precious"));
        if (existing == u"link"_s || existing == u"dangling"_s)
            QVERIFY(QFile::link(elsewhere, backup));
        const int from = ::open(QFile::encodeName(page).constData(), O_RDONLY | O_CLOEXEC);
        WriteOptions options;
        options.followLinks = false;
        options.keepExisting = true;
        options.attributesFrom = from;
        const QString message = errorOf([&] {
            FileBatch batch;
            const int file = batch.add(backup, "page", options);
            if (existing == u"late"_s)
                QVERIFY(test::writeFile(backup, "precious"));
            batch.replace(file);
        });
        ::close(from);
        QCOMPARE(message, error);
        if (existing.isEmpty()) {
            QCOMPARE(test::readFile(backup), QByteArray("page"));
            QCOMPARE(test::fileAttributesText(backup), test::fileAttributesText(page));
        } else if (existing == u"dangling"_s) {
            QVERIFY(!QFileInfo::exists(elsewhere));
        } else {
            QCOMPARE(test::readFile(existing == u"link"_s ? elsewhere : backup), QByteArray("precious"));
        }
        QCOMPARE(test::fileTypeOf(backup),
                 existing == u"link"_s || existing == u"dangling"_s ? mode_t(S_IFLNK) : mode_t(S_IFREG));
        for (const QString &name : test::namesIn(dir.path()))
            QVERIFY2(!isTemporaryFileName(fileNameBytes(name)), qPrintable(name));
    }

    // A file replaced only if it is still the one read: else FileChanged,
    // and the other's file stays.
    void expectedFile_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addRow("unchanged") << QString();
        QTest::addRow("another file before the write") << u"add"_s;
        QTest::addRow("written to before the rename") << u"replace"_s;
    }
    void expectedFile()
    {
        QFETCH(QString, when);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"p.html"_s);
        QVERIFY(test::writeFile(path, "old"));
        struct stat st = {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        WriteOptions options;
        options.expected = FileStamp::of(st);
        if (when == u"add"_s) {
            QVERIFY(QFile::remove(path));
            QVERIFY(test::writeFile(path, "theirs"));
        }
        bool changed = false;
        try {
            FileBatch batch;
            const int file = batch.add(path, "new", options);
            if (when == u"replace"_s)
                QVERIFY(test::writeFile(path, "theirs"));
            QCOMPARE(batch.targetUnchanged(file), when.isEmpty());
            batch.replace(file);
        } catch (const FileChanged &) {
            changed = true;
        }
        QCOMPARE(changed, !when.isEmpty());
        QCOMPARE(test::readFile(path), when.isEmpty() ? QByteArray("new") : QByteArray("theirs"));
        QCOMPARE(test::namesIn(dir.path()), QStringList{u"p.html"_s});
    }

    void newFileFollowsTheUmask()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"file.txt"_s);
        const mode_t old = umask(027);
        writeFileSafely(path, "new");
        umask(old);
        struct stat st = {};
        QCOMPARE(stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), 0640);
    }

    // A named pipe is written into, not replaced: its reader gets the bytes.
    void namedPipeDeliversToItsReader()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"pipe"_s);
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        // Opened without waiting for a writer; a writer that never comes ends
        // the wait after a few seconds instead of hanging the test.
        const int reader = open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(reader >= 0);
        QByteArray received;
        bool writerSeen = false;
        std::thread drain([&] {
            char chunk[4096];
            for (;;) {
                pollfd p{reader, POLLIN, 0};
                if (poll(&p, 1, 5000) <= 0)
                    return;
                const ssize_t n = read(reader, chunk, sizeof chunk);
                if (n > 0) {
                    writerSeen = true;
                    received.append(chunk, n);
                } else if (n == 0 && writerSeen) {
                    return;
                } else if (n == 0) {
                    usleep(1000); // no writer yet
                }
            }
        });
        const QByteArray bytes = pattern(200000); // more than the pipe holds at once
        const QString message = errorOf([&] { writeFileSafely(path, bytes); });
        drain.join();
        close(reader);
        QCOMPARE(message, u"<no error>"_s);
        QCOMPARE(received.size(), bytes.size());
        QVERIFY(received == bytes);
        QCOMPARE(test::fileTypeOf(path), mode_t(S_IFIFO));
        QCOMPARE(test::namesIn(dir.path()), QStringList{u"pipe"_s});
    }

    void devicesAreWrittenDirectly_data()
    {
        QTest::addColumn<unsigned>("minor");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::addRow("null device takes everything") << 3u << u"null"_s << u"<no error>"_s;
        QTest::addRow("full device reports a full disk") << 7u << u"full"_s << u"Disk full"_s;
    }
    void devicesAreWrittenDirectly()
    {
        QFETCH(unsigned, minor);
        QFETCH(QString, name);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString device = test::memoryDevice(dir, minor, name);
        if (device.isEmpty())
            QSKIP("no device node can be used in the temporary folder");
        QCOMPARE(errorOf([&] { writeFileSafely(device, pattern(3000)); }), message);
        QCOMPARE(test::fileTypeOf(device), mode_t(S_IFCHR));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("relativePath");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("asRootToo");
        QTest::addRow("folder does not exist") << u"missing/file.txt"_s << u"Path not found"_s << true;
        QTest::addRow("name of a folder") << u"folder"_s << u"Invalid filename"_s << true;
        QTest::addRow("name of a folder with a slash") << u"folder/"_s << u"Invalid filename"_s << true;
        QTest::addRow("a file used as a folder") << u"file/x.txt"_s << u"Path not found"_s << true;
        QTest::addRow("read-only file") << u"readonly"_s << u"File access denied"_s << false;
        QTest::addRow("read-only folder") << u"locked/file.txt"_s << u"File access denied"_s << false;
    }
    void failures()
    {
        QFETCH(QString, relativePath);
        QFETCH(QString, message);
        QFETCH(bool, asRootToo);
        if (!asRootToo)
            BRINDLE_RUN_AS_ORDINARY_USER();
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
        QVERIFY(QDir(dir.path()).mkdir(u"locked"_s));
        QVERIFY(test::writeFile(dir.filePath(u"file"_s), "f"));
        QVERIFY(test::writeFile(dir.filePath(u"readonly"_s), "r"));
        QVERIFY(QFile::setPermissions(dir.filePath(u"readonly"_s), QFile::ReadOwner));
        QVERIFY(QFile::setPermissions(dir.filePath(u"locked"_s), QFile::ReadOwner | QFile::ExeOwner));
        const QStringList before = test::namesIn(dir.path());
        QCOMPARE(errorOf([&] { writeFileSafely(dir.filePath(relativePath), "new"); }), message);
        QFile::setPermissions(dir.filePath(u"locked"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(test::namesIn(dir.path()), before);
        QCOMPARE(test::readFile(dir.filePath(u"readonly"_s)), QByteArray("r"));
        QCOMPARE(test::namesIn(dir.filePath(u"locked"_s)), QStringList());
    }

    void emptyPathIsRefused()
    {
        QVERIFY(errorOf([] { writeFileSafely(QString(), "x"); }) != u"<no error>"_s);
    }

    // A page is written as its unchanged parts and the changed lines.
    void piecesMakeTheWholeContent_data()
    {
        QTest::addColumn<int>("limit"); // bytes the file may grow to, 0 for no limit
        QTest::addColumn<QString>("error");
        QTest::addRow("all written") << 0 << u"<no error>"_s;
        QTest::addRow("full within a piece") << 50000 << u"Disk full"_s;
        QTest::addRow("full between pieces") << 70001 << u"Disk full"_s;
    }
    void piecesMakeTheWholeContent()
    {
        QFETCH(int, limit);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"file.txt"_s);
        QVERIFY(test::writeFile(path, "old"));
        const QByteArray large = pattern(70000);
        const std::vector<QByteArrayView> pieces = {"", "a", large, "", "tail"};
        QString message;
        {
            const test::FileSizeLimit fileLimit(limit > 0 ? rlim_t(limit) : RLIM_INFINITY);
            message = errorOf([&] {
                FileBatch batch;
                batch.replace(batch.add(path, pieces));
            });
        }
        QCOMPARE(message, error);
        QCOMPARE(test::readFile(path), limit > 0 ? QByteArray("old") : "a" + large + "tail");
        QCOMPARE(test::namesIn(dir.path()), QStringList{u"file.txt"_s});
    }

    // Nothing changes before replace(); then each file has its new bytes,
    // whichever thread added it, and no temporary file stays.
    void batchReplacesItsFiles()
    {
        QTemporaryDir dir;
        const QString existing = dir.filePath(u"existing.txt"_s);
        const QString created = dir.filePath(u"created.txt"_s);
        const QString real = dir.filePath(u"real.txt"_s);
        const QString link = dir.filePath(u"link.txt"_s);
        QVERIFY(test::writeFile(existing, "old"));
        QVERIFY(test::writeFile(real, "old real"));
        QVERIFY(QFile::link(u"real.txt"_s, link));
        QStringList expected = {u"created.txt"_s, u"existing.txt"_s, u"link.txt"_s, u"real.txt"_s};
        for (int i = 0; i < 40; ++i)
            expected << u"t%1.txt"_s.arg(i);

        FileBatch batch;
        std::vector<int> numbers = {batch.add(existing, "new"), batch.add(created, "created"),
                                    batch.add(link, pattern(100000))};
        std::vector<int> threaded(40, -1);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&, t] {
                for (int i = t; i < 40; i += 4)
                    threaded[std::size_t(i)] = batch.add(dir.filePath(u"t%1.txt"_s.arg(i)), pattern(i));
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        numbers.insert(numbers.end(), threaded.begin(), threaded.end());
        std::sort(numbers.begin(), numbers.end());
        QVERIFY(std::adjacent_find(numbers.begin(), numbers.end()) == numbers.end());
        QCOMPARE(test::readFile(existing), QByteArray("old"));
        QVERIFY(!QFileInfo::exists(created));
        QCOMPARE(test::readFile(real), QByteArray("old real"));

        batch.sync();
        for (int file : numbers)
            batch.replace(file);
        QCOMPARE(test::readFile(existing), QByteArray("new"));
        QCOMPARE(test::readFile(created), QByteArray("created"));
        QCOMPARE(test::readFile(real), pattern(100000));
        QVERIFY(QFileInfo(link).isSymLink());
        for (int i = 0; i < 40; ++i)
            QCOMPARE(test::readFile(dir.filePath(u"t%1.txt"_s.arg(i))), pattern(i));
        QStringList found = test::namesIn(dir.path());
        found.sort();
        expected.sort();
        QCOMPARE(found, expected);
    }

    // The middle one of five files fails, or is left out: it is reported,
    // keeps what it had, and the others are replaced whole.
    void failureInTheMiddleOfABatch_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("error");
        QTest::addRow("its write fails") << u"write"_s << u"Disk full"_s;
        QTest::addRow("its rename fails") << u"rename"_s << u"Invalid filename"_s;
        QTest::addRow("it is discarded") << u"discard"_s << u"<no error>"_s;
        QTest::addRow("the batch goes before any replace") << u"gone"_s << u"<no error>"_s;
    }
    void failureInTheMiddleOfABatch()
    {
        QFETCH(QString, step);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QStringList paths;
        for (int i = 0; i < 5; ++i) {
            paths << dir.filePath(u"file%1.txt"_s.arg(i));
            QVERIFY(test::writeFile(paths.last(), "old " + QByteArray::number(i)));
        }
        QStringList errors(5, u"<no error>"_s);
        {
            FileBatch batch;
            std::vector<int> numbers(5, -1);
            for (int i = 0; i < 5; ++i) {
                if (i == 2 && step == u"write"_s) {
                    const test::FileSizeLimit limit(50000);
                    QVERIFY(limit.active());
                    errors[i] = errorOf([&] { numbers[2] = batch.add(paths[2], pattern(100000)); });
                } else {
                    numbers[std::size_t(i)] = batch.add(paths[i], pattern(1000 + i));
                }
            }
            if (step != u"gone"_s) {
                if (step == u"rename"_s) {
                    // A folder with something in it cannot be replaced by a file.
                    QVERIFY(QFile::remove(paths[2]));
                    QVERIFY(QDir().mkpath(paths[2] + u"/inside"_s));
                }
                batch.sync();
                for (int i = 0; i < 5; ++i) {
                    if (i == 2 && step == u"discard"_s)
                        batch.discard(numbers[2]);
                    else if (numbers[std::size_t(i)] >= 0)
                        errors[i] = errorOf([&] { batch.replace(numbers[std::size_t(i)]); });
                }
            }
        }
        for (int i = 0; i < 5; ++i) {
            const QByteArray old = "old " + QByteArray::number(i);
            if (i == 2)
                QCOMPARE(errors[i], error);
            else
                QCOMPARE(errors[i], u"<no error>"_s);
            if (step == u"gone"_s)
                QCOMPARE(test::readFile(paths[i]), old);
            else if (i == 2 && step == u"rename"_s)
                QCOMPARE(test::namesIn(paths[i]), QStringList{u"inside"_s});
            else
                QCOMPARE(test::readFile(paths[i]), i == 2 ? old : pattern(1000 + i));
        }
        QCOMPARE(test::namesIn(dir.path()).size(), 5); // no temporary file left
    }
};

QTEST_GUILESS_MAIN(TestFileWriter)
#include "tst_filewriter.moc"
