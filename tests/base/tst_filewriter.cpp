#include "common/devices.h"
#include "common/errorof.h"
#include "common/filesizelimit.h"
#include "common/testfiles.h"

#include "base/error.h"
#include "base/filewriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace brindle;
using brindle::test::errorOf;

namespace {

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
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
        QCOMPARE(entries(dir.path()), QStringList{u"file.txt"_s}); // no temporary file left
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
        QCOMPARE(entries(dir.path()), QStringList{u"file.txt"_s});
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
        QCOMPARE(entries(dir.filePath(u"real"_s)), QStringList{u"target.html"_s});
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
        QCOMPARE(entries(dir.path()), QStringList{u"pipe"_s});
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
        if (!asRootToo && geteuid() == 0)
            QSKIP("permissions do not stop root");
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
        QVERIFY(QDir(dir.path()).mkdir(u"locked"_s));
        QVERIFY(test::writeFile(dir.filePath(u"file"_s), "f"));
        QVERIFY(test::writeFile(dir.filePath(u"readonly"_s), "r"));
        QVERIFY(QFile::setPermissions(dir.filePath(u"readonly"_s), QFile::ReadOwner));
        QVERIFY(QFile::setPermissions(dir.filePath(u"locked"_s), QFile::ReadOwner | QFile::ExeOwner));
        const QStringList before = entries(dir.path());
        QCOMPARE(errorOf([&] { writeFileSafely(dir.filePath(relativePath), "new"); }), message);
        QFile::setPermissions(dir.filePath(u"locked"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(entries(dir.path()), before);
        QCOMPARE(test::readFile(dir.filePath(u"readonly"_s)), QByteArray("r"));
        QCOMPARE(entries(dir.filePath(u"locked"_s)), QStringList());
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
        QCOMPARE(entries(dir.path()), QStringList{u"file.txt"_s});
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
        QStringList found = entries(dir.path());
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
                QCOMPARE(entries(paths[i]), QStringList{u"inside"_s});
            else
                QCOMPARE(test::readFile(paths[i]), i == 2 ? old : pattern(1000 + i));
        }
        QCOMPARE(entries(dir.path()).size(), 5); // no temporary file left
    }
};

QTEST_GUILESS_MAIN(TestFileWriter)
#include "tst_filewriter.moc"
