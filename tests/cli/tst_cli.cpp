#include "common/clirun.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Run = brindle::test::CliRun;

Run cli(const QStringList &args)
{
    return brindle::test::runCli(args);
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void tags_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("out");
        const QStringList example = {u"tags"_s,
                                     u"--title"_s,
                                     u"Home Page"_s,
                                     u"--description"_s,
                                     u"Fish & Chips"_s,
                                     u"--use"_s,
                                     u"title,description,keywords,robots,charset"_s};
        QTest::addRow("home page example, HTML")
            << example
            << QByteArray("<title>Home Page</title>\r\n"
                          "<meta name=\"description\" content=\"Fish & Chips\">\r\n"
                          "<meta name=\"robots\" content=\"index,follow\">\r\n"
                          "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">\r\n");
        QTest::addRow("home page example, XHTML")
            << (QStringList(example) << u"--xhtml"_s)
            << QByteArray("<title>Home Page</title>\r\n"
                          "<meta name=\"description\" content=\"Fish & Chips\" />\r\n"
                          "<meta name=\"robots\" content=\"index,follow\" />\r\n"
                          "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\" />\r\n");
        QTest::addRow("charset code")
            << QStringList{u"tags"_s, u"--charset"_s, u"koi8-ru"_s, u"--use"_s, u"charset"_s}
            << QByteArray("<meta http-equiv=\"content-type\" content=\"text/html; charset=koi8-ru\">\r\n");
        QTest::addRow("charset label, written as given")
            << QStringList{u"tags"_s, u"--charset"_s, u"Windows-1252"_s, u"--use"_s, u"charset"_s}
            << QByteArray(
                   "<meta http-equiv=\"content-type\" content=\"text/html; charset=Windows-1252\">\r\n");
        QTest::addRow("charset code of the table in other letter case")
            << QStringList{u"tags"_s, u"--charset"_s, u"DOS-720"_s, u"--use"_s, u"charset"_s}
            << QByteArray("<meta http-equiv=\"content-type\" content=\"text/html; charset=DOS-720\">\r\n");
        QTest::addRow("given tags are ticked without --use")
            << QStringList{u"tags"_s, u"--robots"_s, u"noindex"_s, u"--author"_s, u"Zoë"_s}
            << QByteArray("<meta name=\"author\" content=\"Zo\xc3\xab\">\r\n"
                          "<meta name=\"robots\" content=\"noindex\">\r\n");
        QTest::addRow("basic uses defaults of a new profile")
            << QStringList{u"tags"_s, u"--use"_s, u"basic"_s, u"--title"_s, u"T"_s}
            << QByteArray("<title>T</title>\r\n"
                          "<meta name=\"revisit-after\" content=\"7 days\">\r\n"
                          "<meta name=\"robots\" content=\"index,follow\">\r\n"
                          "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">\r\n"
                          "<meta http-equiv=\"content-language\" content=\"English\">\r\n");
    }
    void tags()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, out);
        const Run r = cli(args);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.out, out);
        QCOMPARE(r.status, 0);
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("errContains");
        QTest::addRow("nothing ticked")
            << QStringList{u"tags"_s} << 1 << QByteArray("Plese select tag(s) to be used!\n");
        QTest::addRow("only empty text tags") << QStringList{u"tags"_s, u"--use"_s, u"title,owner"_s} << 1
                                              << QByteArray("Plese select tag(s) to be used!");
        QTest::addRow("unknown option")
            << QStringList{u"tags"_s, u"--colour"_s, u"red"_s} << 2 << QByteArray("colour");
        QTest::addRow("unknown tag in --use")
            << QStringList{u"tags"_s, u"--use"_s, u"title,summary"_s} << 2 << QByteArray("summary");
        QTest::addRow("unknown charset, named, with the codes")
            << QStringList{u"tags"_s, u"--charset"_s, u"koi8-x"_s} << 2
            << QByteArray("unknown charset \"koi8-x\": give a code of the charset table (ASMO-708, ");
        QTest::addRow("empty charset")
            << QStringList{u"tags"_s, u"--charset"_s, QString(), u"--use"_s, u"charset"_s} << 2
            << QByteArray("no charset given: give a code of the charset table (");
        QTest::addRow("unknown command") << QStringList{u"frobnicate"_s} << 2 << QByteArray("frobnicate");
        QTest::addRow("no command") << QStringList{} << 2 << QByteArray("missing command");
    }
    void failures()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, errContains);
        const Run r = cli(args);
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(errContains), r.err.constData());
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(r.err.count('\n'), 1); // one line
    }

    // Output that cannot be written is an error with the system's reason; a
    // reader that went away ends the command quietly, as it ends a pipeline.
    void standardOutputFailures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("output");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("err");
        const QStringList tags = {u"tags"_s, u"--title"_s, u"T"_s};
        const QStringList page = {u"page"_s, u"--doctype"_s, u"None"_s, u"--title"_s, u"T"_s};
        const QByteArray full = "Cannot write to standard output. No space left on device.\n";
        const QByteArray closed = "Cannot write to standard output. Bad file descriptor.\n";
        const auto file = int(brindle::test::CliOutput::File);
        const auto closedPipe = int(brindle::test::CliOutput::ClosedPipe);
        const auto none = int(brindle::test::CliOutput::Closed);
        QTest::addRow("tags into a full device") << tags << file << 1 << full;
        QTest::addRow("page into a full device") << page << file << 1 << full;
        QTest::addRow("help into a full device") << QStringList{u"--help"_s} << file << 1 << full;
        QTest::addRow("command help into a full device")
            << QStringList{u"tags"_s, u"--help"_s} << file << 1 << full;
        QTest::addRow("page with standard output closed") << page << none << 1 << closed;
        QTest::addRow("tags with standard output closed") << tags << none << 1 << closed;
        QTest::addRow("nothing printed, standard output closed")
            << (page + QStringList{u"-o"_s, u"page.html"_s}) << none << 0 << QByteArray();
        QTest::addRow("tags into a closed pipe") << tags << closedPipe << 1 << QByteArray();
        QTest::addRow("page into a closed pipe") << page << closedPipe << 1 << QByteArray();
        QTest::addRow("help into a closed pipe")
            << QStringList{u"--help"_s} << closedPipe << 1 << QByteArray();
        QTest::addRow("colorize into a closed pipe")
            << QStringList{u"colorize"_s, u"-"_s} << closedPipe << 1 << QByteArray();
    }
    void standardOutputFailures()
    {
        QFETCH(QStringList, args);
        QFETCH(int, output);
        QFETCH(int, status);
        QFETCH(QByteArray, err);
        if (output == int(brindle::test::CliOutput::File) && !QFile::exists(u"/dev/full"_s))
            QSKIP("no /dev/full");
        QTemporaryDir dir;
        brindle::test::CliOptions options;
        options.args = args;
        options.input = "<p>x</p>";
        options.output = brindle::test::CliOutput(output);
        options.outputFile = u"/dev/full"_s;
        options.workingDirectory = dir.path();
        const Run r = brindle::test::runCliWith(options);
        QCOMPARE(r.err, err);
        QCOMPARE(r.status, status);
    }

    void help()
    {
        const Run top = cli({u"--help"_s});
        QCOMPARE(top.status, 0);
        QVERIFY(top.out.contains("tags"));
        const Run tags = cli({u"tags"_s, u"--help"_s});
        QCOMPARE(tags.status, 0);
        for (const char *opt : {"--revisit-after", "--content-language", "--use", "--xhtml", "--charset"})
            QVERIFY2(tags.out.contains(opt), opt);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
