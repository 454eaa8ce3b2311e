#include "common/clirun.h"
#include "common/testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

using namespace Qt::StringLiterals;
using brindle::test::kExampleProfile;

namespace {

using Run = brindle::test::CliRun;

Run cli(const QStringList &args)
{
    return brindle::test::runCli(QStringList{u"tags"_s} + args);
}

// A profile with the given entries in place of the defaults.
QByteArray profileWith(const QMap<int, QByteArray> &values, const QMap<int, QByteArray> &used,
                       const QMap<int, QByteArray> &choiceTexts = {})
{
    static const QList<QByteArray> defaults = {"", "", "", "", "", "", "0", "0", "1", "0", "0", "28", "28"};
    QByteArray out = "<OvalinBrindleProfile Author=\"OvalinBrindle\">";
    for (int t = 0; t < 13; ++t) {
        out += "<tagname content=\"" + values.value(t, defaults[t]) + "\" isused=\"" + used.value(t, "N");
        if (choiceTexts.contains(t))
            out += "\" text=\"" + choiceTexts[t];
        out += "\"/>";
    }
    return out + "</OvalinBrindleProfile>";
}

} // namespace

class TestProfileCli : public QObject
{
    Q_OBJECT

private slots:
    void savesTheExampleByteForByte()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"x.wmp"_s);
        const Run r = cli({u"--title"_s, u"Home & garden"_s, u"--description"_s, u"Tips for small gardens"_s,
                           u"--use"_s, u"title,description,charset"_s, u"--save-profile"_s, path});
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.out, QByteArray()); // saving replaces printing
        QCOMPARE(r.status, 0);
        QCOMPARE(brindle::test::readFile(path), kExampleProfile);
    }

    // "-" is standard output, as for "page -o", not a file of that name.
    void savesToStandardOutput()
    {
        QTemporaryDir dir;
        brindle::test::CliOptions options;
        options.args = {u"tags"_s,
                        u"--title"_s,
                        u"Home & garden"_s,
                        u"--description"_s,
                        u"Tips for small gardens"_s,
                        u"--use"_s,
                        u"title,description,charset"_s,
                        u"--save-profile"_s,
                        u"-"_s};
        options.workingDirectory = dir.path();
        const Run r = brindle::test::runCliWith(options);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.out, kExampleProfile);
        QCOMPARE(r.status, 0);
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void savesChoicesAsItemIndexes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("file");
        QTest::addRow("item text gives its index")
            << QStringList{u"--rating"_s, u"Mature"_s, u"--content-language"_s, u"Zulu"_s}
            << profileWith({{7, "1"}, {12, "135"}}, {{7, "Y"}, {12, "Y"}});
        QTest::addRow("text of no item: -1 and the text")
            << QStringList{u"--robots"_s, u"noindex"_s, u"--distribution"_s, u"global"_s}
            << profileWith({{6, "-1"}, {9, "-1"}}, {{6, "Y"}, {9, "Y"}}, {{6, "global"}, {9, "noindex"}});
        QTest::addRow("charset by its code")
            << QStringList{u"--charset"_s, u"koi8-ru"_s, u"--use"_s, u"all"_s}
            << profileWith({{11, "15"}}, {{0, "Y"},
                                          {1, "Y"},
                                          {2, "Y"},
                                          {3, "Y"},
                                          {4, "Y"},
                                          {5, "Y"},
                                          {6, "Y"},
                                          {7, "Y"},
                                          {8, "Y"},
                                          {9, "Y"},
                                          {10, "Y"},
                                          {11, "Y"},
                                          {12, "Y"}});
        // As the window's Save after opening: "yes" unticks, an index past
        // the list selects no item and leaves the text shown, a typed text
        // stays.
        QTest::addRow("profile kept where no option overrides")
            << QStringList{u"--profile"_s, u"in.wmp"_s, u"--owner"_s, u"Me"_s}
            << profileWith({{0, "T"}, {5, "Me"}, {6, "-1"}, {9, "-1"}, {10, "3"}}, {{0, "Y"}},
                           {{6, "Global"}, {9, "noindex"}});
    }
    void savesChoicesAsItemIndexes()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, file);
        QTemporaryDir dir;
        QFile in(dir.filePath(u"in.wmp"_s));
        QVERIFY(in.open(QIODevice::WriteOnly));
        in.write(profileWith({{0, "T"}, {6, "9"}, {9, "-1"}, {10, "3"}}, {{0, "Y"}, {1, "yes"}},
                             {{9, "noindex"}}));
        in.close();
        args.replaceInStrings(u"in.wmp"_s, in.fileName());
        const QString out = dir.filePath(u"out.wmp"_s);
        const Run r = cli(args << u"--save-profile"_s << out);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.status, 0);
        QCOMPARE(brindle::test::readFile(out), file);
    }

    void generatesFromAProfile_data()
    {
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("out");
        QTest::addRow("the example")
            << kExampleProfile << QStringList()
            << QByteArray("<title>Home & garden</title>\r\n"
                          "<meta name=\"description\" content=\"Tips for small gardens\">\r\n"
                          "<meta http-equiv=\"content-type\" content=\"text/html; "
                          "charset=utf-8\">\r\n");
        QTest::addRow("option overrides one value, ticks stay")
            << kExampleProfile << QStringList{u"--title"_s, u"Other"_s, u"--xhtml"_s}
            << QByteArray("<title>Other</title>\r\n"
                          "<meta name=\"description\" content=\"Tips for small gardens\" />\r\n"
                          "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\" />\r\n");
        QTest::addRow("--use overrides the ticks")
            << kExampleProfile << QStringList{u"--use"_s, u"robots"_s}
            << QByteArray("<meta name=\"robots\" content=\"index,follow\">\r\n");
        QTest::addRow("item indexes become texts; only Y ticks")
            << profileWith({{7, "3"}, {8, " 04"}, {11, "15"}, {12, "36"}},
                           {{7, "Y"}, {8, "Y"}, {9, "y"}, {11, "Y"}, {12, "Y"}})
            << QStringList()
            << QByteArray("<meta name=\"rating\" content=\"Restricted\">\r\n"
                          "<meta name=\"revisit-after\" content=\"60 days\">\r\n"
                          "<meta http-equiv=\"content-type\" content=\"text/html; charset=koi8-ru\">\r\n"
                          "<meta http-equiv=\"content-language\" content=\"Gaelic (Scots Gaelic)\">\r\n");
        QTest::addRow("-1 empties the text, an index past the list keeps it")
            << profileWith({{9, "-1"}, {10, "4"}}, {{9, "Y"}, {10, "Y"}}) << QStringList()
            << QByteArray("<meta name=\"robots\" content=\"\">\r\n"
                          "<meta http-equiv=\"cache-control\" content=\"Public\">\r\n");
        QTest::addRow("choice texts as typed")
            << profileWith({{6, "-1"}, {9, "3"}, {10, "-1"}}, {{6, "Y"}, {9, "Y"}, {10, "Y"}},
                           {{6, "global"}, {9, "noindex"}, {10, "no-cache,no-store"}})
            << QStringList()
            << QByteArray("<meta name=\"distribution\" content=\"global\">\r\n"
                          "<meta name=\"robots\" content=\"noindex\">\r\n"
                          "<meta http-equiv=\"cache-control\" content=\"no-cache,no-store\">\r\n");
        QTest::addRow("typed charset label")
            << profileWith({{11, "-1"}}, {{11, "Y"}}, {{11, "latin1"}}) << QStringList()
            << QByteArray("<meta http-equiv=\"content-type\" content=\"text/html; charset=latin1\">\r\n");
        QTest::addRow("empty text tags unticked as in the window")
            << profileWith({{1, "D"}}, {{0, "Y"}, {1, "Y"}}) << QStringList()
            << QByteArray("<meta name=\"description\" content=\"D\">\r\n");
    }
    void generatesFromAProfile()
    {
        QFETCH(QByteArray, profile);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, out);
        QTemporaryDir dir;
        QFile f(dir.filePath(u"p.wmp"_s));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(profile);
        f.close();
        const Run r = cli(QStringList{u"--profile"_s, f.fileName()} + args);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.out, out);
        QCOMPARE(r.status, 0);
    }

    // What --save-profile writes, --profile reads back: the same lines.
    void savedChoiceTextsComeBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"p.wmp"_s);
        const QStringList values{u"--robots"_s,        u"noindex, nofollow"_s, u"--distribution"_s,
                                 u"global"_s,          u"--rating"_s,          u"Mature"_s,
                                 u"--cache-control"_s, u"no-cache,no-store"_s, u"--content-language"_s,
                                 u"en-GB"_s,           u"--charset"_s,         u"windows-1252"_s};
        const Run direct = cli(values);
        QCOMPARE(direct.status, 0);
        QCOMPARE(cli(values + QStringList{u"--save-profile"_s, path}).status, 0);
        const Run again = cli({u"--profile"_s, path});
        QCOMPARE(again.err, QByteArray());
        QCOMPARE(again.out, direct.out);
        QVERIFY(again.out.contains("content=\"noindex, nofollow\""));
        QVERIFY(again.out.contains("charset=windows-1252\""));
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("profile"); // empty: no file
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("err");
        QTest::addRow("rejected profile") << QByteArray("<!-- c -->" + kExampleProfile) << QStringList()
                                          << QByteArray("The file is not a valid meta tags profile data.\n");
        QTest::addRow("missing profile")
            << QByteArray() << QStringList() << QByteArray("No such file or directory\r\nLine: 0\r\n\n");
        QTest::addRow("malformed profile")
            << QByteArray(
                   "<OvalinBrindleProfile>\n<tagname content=\"a\" isused=\"Y\">\n</OvalinBrindleProfile>")
            << QStringList()
            << QByteArray("Opening and ending tag mismatch.\r\nLine: 3\r\n</OvalinBrindleProfile>.\n");
        QTest::addRow("node without attributes")
            << QByteArray("<OvalinBrindleProfile><tagname/></OvalinBrindleProfile>") << QStringList()
            << QByteArray("Could not convert variant of type (Null) into type (String).\n");
        QTest::addRow("typed charset browsers do not know")
            << profileWith({{11, "-1"}}, {{11, "Y"}}, {{11, "x-foo"}}) << QStringList()
            << QByteArray("Unknown charset \"x-foo\": choose one of the list or type a charset name browsers "
                          "know, such as windows-1252.\n");
        QTest::addRow("choice entry not an integer")
            << profileWith({{8, "7 days"}}, {}) << QStringList()
            << QByteArray("'7 days' is not a valid integer value.\n");
        QTest::addRow("text after the root element")
            << QByteArray(kExampleProfile + "\nend") << QStringList()
            << QByteArray("Extra content at end of document.\r\nLine: 2\r\nend.\n");
        QTest::addRow("document type declaration before the root")
            << QByteArray("<!DOCTYPE OvalinBrindleProfile>\n" + kExampleProfile) << QStringList()
            << QByteArray("The file is not a valid meta tags profile data.\n");
        QTest::addRow("undefined entity")
            << profileWith({{0, "&nbsp;"}}, {}) << QStringList()
            << QByteArray(
                   "Entity 'nbsp' not declared.\r\nLine: 1\r\n\"OvalinBrindle\"><tagname content=\"&nbsp;\n");
        QTest::addRow("byte that is not UTF-8")
            << profileWith({{0, "Caf\xE9"}}, {}) << QStringList()
            << QByteArray("Encountered incorrectly encoded content.\r\nLine: 1\r\n"
                          "or=\"OvalinBrindle\"><tagname content=\"Caf.\n");
        QTest::addRow("NUL in the excerpt")
            << profileWith({{0, QByteArray("a\0b", 3)}}, {}) << QStringList()
            << QByteArray("Unexpected ''.\r\nLine: 1\r\nhor=\"OvalinBrindle\"><tagname content=\"a\u2400.\n");
        QTest::addRow("profile cannot be written")
            << kExampleProfile << QStringList{u"--save-profile"_s, u"/nonexistent/folder/x.wmp"_s}
            << QByteArray("Cannot write /nonexistent/folder/x.wmp: Path not found.\n");
        // The same text as "page -o" gives for a folder.
        QTest::addRow("profile would replace a folder")
            << kExampleProfile << QStringList{u"--save-profile"_s, u"/"_s}
            << QByteArray("Cannot write /: Invalid filename.\n");
    }
    void failures()
    {
        QFETCH(QByteArray, profile);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, err);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"p.wmp"_s);
        if (!profile.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(profile);
        }
        const Run r = cli(QStringList{u"--profile"_s, path} + args);
        QCOMPARE(r.err, err);
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(r.status, 1);
    }

    // Under a memory limit that reading them whole would pass.
    void hugeOrEndlessProfileIsRefusedQuickly_data()
    {
        QTest::addColumn<QString>("path"); // empty: a sparse file of 1 GB
        QTest::addRow("endless device") << u"/dev/zero"_s;
        QTest::addRow("sparse file of 1 GB") << QString();
    }
    void hugeOrEndlessProfileIsRefusedQuickly()
    {
        QFETCH(QString, path);
        QTemporaryDir dir;
        if (path.isEmpty()) {
            path = dir.filePath(u"huge.wmp"_s);
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(qint64(1) << 30));
        }
        QProcess p;
#ifndef __SANITIZE_ADDRESS__ // the sanitizer's shadow memory needs an unlimited address space
        p.setChildProcessModifier([] {
            const rlimit limit{512 << 20, 512 << 20};
            setrlimit(RLIMIT_AS, &limit);
        });
#endif
        QElapsedTimer timer;
        timer.start();
        p.start(QStringLiteral(BRINDLE_CLI), {u"tags"_s, u"--profile"_s, path});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE_LT(timer.elapsed(), 10000);
        QCOMPARE(p.readAllStandardError(),
                 QByteArray("The file is too large for a profile (more than 16 MiB)\r\nLine: 0\r\n\n"));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
    }
};

QTEST_GUILESS_MAIN(TestProfileCli)
#include "tst_profile_cli.moc"
