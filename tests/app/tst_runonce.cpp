#include "app/runonce.h"
#include "common/fakedialogs.h"
#include "core/error.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <QtEndian>

#include <memory>

using namespace Qt::StringLiterals;
using brindle::app::TOvRunOnce;

namespace {

// Runs a later copy's Load on a thread of its own, since the running copy
// answers from this thread's event loop.
struct LaterCopy
{
    TOvRunOnce guard;
    bool result = true;
    QString error;
    qint64 elapsed = -1;
    std::unique_ptr<QThread> thread;

    LaterCopy(const QString &instance, const QStringList &paramStr)
    {
        guard.setInstanceName(instance);
        thread.reset(QThread::create([this, paramStr] {
            QElapsedTimer clock;
            clock.start();
            try {
                result = guard.Load(paramStr);
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

} // namespace

class TestRunOnce : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QString m_instance;

    QString runtimeDir() const { return m_dir->path() + u"/runtime"_s; }
    QString logFile() const { return m_dir->path() + u"/handover.log"_s; }

    QStringList logLines() const
    {
        QFile file(logFile());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    QStringList runningLines() const { return logLines().filter(QRegularExpression(u"^running\t"_s)); }

    QProcess *start(const QString &program, const QStringList &args = {})
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"XDG_RUNTIME_DIR"_s, runtimeDir());
        env.insert(u"XDG_CONFIG_HOME"_s, m_dir->path() + u"/config"_s);
        env.insert(u"BRINDLE_TEST_LOG_HANDOVER"_s, logFile());
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(program, args);
        m_processes.push_back(std::move(process));
        return m_processes.back().get();
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
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir().mkdir(runtimeDir()));
        QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir()));
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
        QVERIFY(running.Load({u"/first"_s}));
        QVERIFY(running.isRunningCopy());
        QVERIFY(QFile::exists(running.lockFilePath()));
        QWidget mainWindow, other;
        mainWindow.show();
        other.show();
        other.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &other);
        running.setMainWindow(&mainWindow);
        QSignalSpy spy(&running, &TOvRunOnce::OnOtherInstance);

        const QStringList paramStr{u"/second/brindle"_s, u"--flag"_s, u"two words"_s, u"Größe"_s};
        LaterCopy later(m_instance, paramStr);
        QVERIFY(later.finish());
        QVERIFY(later.error.isEmpty());
        QVERIFY(!later.result);
        QVERIFY2(later.elapsed >= TOvRunOnce::kStartDelayMs, qPrintable(QString::number(later.elapsed)));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy[0][0].value<QObject *>(), &running);
        QCOMPARE(spy[0][1].toUInt(), 3u);
        QCOMPARE(spy[0][2].toStringList(), paramStr);
        QTRY_COMPARE(QApplication::activeWindow(), &mainWindow);
    }

    void laterCopyWithNobodyAnsweringEndsQuietly()
    {
        // A live lock (this process holds it) but no socket: the later copy
        // gives up after the ping time-out and hands nothing over.
        TOvRunOnce probe;
        probe.setInstanceName(m_instance);
        QLockFile held(probe.lockFilePath());
        QVERIFY(held.tryLock(0));
        LaterCopy later(m_instance, {u"/second"_s});
        QVERIFY(later.finish());
        QVERIFY(!later.result);
        QVERIFY(later.error.isEmpty());
        QVERIFY(later.elapsed >= TOvRunOnce::kStartDelayMs + TOvRunOnce::kPingTimeoutMs - 50);
        QVERIFY(later.elapsed < 3000);
    }

    void tooLongBlockFailsBeforeSending()
    {
        TOvRunOnce running;
        running.setInstanceName(m_instance);
        QVERIFY(running.Load({u"/first"_s}));
        QSignalSpy spy(&running, &TOvRunOnce::OnOtherInstance);
        LaterCopy later(m_instance, {u"/second"_s, QString(70000, u'x')});
        QVERIFY(later.finish());
        QVERIFY(later.error.startsWith(u"The command line is too long to hand over"_s));
        QVERIFY(later.elapsed < TOvRunOnce::kStartDelayMs); // not even the wait before looking
        QTest::qWait(50);
        QCOMPARE(spy.size(), 0);
    }

    void failedReceiveGoesToTheErrorReport()
    {
        brindle::test::FakeDialogs fake;
        TOvRunOnce running;
        running.setInstanceName(m_instance);
        QVERIFY(running.Load({u"/first"_s}));
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
        QVERIFY(first.Load({u"/first"_s}));
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
        QVERIFY(guard.Load({u"/first"_s}));
        QVERIFY(guard.isRunningCopy());
    }

    // --- real processes of the program ---

    void secondStartHandsOverAndEnds()
    {
        QProcess *first = startRunning();
        QVERIFY(first);
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
};

QTEST_MAIN(TestRunOnce)
#include "tst_runonce.moc"
