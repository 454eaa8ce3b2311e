#include "app/singleinstance.h"
#include "base/error.h"
#include "common/fakedialogs.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <QtEndian>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using brindle::app::TOvRunOnce;

namespace {

// Runs a later copy's load() on a thread of its own, since the running copy
// answers from this thread's event loop.
struct LaterCopy
{
    TOvRunOnce guard;
    bool result = true;
    QString error;
    qint64 elapsed = -1;
    std::unique_ptr<QThread> thread;

    LaterCopy(const QString &instance, const QStringList &arguments)
    {
        guard.setInstanceName(instance);
        thread.reset(QThread::create([this, arguments] {
            QElapsedTimer clock;
            clock.start();
            try {
                result = guard.load(arguments);
            } catch (const brindle::Error &e) {
                error = e.message();
            }
            elapsed = clock.elapsed();
        }));
        thread->start();
    }
    bool finish()
    {
        return QTest::qWaitFor([this] { return thread->isFinished(); }, 10000);
    }
};

QByteArray blockOf(std::initializer_list<const char *> strings)
{
    QByteArray b;
    for (const char *s : strings)
        b.append(s, qsizetype(qstrlen(s))).append('\0');
    return b.append('\0');
}

// The user ("nobody") whom the tests run a stranger's listener or client as;
// the program itself runs as root in them.
constexpr int kOtherUid = 65534;

} // namespace

// Where a socket or lock is laid for the program to meet.
enum class Squat
{
    OldFallbackName,
    FolderOfAnotherUser,
    FolderOthersCanWrite,
    RuntimeFolder
};
Q_DECLARE_METATYPE(Squat)
enum class LeftLock
{
    UnreadableFile,
    HeldByAnotherProgram,
    Folder
};
Q_DECLARE_METATYPE(LeftLock)

class TestRunOnce : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QString m_instance;
    QByteArray m_tmpdirAtStart;
    bool m_tmpdirWasSet = false;
    QString m_runtime; // the runtime folder the copies are given
    QString m_tmp;     // their temporary folder, when not the usual one

    QString runtimeDir() const { return m_dir->path() + u"/runtime"_s; }
    static QString uid() { return QString::number(::getuid()); }
    QString logFile() const { return m_dir->path() + u"/handover.log"_s; }

    QStringList logLines() const
    {
        QFile file(logFile());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    QStringList runningLines() const { return logLines().filter(QRegularExpression(u"^running\t"_s)); }

    QProcess *start(const QString &program, const QStringList &args = {},
                    QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel)
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"XDG_RUNTIME_DIR"_s, m_runtime);
        env.insert(u"XDG_CONFIG_HOME"_s, m_dir->path() + u"/config"_s);
        env.insert(u"BRINDLE_TEST_LOG_HANDOVER"_s, logFile());
        if (!m_tmp.isEmpty())
            env.insert(u"TMPDIR"_s, m_tmp);
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(channels);
        process->start(program, args);
        m_processes.push_back(std::move(process));
        return m_processes.back().get();
    }
    // The runtime and temporary folders of this process and of the copies it
    // starts, so that both compute the same lock and socket.
    void useFolders(const QString &runtime, const QString &tmp)
    {
        m_runtime = runtime;
        m_tmp = tmp;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        if (!tmp.isEmpty())
            qputenv("TMPDIR", QFile::encodeName(tmp));
    }
    static bool makePrivateFolder(const QString &path)
    {
        return QDir().mkpath(path) &&
               QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // Runs the peer program as another user. Reading and searching root's
    // private test folders is all it is allowed beyond that user's rights.
    static QStringList asOtherUser()
    {
        const QString id = QString::number(kOtherUid);
        return {u"--reuid="_s + id, u"--regid="_s + id, u"--clear-groups"_s, u"--inh-caps=+dac_override"_s,
                u"--ambient-caps=+dac_override"_s};
    }
    static QString otherUserUnavailable()
    {
        if (::geteuid() != 0)
            return u"only root can run a peer as another user"_s;
        const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
        if (setpriv.isEmpty())
            return u"setpriv is missing"_s;
        if (QProcess::execute(setpriv, asOtherUser() << u"true"_s) != 0)
            return u"setpriv cannot change to another user here"_s;
        return {};
    }
    QProcess *startOtherUser(const QStringList &peerArgs)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStandardPaths::findExecutable(u"setpriv"_s),
                       asOtherUser() << QStringLiteral(SINGLEINSTANCE_PEER) << peerArgs);
        m_processes.push_back(std::move(process));
        return m_processes.back().get();
    }
    // Waits until p has taken its place as the running copy, collecting what
    // it writes to standard error; false when it ended or took too long.
    bool waitRunning(QProcess *p, QByteArray &errors)
    {
        const bool ok = QTest::qWaitFor(
            [&] {
                errors += p->readAllStandardError();
                return isLoggedRunning(p) || p->state() == QProcess::NotRunning;
            },
            15000);
        return ok && isLoggedRunning(p);
    }
    bool isLoggedRunning(const QProcess *p) const
    {
        return runningLines().contains(u"running\t"_s + QString::number(p->processId()));
    }
    // Starts the program and waits until it has become the running copy.
    QProcess *startRunning(const QString &program = QStringLiteral(BRINDLE_EXE))
    {
        QProcess *p = start(program);
        if (!QTest::qWaitFor([&] { return isLoggedRunning(p); }, 15000))
            return nullptr;
        return p;
    }

private slots:
    void initTestCase()
    {
        m_tmpdirWasSet = qEnvironmentVariableIsSet("TMPDIR");
        m_tmpdirAtStart = qgetenv("TMPDIR");
    }
    void init()
    {
        if (m_tmpdirWasSet)
            qputenv("TMPDIR", m_tmpdirAtStart);
        else
            qunsetenv("TMPDIR");
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(makePrivateFolder(runtimeDir()));
        useFolders(runtimeDir(), QString());
        m_instance = u"TST-%1"_s.arg(QDateTime::currentMSecsSinceEpoch());
    }
    void cleanup()
    {
        for (auto &p : m_processes) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(5000))
                    p->kill();
                p->waitForFinished(5000);
            }
        }
        m_processes.clear();
    }

    // --- the block and the guard in this process ---

    void block_data()
    {
        QTest::addColumn<QStringList>("strings");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("parsed");
        QTest::addRow("path only") << QStringList{u"/opt/brindle"_s} << blockOf({"/opt/brindle"})
                                   << QStringList{u"/opt/brindle"_s};
        QTest::addRow("arguments with blanks")
            << QStringList{u"/opt/brindle"_s, u"a b"_s, u"c"_s} << blockOf({"/opt/brindle", "a b", "c"})
            << QStringList{u"/opt/brindle"_s, u"a b"_s, u"c"_s};
        QTest::addRow("an empty argument ends the list")
            << QStringList{u"/opt/brindle"_s, QString(), u"lost"_s} << blockOf({"/opt/brindle", "", "lost"})
            << QStringList{u"/opt/brindle"_s};
    }
    void block()
    {
        QFETCH(QStringList, strings);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, parsed);
        QCOMPARE(TOvRunOnce::argumentBlock(strings), bytes);
        QCOMPARE(TOvRunOnce::parseBlock(bytes), parsed);
    }

    void blockLimit()
    {
        // 65535 bytes of text + its NUL + the final NUL = 65537: one too many.
        const QString longest(65536 - 2, u'x');
        QCOMPARE(TOvRunOnce::argumentBlock({longest}).size(), 65536);
        const QString tooLong(65536 - 1, u'x');
        try {
            TOvRunOnce::argumentBlock({tooLong});
            QFAIL("no error");
        } catch (const brindle::Error &e) {
            QVERIFY(e.message().contains(u"65537"_s));
        }
    }

    void handOverReachesTheSignalAndRaises()
    {
        TOvRunOnce running;
        running.setInstanceName(m_instance);
        QVERIFY(running.load({u"/first"_s}));
        QVERIFY(running.isRunningCopy());
        QVERIFY(QFile::exists(running.lockFilePath()));
        QWidget mainWindow, other;
        mainWindow.show();
        other.show();
        other.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &other);
        running.setMainWindow(&mainWindow);
        QSignalSpy spy(&running, &TOvRunOnce::OnOtherInstance);

        const QStringList arguments{u"/second/brindle"_s, u"--flag"_s, u"two words"_s, u"Größe"_s};
        LaterCopy later(m_instance, arguments);
        QVERIFY(later.finish());
        QVERIFY(later.error.isEmpty());
        QVERIFY(!later.result);
        QVERIFY2(later.elapsed >= TOvRunOnce::kStartDelayMs, qPrintable(QString::number(later.elapsed)));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy[0][0].value<QObject *>(), &running);
        QCOMPARE(spy[0][1].toUInt(), 3u);
        QCOMPARE(spy[0][2].toStringList(), arguments);
        QTRY_COMPARE(QApplication::activeWindow(), &mainWindow);
    }

    void laterCopyWithNobodyAnsweringGoesOn_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addRow("short command line") << QStringList{u"/second"_s};
        // Its block is never built: there is nobody to hand it to.
        QTest::addRow("command line over 64 KiB") << QStringList{u"/second"_s, QString(70000, u'x')};
    }
    void laterCopyWithNobodyAnsweringGoesOn()
    {
        // A live lock (this process holds it, and is no copy) but no socket:
        // after the ping time-out the start goes on, without the guard.
        QFETCH(QStringList, arguments);
        TOvRunOnce guard;
        guard.setInstanceName(m_instance);
        QLockFile held(guard.lockFilePath());
        QVERIFY(held.tryLock(0));
        QElapsedTimer clock;
        clock.start();
        try {
            QVERIFY(guard.load(arguments));
        } catch (const brindle::Error &e) {
            QFAIL(qPrintable(e.message()));
        }
        const qint64 elapsed = clock.elapsed();
        QVERIFY(!guard.isRunningCopy());
        QVERIFY2(elapsed >= TOvRunOnce::kStartDelayMs + TOvRunOnce::kPingTimeoutMs - 50,
                 qPrintable(QString::number(elapsed)));
        QVERIFY2(elapsed < 3000, qPrintable(QString::number(elapsed)));
    }

    void hungCopyKeepsTheBoundedWait()
    {
        // The running copy's socket takes the connection but nobody reads it
        // (this thread is busy in load()): the start waits the ping time-out
        // and ends, as a second window of a live copy is not wanted.
        TOvRunOnce guard;
        guard.setInstanceName(m_instance);
        QLockFile held(guard.lockFilePath());
        QVERIFY(held.tryLock(0));
        QLocalServer hung;
        QVERIFY(hung.listen(guard.serverName()));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!guard.load({u"/second"_s}));
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= TOvRunOnce::kStartDelayMs + TOvRunOnce::kPingTimeoutMs - 50,
                 qPrintable(QString::number(elapsed)));
        QVERIFY2(elapsed < 3000, qPrintable(QString::number(elapsed)));
    }

    void tooLongBlockFailsBeforeSending()
    {
        TOvRunOnce running;
        running.setInstanceName(m_instance);
        QVERIFY(running.load({u"/first"_s}));
        QSignalSpy spy(&running, &TOvRunOnce::OnOtherInstance);
        LaterCopy later(m_instance, {u"/second"_s, QString(70000, u'x')});
        QVERIFY(later.finish());
        QVERIFY(later.error.startsWith(u"The command line is too long to hand over"_s));
        // Checked once the running copy was found, not before looking.
        QVERIFY(later.elapsed >= TOvRunOnce::kStartDelayMs);
        QTest::qWait(50);
        QCOMPARE(spy.size(), 0);
    }

    void failedReceiveGoesToTheErrorReport()
    {
        brindle::test::FakeDialogs fake;
        TOvRunOnce running;
        running.setInstanceName(m_instance);
        QVERIFY(running.load({u"/first"_s}));
        QSignalSpy spy(&running, &TOvRunOnce::OnOtherInstance);
        QLocalSocket socket;
        socket.connectToServer(running.serverName());
        QVERIFY(socket.waitForConnected(1000));
        socket.write("P");
        QTRY_COMPARE(socket.bytesAvailable(), qint64(4));
        QCOMPARE(qFromBigEndian<quint32>(socket.readAll().constData()), TOvRunOnce::kMarker);

        char header[5] = {'H'};
        qToBigEndian(quint32(70000), header + 1);
        socket.write(header, sizeof header);
        QTRY_COMPARE(fake.kinds(), QStringList{u"error"_s});
        QVERIFY(fake.last().text.startsWith(u"The handed-over command line is too long"_s));
        QCOMPARE(fake.last().text.back(), u'.');
        QTRY_VERIFY(socket.bytesAvailable() > 0);
        QCOMPARE(socket.readAll(), QByteArray("H")); // handled all the same
        // The refused block is passed over; the next request is answered.
        socket.write(QByteArray(70000, 'x') + 'P');
        QTRY_COMPARE(socket.bytesAvailable(), qint64(4));
        QCOMPARE(qFromBigEndian<quint32>(socket.readAll().constData()), TOvRunOnce::kMarker);
        QCOMPARE(spy.size(), 0);
        QCOMPARE(fake.shown().size(), std::size_t(1));
    }

    void oldLockOfALiveCopyStillHolds()
    {
        TOvRunOnce first;
        first.setInstanceName(m_instance);
        QVERIFY(first.load({u"/first"_s}));
        QFile lock(first.lockFilePath());
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(
            lock.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
        lock.close();
        QSignalSpy spy(&first, &TOvRunOnce::OnOtherInstance);
        LaterCopy second(m_instance, {u"/second"_s});
        QVERIFY(second.finish());
        QVERIFY(!second.result);
        QCOMPARE(spy.size(), 1);
    }

    void emptyLockLeftByACrashIsTakenOver()
    {
        TOvRunOnce guard;
        guard.setInstanceName(m_instance);
        QFile lock(guard.lockFilePath());
        QVERIFY(lock.open(QIODevice::WriteOnly));
        QVERIFY(
            lock.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
        lock.close();
        QVERIFY(guard.load({u"/first"_s}));
        QVERIFY(guard.isRunningCopy());
    }

    // --- real processes of the program ---

    void secondStartHandsOverAndEnds_data()
    {
        QTest::addColumn<bool>("longRuntime");
        QTest::addRow("lock and socket in the runtime folder") << false;
        QTest::addRow("runtime path too long for a socket") << true;
    }
    void secondStartHandsOverAndEnds()
    {
        QFETCH(bool, longRuntime);
        const QString privateFolder = m_dir->path() + u"/shared/brindle-"_s + QString::number(::geteuid());
        if (longRuntime) {
            const QString shared = m_dir->path() + u"/shared"_s;
            QVERIFY(QDir().mkdir(shared));
            QVERIFY(::chmod(QFile::encodeName(shared).constData(), 01777) == 0);
            const QString runtime = runtimeDir() + u'/' + QString(100, u'r');
            QVERIFY(makePrivateFolder(runtime));
            useFolders(runtime, shared);
        }
        QProcess *first = startRunning();
        QVERIFY(first);
        if (longRuntime) {
            // Both in a folder of the program's own making that only this
            // user can enter.
            QCOMPARE(QFileInfo(privateFolder).permissions(), QFile::ReadOwner | QFile::WriteOwner |
                                                                 QFile::ExeOwner | QFile::ReadUser |
                                                                 QFile::WriteUser | QFile::ExeUser);
            QVERIFY(QFile::exists(privateFolder + u"/BRINDLE.lock"_s));
            QVERIFY(QFile::exists(privateFolder + u"/BRINDLE-"_s + uid() + u".socket"_s));
        } else {
            QVERIFY(!QFile::exists(privateFolder));
        }
        QElapsedTimer clock;
        clock.start();
        QProcess *second = start(QStringLiteral(BRINDLE_EXE), {u"--flag"_s, u"two words"_s, u"ä"_s});
        QVERIFY(second->waitForFinished(5000));
        const qint64 took = clock.elapsed();
        QVERIFY2(took < 2000, qPrintable(QString::number(took)));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QTRY_COMPARE(logLines().size(), 2);
        // The second copy never got past the guard: it logged no start.
        QCOMPARE(runningLines().size(), 1);
        QCOMPARE(logLines().at(1), u"handover\t%1\t--flag\ttwo words\tä"_s.arg(QStringLiteral(BRINDLE_EXE)));
        QTest::qWait(200);
        QCOMPARE(first->state(), QProcess::Running);
    }

    // The installed program carries no test seams: whatever the environment
    // says, it keeps no hand-over log, and the start-up benchmark's probe
    // does not end it at its first frame.
    void installedProgramHasNoTestHooks()
    {
        const QString socket = runtimeDir() + u"/BRINDLE-"_s + uid() + u".socket"_s;
        qputenv("BRINDLE_BENCH_T0", "1");
        QProcess *first = start(QStringLiteral(BRINDLE_INSTALLED_EXE));
        qunsetenv("BRINDLE_BENCH_T0");
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(socket); }, 15000));
        QProcess *later = start(QStringLiteral(BRINDLE_INSTALLED_EXE), {u"x"_s});
        QVERIFY(later->waitForFinished(5000));
        QCOMPARE(later->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);
        QVERIFY(!QFile::exists(logFile()));
    }

    void copyUnderAnotherNameRunsApart()
    {
        const QString copy = m_dir->path() + u"/brindle-copy"_s;
        QVERIFY(QFile::copy(QStringLiteral(BRINDLE_EXE), copy));
        QVERIFY(QFile::setPermissions(copy, QFile::permissions(QStringLiteral(BRINDLE_EXE))));
        QProcess *first = startRunning();
        QVERIFY(first);
        QProcess *other = startRunning(copy);
        QVERIFY(other);
        QVERIFY(QFile::exists(runtimeDir() + u"/BRINDLE.lock"_s));
        QVERIFY(QFile::exists(runtimeDir() + u"/BRINDLE-COPY.lock"_s));
        QTest::qWait(300);
        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(other->state(), QProcess::Running);
    }

    void simultaneousStartsLeaveOne()
    {
        std::vector<QProcess *> started;
        for (int i = 0; i < 3; ++i)
            started.push_back(start(QStringLiteral(BRINDLE_EXE)));
        const auto stillRunning = [&] {
            return std::count_if(started.begin(), started.end(),
                                 [](QProcess *p) { return p->state() != QProcess::NotRunning; });
        };
        QTRY_VERIFY_WITH_TIMEOUT(stillRunning() == 1, 10000);
        QTest::qWait(300);
        QCOMPARE(stillRunning(), 1);
        for (QProcess *p : started) {
            if (p->state() == QProcess::NotRunning) {
                QCOMPARE(p->exitStatus(), QProcess::NormalExit);
                QCOMPARE(p->exitCode(), 0);
            }
        }
        QCOMPARE(runningLines().size(), 1);
    }

    void killedCopyDoesNotBlockTheNext()
    {
        QProcess *first = startRunning();
        QVERIFY(first);
        first->kill(); // SIGKILL: no chance to remove the lock or the socket
        QVERIFY(first->waitForFinished(5000));
        QVERIFY(QFile::exists(runtimeDir() + u"/BRINDLE.lock"_s));

        QProcess *next = startRunning();
        QVERIFY2(next, "a new start after the crash did not run");
        QTest::qWait(200);
        QCOMPARE(next->state(), QProcess::Running);
        // And it answers later copies over the socket the dead one left.
        QProcess *later = start(QStringLiteral(BRINDLE_EXE), {u"x"_s});
        QVERIFY(later->waitForFinished(5000));
        QCOMPARE(later->exitCode(), 0);
        QTRY_COMPARE(logLines().filter(QRegularExpression(u"^handover\t"_s)).size(), 1);
    }

    void lockWithoutAnAnsweringCopy_data()
    {
        QTest::addColumn<LeftLock>("left");
        QTest::addColumn<bool>("takesOver");
        QTest::addRow("lock file nobody holds, just written") << LeftLock::UnreadableFile << true;
        QTest::addRow("lock held by a live process that is no copy")
            << LeftLock::HeldByAnotherProgram << false;
        QTest::addRow("a folder where the lock goes") << LeftLock::Folder << false;
    }
    void lockWithoutAnAnsweringCopy()
    {
        QFETCH(LeftLock, left);
        QFETCH(bool, takesOver);
        const QString lockPath = runtimeDir() + u"/BRINDLE.lock"_s;
        QLockFile held(lockPath);
        switch (left) {
        case LeftLock::UnreadableFile: {
            QFile file(lockPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("\x01\x02");
            break;
        }
        case LeftLock::HeldByAnotherProgram:
            QVERIFY(held.tryLock(0));
            break;
        case LeftLock::Folder:
            QVERIFY(QDir().mkdir(lockPath));
            break;
        }

        QProcess *p = start(QStringLiteral(BRINDLE_EXE), {}, QProcess::SeparateChannels);
        QByteArray errors;
        QVERIFY2(waitRunning(p, errors), "the start did not go on");
        QTest::qWait(300);
        QCOMPARE(p->state(), QProcess::Running);
        if (takesOver) {
            // It is the guard now: the next start hands over to it.
            QProcess *later = start(QStringLiteral(BRINDLE_EXE), {u"x"_s});
            QVERIFY(later->waitForFinished(5000));
            QCOMPARE(later->exitCode(), 0);
            QTRY_COMPARE(logLines().filter(QRegularExpression(u"^handover\t"_s)).size(), 1);
        } else {
            QTRY_VERIFY((errors += p->readAllStandardError())
                            .contains("no running copy answers; running without the single-instance guard"));
        }
    }

    void foreignSocketIsNeverUsed_data()
    {
        QTest::addColumn<Squat>("squat");
        QTest::addColumn<bool>("longRuntime");
        QTest::addColumn<QByteArray>("said");
        QTest::addRow("long runtime path, listener at the old name in the shared folder")
            << Squat::OldFallbackName << true << QByteArray("running without the single-instance guard");
        QTest::addRow("long runtime path, private folder made by another user first")
            << Squat::FolderOfAnotherUser << true << QByteArray("belongs to user 65534");
        QTest::addRow("long runtime path, private folder others can write")
            << Squat::FolderOthersCanWrite << true << QByteArray("other users can write");
        QTest::addRow("listener of another user in the runtime folder")
            << Squat::RuntimeFolder << false << QByteArray("is served by user 65534");
    }
    void foreignSocketIsNeverUsed()
    {
        // A running copy holds the lock (this process stands in for it) and
        // another user listens where a later start might look. The start
        // must send that user nothing and open its window.
        if (const QString why = otherUserUnavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        QFETCH(Squat, squat);
        QFETCH(bool, longRuntime);
        QFETCH(QByteArray, said);
        const QString shared = m_dir->path() + u"/shared"_s;
        QVERIFY(QDir().mkdir(shared));
        QVERIFY(::chmod(QFile::encodeName(shared).constData(), 01777) == 0);
        const QString runtime = longRuntime ? runtimeDir() + u'/' + QString(100, u'r') : runtimeDir();
        QVERIFY(makePrivateFolder(runtime));
        useFolders(runtime, shared);

        const QString socketName = u"BRINDLE-"_s + uid() + u".socket"_s;
        const QString privateFolder = shared + u"/brindle-"_s + uid();
        QString socketPath;
        switch (squat) {
        case Squat::OldFallbackName:
            socketPath = shared + u'/' + socketName;
            break;
        case Squat::FolderOfAnotherUser: // the peer makes the folder
            socketPath = privateFolder + u'/' + socketName;
            break;
        case Squat::FolderOthersCanWrite:
            QVERIFY(QDir().mkdir(privateFolder));
            QVERIFY(::chmod(QFile::encodeName(privateFolder).constData(), 0777) == 0);
            socketPath = privateFolder + u'/' + socketName;
            break;
        case Squat::RuntimeFolder:
            socketPath = runtime + u'/' + socketName;
            break;
        }
        const QString peerLog = m_dir->path() + u"/peer.log"_s;
        QProcess *peer = startOtherUser({u"listen"_s, socketPath, peerLog});
        QTRY_VERIFY_WITH_TIMEOUT(peer->canReadLine() || peer->state() == QProcess::NotRunning, 10000);
        QCOMPARE(peer->readLine(), QByteArray("ready\n"));

        TOvRunOnce probe;
        probe.setInstanceName(u"BRINDLE"_s);
        const QString lockPath = probe.lockFilePath();
        if (!QFileInfo::exists(QFileInfo(lockPath).path()))
            QVERIFY(makePrivateFolder(QFileInfo(lockPath).path()));
        QLockFile held(lockPath);
        QVERIFY(held.tryLock(0));

        QProcess *p = start(QStringLiteral(BRINDLE_EXE), {u"--token=secret"_s}, QProcess::SeparateChannels);
        QByteArray errors;
        const bool running = waitRunning(p, errors);
        QVERIFY2(!QFileInfo::exists(peerLog), "the other user was sent something");
        QVERIFY2(running, "the start did not open its window");
        QTest::qWait(300);
        QCOMPARE(p->state(), QProcess::Running);
        QTRY_VERIFY2((errors += p->readAllStandardError()).contains(said), errors.constData());
        QCOMPARE(peer->state(), QProcess::Running);
    }

    void foreignClientIsRefused()
    {
        // Another user who gets to the running copy's socket is answered
        // nothing; the running copy goes on serving its own user.
        if (const QString why = otherUserUnavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        QProcess *first = start(QStringLiteral(BRINDLE_EXE), {}, QProcess::SeparateChannels);
        QByteArray errors;
        QVERIFY(waitRunning(first, errors));
        QProcess *peer = startOtherUser({u"ping"_s, runtimeDir() + u"/BRINDLE-"_s + uid() + u".socket"_s});
        QVERIFY(peer->waitForFinished(10000));
        QCOMPARE(peer->exitCode(), 2); // connected, closed without an answer
        QTRY_VERIFY2(
            (errors += first->readAllStandardError()).contains("refused a connection from user 65534"),
            errors.constData());
        QProcess *later = start(QStringLiteral(BRINDLE_EXE), {u"x"_s});
        QVERIFY(later->waitForFinished(5000));
        QCOMPARE(later->exitCode(), 0);
        QTRY_COMPARE(logLines().filter(QRegularExpression(u"^handover\t"_s)).size(), 1);
    }
};

QTEST_MAIN(TestRunOnce)
#include "tst_singleinstance.moc"
