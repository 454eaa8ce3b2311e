#include "app/commandline.h"
#include "buildinfo.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brindle::app;

namespace {

const QString kExe = u"/usr/bin/brindle"_s;

struct Run
{
    int exitCode = -1;
    QByteArray out, err;
};

// Without a display: a program that tried to open a window would fail.
Run run(const QString &program, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    env.remove(u"DISPLAY"_s);
    env.remove(u"WAYLAND_DISPLAY"_s);
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkdir(u"folder.wmp"_s));
        for (const QString &name : {u"home.wmp"_s, u"other.wmp"_s, u"-dash.wmp"_s, u"Fusion"_s}) {
            QFile f(path(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
    }

    void earlyAnswer_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("startsWith"); // empty: the program starts
        QTest::addRow("no arguments") << QStringList{kExe} << QString();
        QTest::addRow("a file") << QStringList{kExe, u"home.wmp"_s} << QString();
        QTest::addRow("--help") << QStringList{kExe, u"--help"_s} << u"Usage: brindle [FILE.wmp]\n"_s;
        QTest::addRow("-h after a file") << QStringList{kExe, u"home.wmp"_s, u"-h"_s} << u"Usage: "_s;
        QTest::addRow("--version") << QStringList{kExe, u"--version"_s} << u"brindle " BRINDLE_VERSION "\n"_s;
        QTest::addRow("after --, a file name") << QStringList{kExe, u"--"_s, u"--help"_s} << QString();
        QTest::addRow("value of a toolkit option")
            << QStringList{kExe, u"-style"_s, u"--help"_s} << QString();
        QTest::addRow("toolkit option with its value inline")
            << QStringList{kExe, u"-style=Fusion"_s, u"--version"_s} << u"brindle "_s;
        QTest::addRow("unknown option") << QStringList{kExe, u"--frobnicate"_s} << QString();
    }
    void earlyAnswer()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, startsWith);
        const std::optional<QString> answer = brindle::app::earlyAnswer(args);
        QCOMPARE(answer.has_value(), !startsWith.isEmpty());
        if (answer)
            QVERIFY2(answer->startsWith(startsWith), qPrintable(*answer));
    }

    void absoluteFiles_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("expected"); // relative to the folder: "@" stands for it
        QTest::addRow("relative file")
            << QStringList{kExe, u"home.wmp"_s} << QStringList{kExe, u"@/home.wmp"_s};
        QTest::addRow("dot segments cleaned")
            << QStringList{kExe, u"./folder.wmp/../home.wmp"_s} << QStringList{kExe, u"@/home.wmp"_s};
        QTest::addRow("missing file kept")
            << QStringList{kExe, u"gone.wmp"_s} << QStringList{kExe, u"gone.wmp"_s};
        QTest::addRow("folder kept") << QStringList{kExe, u"folder.wmp"_s}
                                     << QStringList{kExe, u"folder.wmp"_s};
        QTest::addRow("options kept") << QStringList{kExe, u"--flag"_s, u"home.wmp"_s}
                                      << QStringList{kExe, u"--flag"_s, u"@/home.wmp"_s};
        QTest::addRow("toolkit option's value kept")
            << QStringList{kExe, u"-style"_s, u"Fusion"_s, u"other.wmp"_s}
            << QStringList{kExe, u"-style"_s, u"Fusion"_s, u"@/other.wmp"_s};
        QTest::addRow("after --, a dash starts a file name")
            << QStringList{kExe, u"--"_s, u"-dash.wmp"_s} << QStringList{kExe, u"--"_s, u"@/-dash.wmp"_s};
        QTest::addRow("item 0 kept") << QStringList{u"home.wmp"_s} << QStringList{u"home.wmp"_s};
    }
    void absoluteFiles()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, expected);
        expected.replaceInStrings(u"@"_s, m_dir.path());
        QCOMPARE(withAbsoluteFiles(args, m_dir.path()), expected);
    }

    void absoluteAbsolutePathUnchanged()
    {
        const QStringList args{kExe, path(u"home.wmp"_s)};
        QCOMPARE(withAbsoluteFiles(args, u"/"_s), args);
    }

    void profileArgument_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected"); // "@" stands for the folder
        QTest::addRow("none") << QStringList{kExe} << QString();
        QTest::addRow("the file") << QStringList{kExe, u"@/home.wmp"_s} << u"@/home.wmp"_s;
        QTest::addRow("the first of two")
            << QStringList{kExe, u"@/other.wmp"_s, u"@/home.wmp"_s} << u"@/other.wmp"_s;
        QTest::addRow("non-files ignored")
            << QStringList{kExe,           u"--flag"_s, u"two words"_s, u"@/gone.wmp"_s, u"@/folder.wmp"_s,
                           u"@/home.wmp"_s}
            << u"@/home.wmp"_s;
        QTest::addRow("only non-files") << QStringList{kExe, u"x"_s, u"@/folder.wmp"_s} << QString();
        QTest::addRow("an option that names a file is still an option")
            << QStringList{kExe, u"-dash.wmp"_s} << QString();
        QTest::addRow("after --") << QStringList{kExe, u"--"_s, u"@/-dash.wmp"_s} << u"@/-dash.wmp"_s;
        QTest::addRow("item 0 is the program") << QStringList{u"@/home.wmp"_s} << QString();
    }
    void profileArgument()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        args.replaceInStrings(u"@"_s, m_dir.path());
        expected.replace(u"@"_s, m_dir.path());
        // Relative names resolve against the working folder; this one has "-dash.wmp".
        const QString previous = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        const QString found = brindle::app::profileArgument(args);
        QDir::setCurrent(previous);
        QCOMPARE(found, expected);
    }

    // --- the programs ---

    void helpAndVersionWithoutDisplay_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QByteArray>("startsWith");
        QTest::addRow("brindle --help")
            << QStringLiteral(BRINDLE_EXE) << u"--help"_s << QByteArray("Usage: brindle ");
        QTest::addRow("brindle -h") << QStringLiteral(BRINDLE_EXE) << u"-h"_s
                                    << QByteArray("Usage: brindle ");
        QTest::addRow("brindle --version")
            << QStringLiteral(BRINDLE_EXE) << u"--version"_s << QByteArray("brindle " BRINDLE_VERSION "\n");
        QTest::addRow("brindle-cli --help")
            << QStringLiteral(BRINDLE_CLI) << u"--help"_s << QByteArray("Usage: brindle-cli ");
        QTest::addRow("brindle-cli --version") << QStringLiteral(BRINDLE_CLI) << u"--version"_s
                                               << QByteArray("brindle-cli " BRINDLE_VERSION "\n");
    }
    void helpAndVersionWithoutDisplay()
    {
        QFETCH(QString, program);
        QFETCH(QString, option);
        QFETCH(QByteArray, startsWith);
        const Run r = run(program, {option});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.startsWith(startsWith), r.out.constData());
        QCOMPARE(r.err, QByteArray());
    }

    void bothProgramsGiveOneVersion()
    {
        const QByteArray gui = run(QStringLiteral(BRINDLE_EXE), {u"--version"_s}).out.trimmed();
        const QByteArray cli = run(QStringLiteral(BRINDLE_CLI), {u"--version"_s}).out.trimmed();
        QCOMPARE(gui.split(' ').last(), cli.split(' ').last());
        QCOMPARE(gui.split(' ').last(), QByteArray(BRINDLE_VERSION));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
