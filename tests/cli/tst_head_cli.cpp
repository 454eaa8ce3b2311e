// The head options of brindle-cli: the lines of tags, the language of page,
// --use, the refused values, and the round trip through --save-profile and
// --profile.

#include "common/clirun.h"
#include "common/testfiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using brindle::test::readFile;
using brindle::test::runCli;

namespace {

const QStringList kHeadOptions = {u"--viewport"_s,
                                  u""_s,
                                  u"--canonical"_s,
                                  u"https://example.org/en/?a=1&b=2"_s,
                                  u"--alternate"_s,
                                  u"de=https://example.org/de/"_s,
                                  u"--alternate"_s,
                                  u"x-default=https://example.org/"_s,
                                  u"--theme-color"_s,
                                  u"#336699"_s,
                                  u"--icon"_s,
                                  u"/favicon.ico"_s,
                                  u"--structured-data"_s,
                                  u"Article"_s,
                                  u"--published"_s,
                                  u"2024-05-01"_s,
                                  u"--modified"_s,
                                  u"2024-05-02T08:00:00Z"_s,
                                  u"--logo"_s,
                                  u"https://example.org/logo.png"_s};

const QByteArray kHeadLines =
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n"
    "<link rel=\"canonical\" href=\"https://example.org/en/?a=1&amp;b=2\">\r\n"
    "<link rel=\"alternate\" hreflang=\"de\" href=\"https://example.org/de/\">\r\n"
    "<link rel=\"alternate\" hreflang=\"x-default\" href=\"https://example.org/\">\r\n"
    "<meta name=\"theme-color\" content=\"#336699\">\r\n"
    "<link rel=\"icon\" href=\"/favicon.ico\">\r\n"
    "<script type=\"application/ld+json\">{\"@context\":\"https://schema.org\",\"@type\":\"Article\","
    "\"dateModified\":\"2024-05-02T08:00:00Z\",\"datePublished\":\"2024-05-01\",\"headline\":\"Home\","
    "\"mainEntityOfPage\":\"https://example.org/en/?a=1&b=2\","
    "\"publisher\":{\"@type\":\"Organization\",\"logo\":{\"@type\":\"ImageObject\","
    "\"url\":\"https://example.org/logo.png\"}},\"url\":\"https://example.org/en/?a=1&b=2\"}</script>\r\n";

} // namespace

class TestHeadCli : public QObject
{
    Q_OBJECT

private slots:
    void tagLines_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("out");
        QTest::addRow("given head options are used, after the classic lines")
            << QStringList{u"tags"_s, u"--title"_s, u"Home"_s} + kHeadOptions
            << "<title>Home</title>\r\n" + kHeadLines;
        QTest::addRow("--use head ticks every field with a tick")
            << QStringList{u"tags"_s, u"--title"_s, u"Home"_s} + kHeadOptions +
                   QStringList{u"--use"_s, u"title,head"_s}
            << "<title>Home</title>\r\n" + kHeadLines;
        QTest::addRow("--use of single fields")
            << QStringList{u"tags"_s, u"--xhtml"_s} + kHeadOptions +
                   QStringList{u"--use"_s, u"theme-color, viewport"_s}
            << QByteArray("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\" />\r\n"
                          "<meta name=\"theme-color\" content=\"#336699\" />\r\n");
        QTest::addRow("the script's own fields tick nothing")
            << QStringList{u"tags"_s, u"--title"_s, u"T"_s, u"--logo"_s, u"https://example.org/l.png"_s}
            << QByteArray("<title>T</title>\r\n");
    }
    void tagLines()
    {
        QFETCH(QStringList, args);
        const auto r = runCli(args);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.status, 0);
        QTEST(r.out, "out");
    }

    void pageLanguage_data()
    {
        QTest::addColumn<QString>("doctype");
        QTest::addColumn<QStringList>("more");
        QTest::addColumn<QByteArray>("start"); // the page's first bytes
        QTest::addRow("HTML 5") << u"HTML 5"_s << QStringList{u"--lang"_s, u"en-GB"_s}
                                << QByteArray("<!DOCTYPE html>\r\n<html lang=\"en-GB\">\r\n<head>\r\n");
        QTest::addRow("None") << u"None"_s << QStringList{u"--lang"_s, u"fr"_s}
                              << QByteArray("<html lang=\"fr\">\r\n<head>\r\n");
        QTest::addRow("XHTML: xml:lang and lang")
            << u"XHTML 1.0 Strict"_s << QStringList{u"--lang"_s, u"de-AT"_s}
            << QByteArray(
                   "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
                   "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\r\n"
                   "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"de-AT\" lang=\"de-AT\">\r\n");
        QTest::addRow("XHTML 1.1")
            << u"XHTML 1.1"_s << QStringList{u"--lang"_s, u"de"_s}
            << QByteArray("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.1//EN\" "
                          "\"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd\">\r\n"
                          "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"de\" lang=\"de\">\r\n");
        QTest::addRow("not ticked: the page as before")
            << u"HTML 5"_s << QStringList{u"--lang"_s, u"en"_s, u"--use"_s, u"title"_s}
            << QByteArray("<!DOCTYPE html>\r\n<html>\r\n<head>\r\n");
    }
    void pageLanguage()
    {
        QFETCH(QString, doctype);
        QFETCH(QStringList, more);
        const auto r = runCli(QStringList{u"page"_s, u"--doctype"_s, doctype, u"--title"_s, u"T"_s} + more);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.status, 0);
        QFETCH(QByteArray, start);
        QCOMPARE(r.out.left(start.size()), start);
        // The language gives no line of its own.
        QVERIFY(r.out.contains("<title>T</title>\r\n\r\n</head>"));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("err");
        QTest::addRow("relative canonical")
            << QStringList{u"tags"_s, u"--canonical"_s, u"/en/"_s}
            << QByteArray(
                   "brindle-cli tags: canonical: \"/en/\" is not an absolute http:// or https:// address\n");
        QTest::addRow("one bad alternate among good ones")
            << QStringList{u"tags"_s, u"--alternate"_s, u"de=https://e.org/de/"_s, u"--alternate"_s,
                           u"deutsch=https://e.org/"_s}
            << QByteArray(
                   "brindle-cli tags: alternate: \"deutsch\" in \"deutsch=https://e.org/\" is not a BCP 47 "
                   "language tag or x-default\n");
        QTest::addRow("theme colour, even when not used")
            << QStringList{u"tags"_s, u"--theme-color"_s, u"#12345"_s, u"--use"_s, u"title"_s}
            << QByteArray(
                   "brindle-cli tags: theme-color: \"#12345\" is not a CSS colour such as #336699 or navy\n");
        QTest::addRow("structured data type")
            << QStringList{u"page"_s, u"--doctype"_s, u"None"_s, u"--structured-data"_s, u"Blog"_s}
            << QByteArray("brindle-cli page: structured-data: \"Blog\" is not one of WebSite, Organization, "
                          "Article\n");
        QTest::addRow("date")
            << QStringList{u"tags"_s, u"--published"_s, u"1 May 2024"_s}
            << QByteArray(
                   "brindle-cli tags: published: \"1 May 2024\" is not an ISO 8601 date or date and time "
                   "such as 2024-05-01 or 2024-05-01T09:30:00+02:00\n");
        QTest::addRow("language")
            << QStringList{u"page"_s, u"--doctype"_s, u"None"_s, u"--lang"_s, u"en_GB"_s}
            << QByteArray("brindle-cli page: lang: \"en_GB\" is not a BCP 47 language tag such as en-GB\n");
        QTest::addRow("a field without a tick in --use")
            << QStringList{u"tags"_s, u"--use"_s, u"logo"_s}
            << QByteArray("brindle-cli tags: \"logo\" in --use: it goes with structured-data and has no tick "
                          "of its own\n");
    }
    void refusals()
    {
        QFETCH(QStringList, args);
        const auto r = runCli(args);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.out, QByteArray());
        QTEST(r.err.left(r.err.indexOf('\n') + 1), "err");
    }

    void languageIsForPagesOnly()
    {
        const auto r = runCli({u"tags"_s, u"--title"_s, u"T"_s, u"--lang"_s, u"en"_s});
        QCOMPARE(r.status, 2);
        QCOMPARE(r.err, QByteArray("brindle-cli tags: Unknown option 'lang'.\n"));
    }

    void profileRoundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"head.wmp"_s);
        const QStringList given = QStringList{u"--title"_s, u"Home"_s} + kHeadOptions;
        QCOMPARE(runCli(QStringList{u"tags"_s} + given + QStringList{u"--save-profile"_s, path}).status, 0);
        const QByteArray file = readFile(path);
        QVERIFY(file.endsWith("used=\"viewport canonical alternate theme-color icon structured-data\"/>"
                              "</OvalinBrindleProfile>"));

        const auto fromProfile = runCli({u"tags"_s, u"--profile"_s, path});
        QCOMPARE(fromProfile.err, QByteArray());
        QCOMPARE(fromProfile.out, "<title>Home</title>\r\n" + kHeadLines);

        // Saved again from the profile, the file is the same byte for byte.
        const QString again = dir.filePath(u"again.wmp"_s);
        QCOMPARE(runCli({u"tags"_s, u"--profile"_s, path, u"--save-profile"_s, again}).status, 0);
        QCOMPARE(readFile(again), file);

        // Without head options, the profile is written as before.
        const QString classic = dir.filePath(u"classic.wmp"_s);
        QCOMPARE(runCli({u"tags"_s, u"--title"_s, u"Home"_s, u"--save-profile"_s, classic}).status, 0);
        QVERIFY(!readFile(classic).contains("<head"));
    }
};

QTEST_GUILESS_MAIN(TestHeadCli)
#include "tst_head_cli.moc"
