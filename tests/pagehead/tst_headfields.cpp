// The head fields of existing pages (viewport, canonical, alternates, theme
// colour, icon, the <html>'s language, structured data): which elements
// they are, what importing takes from them, where applying puts their
// lines, and that a page written so comes back byte for byte.

#include "base/error.h"
#include "base/textutil.h"
#include "common/errorof.h"
#include "common/headof.h"
#include "common/testfiles.h"
#include "pagehead/pageapply.h"
#include "pagehead/pageimport.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;
using brindle::test::errorOf;
using brindle::test::headOf;
using namespace brindle;
using namespace brindle::pagehead;
using namespace brindle::tags;

namespace {

// Title "Home" and every head field ticked; the viewport takes its default.
TagValues everyField()
{
    TagValues values = TagValues::defaults();
    values.values[Title] = u"Home"_s;
    values.head[Canonical] = u"https://example.org/"_s;
    values.head[Alternates] = u"de=https://example.org/de/ en=https://example.org/en/"_s;
    values.head[ThemeColor] = u"#336699"_s;
    values.head[Icon] = u"/favicon.ico"_s;
    values.head[Language] = u"en-GB"_s;
    values.head[StructuredData] = u"WebSite"_s;
    for (int f : {Viewport, Canonical, Alternates, ThemeColor, Icon, Language, StructuredData})
        values.head.used[std::size_t(f)] = true;
    return values;
}

ProfileLines linesOf(const TagValues &values, bool title = true)
{
    RowTicks ticks{};
    ticks[std::size_t(listRowOfTag(Title))] = title;
    return ProfileLines::of(values, ticks);
}

ProfileLines languageOnly()
{
    TagValues values = TagValues::defaults();
    values.head[Language] = u"en-GB"_s;
    values.head.used[Language] = true;
    return linesOf(values, false);
}

std::vector<PageEdit> editsOf(const QByteArray &page, const ProfileLines &lines)
{
    const PageHead head = headOf(page);
    return planEdits(head, page, lines, head.encoding);
}

QByteArray applied(const QByteArray &page, const ProfileLines &lines)
{
    return applyEdits(page, editsOf(page, lines));
}

QStringList headValuesOf(const ImportedProfile &profile)
{
    QStringList values;
    for (int f = 0; f < kHeadFieldCount; ++f) {
        if (!profile.head[f].isEmpty())
            values << toQString(headFieldInfo(f).key) + u'=' + profile.head[f];
    }
    return values;
}

} // namespace

Q_DECLARE_METATYPE(brindle::pagehead::ProfileLines)

class TestHeadFields : public QObject
{
    Q_OBJECT

private slots:
    void import_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QStringList>("values");   // key=value of the fields with a value
        QTest::addColumn<QStringList>("ticked");   // keys
        QTest::addColumn<QStringList>("findings"); // name@line, "+" for a repeat
        QTest::addColumn<QStringList>("warnings"); // line: text

        QTest::addRow("every field, values as browsers read them, in page order")
            << QByteArray(
                   "<!DOCTYPE html>\n<html lang=\"en-GB\">\n<head>\n"
                   "<meta name=\"Viewport\" content=\"width=device-width\">\n"
                   "<link rel=\"canonical\" href=\"https://example.org/?a=1&amp;b=2\">\n"
                   "<link rel=\"alternate\" hreflang=\"de\" href=\"https://example.org/de/\">\n"
                   "<link REL=\"Alternate\" hreflang=\"x-default\" href=\"https://example.org/\">\n"
                   "<meta name=\"theme-color\" content=\"#336699\">\n"
                   "<link rel=\"shortcut icon\" href=\"/favicon.ico\">\n"
                   "<script type=\"application/ld+json\">{\"@context\":\"https://schema.org\",\"@type\":"
                   "\"Article\",\"headline\":\"H\",\"datePublished\":\"2024-05-01\",\"publisher\":{\"@type\":"
                   "\"Organization\",\"logo\":{\"@type\":\"ImageObject\",\"url\":\"https://example.org/"
                   "l.png\"}}}"
                   "</script>\n</head>\n")
            << QStringList{u"viewport=width=device-width"_s,
                           u"canonical=https://example.org/?a=1&b=2"_s,
                           u"alternate=de=https://example.org/de/ x-default=https://example.org/"_s,
                           u"theme-color=#336699"_s,
                           u"icon=/favicon.ico"_s,
                           u"lang=en-GB"_s,
                           u"structured-data=Article"_s,
                           u"published=2024-05-01"_s,
                           u"logo=https://example.org/l.png"_s}
            << QStringList{u"viewport"_s, u"canonical"_s,       u"alternate"_s, u"theme-color"_s,
                           u"icon"_s,     u"structured-data"_s, u"lang"_s}
            << QStringList{u"lang@2"_s,      u"viewport@4"_s,    u"canonical@5"_s, u"alternate@6"_s,
                           u"alternate@7"_s, u"theme-color@8"_s, u"icon@9"_s,      u"structured-data@10"_s}
            << QStringList{};
        QTest::addRow("xml:lang without lang, the first of two, an organization's own logo")
            << QByteArray("<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"de\"><head>\n"
                          "<link rel=\"icon\" href=\"/a.ico\"><link rel=\"icon\" href=\"/b.ico\">\n"
                          "<script type=\"application/ld+json\">{\"@type\":\"Organization\",\"logo\":"
                          "\"https://example.org/l.png\",\"dateModified\":\"2024-13-01\"}</script>\n</head>")
            << QStringList{u"icon=/a.ico"_s, u"lang=de"_s, u"structured-data=Organization"_s,
                           u"logo=https://example.org/l.png"_s}
            << QStringList{u"icon"_s, u"lang"_s, u"structured-data"_s}
            << QStringList{u"lang@1"_s, u"icon@2"_s, u"icon@2+"_s, u"structured-data@3"_s}
            << QStringList{u"3: modified: \"2024-13-01\" is not an ISO 8601 date or date and time such as "
                           u"2024-05-01 or 2024-05-01T09:30:00+02:00; left empty"_s};
        QTest::addRow("variants, other links and nested tags are no field; other structured data is told")
            << QByteArray(
                   "<head>\n"
                   "<meta name=\"theme-color\" media=\"(prefers-color-scheme: dark)\" content=\"#000\">\n"
                   "<link rel=\"icon\" sizes=\"32x32\" href=\"/i32.png\">\n"
                   "<link rel=\"apple-touch-icon\" href=\"/t.png\">\n"
                   "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"/feed\">\n"
                   "<noscript><link rel=\"canonical\" href=\"https://example.org/\"></noscript>\n"
                   "<script type=\"application/ld+json\">{\"@type\":\"Product\"}</script>\n"
                   "<script type=\"application/ld+json\">not json</script>\n"
                   "<script>var x = {\"@type\": \"WebSite\"};</script>\n</head>")
            << QStringList{} << QStringList{} << QStringList{}
            << QStringList{
                   u"7: structured-data: type \"Product\" is none that Brindle writes; left as it is"_s,
                   u"8: structured-data: the script is no JSON object with a @type; left as it is"_s};
        QTest::addRow("odd values are told, left empty and unticked; one odd alternate leaves all")
            << QByteArray("<html lang=\"en_GB\"><head>\n"
                          "<link rel=\"canonical\" href=\"/relative\">\n"
                          "<link rel=\"alternate\" hreflang=\"de\" href=\"https://example.org/de/\">\n"
                          "<link rel=\"alternate\" hreflang=\"de!\" href=\"https://example.org/x/\">\n"
                          "<meta name=\"theme-color\" content=\"not a colour\">\n"
                          "<meta name=\"viewport\" content=\"width=device-width\">\n</head>")
            << QStringList{u"viewport=width=device-width"_s} << QStringList{u"viewport"_s}
            << QStringList{u"lang@1"_s,      u"canonical@2"_s,   u"alternate@3"_s,
                           u"alternate@4"_s, u"theme-color@5"_s, u"viewport@6"_s}
            << QStringList{
                   u"1: lang: \"en_GB\" is not a BCP 47 language tag such as en-GB; left empty"_s,
                   u"2: canonical: \"/relative\" is not an absolute http:// or https:// address; left empty"_s,
                   u"3: alternate: \"de!\" in \"de!=https://example.org/x/\" is not a BCP 47 language tag or "
                   u"x-default; left empty"_s,
                   u"5: theme-color: \"not a colour\" is not a CSS colour such as #336699 or navy; left empty"_s};
        QByteArray many;
        for (int i = 0; i < 40; ++i)
            many += " data-a" + QByteArray::number(i) + "=x";
        QTest::addRow("tags with more attributes than the parser checks one by one keep those read")
            << QByteArray("<html" + many + " lang=de><head><link" + many +
                          " rel=canonical href=\"https://example.org/\"><link" + many +
                          " rel=alternate hreflang=de href=\"https://example.org/de/\"></head>")
            << QStringList{u"canonical=https://example.org/"_s, u"alternate=de=https://example.org/de/"_s,
                           u"lang=de"_s}
            << QStringList{u"canonical"_s, u"alternate"_s, u"lang"_s}
            << QStringList{u"lang@1"_s, u"canonical@1"_s, u"alternate@1"_s} << QStringList{};
        QTest::addRow("an address with a blank cannot be one of the alternates' entries")
            << QByteArray("<head><link rel=alternate hreflang=de href=\"https://example.org/a b\"></head>")
            << QStringList{} << QStringList{} << QStringList{u"alternate@1"_s}
            << QStringList{u"1: alternate: \"de=https://example.org/a b\" is not LANG=URL; left empty"_s};
    }
    void import()
    {
        QFETCH(QByteArray, page);
        QFETCH(QStringList, ticked);
        QFETCH(QStringList, findings);
        QFETCH(QStringList, warnings);
        const ImportedProfile profile = importHead(headOf(page));
        QTEST(headValuesOf(profile), "values");
        QStringList gotTicked, gotFindings, gotWarnings;
        for (int f = 0; f < kHeadFieldCount; ++f) {
            if (profile.head.isUsed(f))
                gotTicked << toQString(headFieldInfo(f).key);
        }
        for (const TagFinding &f : profile.findings)
            gotFindings << u"%1@%2%3"_s.arg(findingName(f)).arg(f.line).arg(f.repeated ? u"+"_s : QString());
        for (const ImportWarning &w : profile.warnings)
            gotWarnings << u"%1: %2"_s.arg(w.line).arg(w.text);
        ticked.sort();
        gotTicked.sort();
        QCOMPARE(gotTicked, ticked);
        QCOMPARE(gotFindings, findings);
        QCOMPARE(gotWarnings, warnings);
        QCOMPARE(profile.tagValues().head, profile.head);
    }

    // "SCRIPT" in the expected page stands for the structured data's line.
    void placement_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("expected");
        QTest::addRow("replaced where they stand, later ones removed, the rest after the last known tag")
            << QByteArray("<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n  <title>Old</title>\n"
                          "  <meta name=\"viewport\" content=\"width=1024\">\n"
                          "  <link rel=\"stylesheet\" href=\"s.css\">\n"
                          "  <link rel=\"canonical\" href=\"http://old.example.org/\">\n"
                          "  <link rel=\"alternate\" hreflang=\"fr\" href=\"https://example.org/fr/\">\n"
                          "  <link rel=\"alternate\" type=\"application/rss+xml\" href=\"/feed\">\n"
                          "  <link rel=\"canonical\" href=\"http://dup.example.org/\">\n</head>\n")
            << QByteArray(
                   "<!DOCTYPE html>\n<html lang=\"en-GB\">\n<head>\n  <title>Home</title>\n"
                   "  <meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                   "  <link rel=\"stylesheet\" href=\"s.css\">\n"
                   "  <link rel=\"canonical\" href=\"https://example.org/\">\n"
                   "  <link rel=\"alternate\" hreflang=\"de\" href=\"https://example.org/de/\">\n"
                   "  <link rel=\"alternate\" hreflang=\"en\" href=\"https://example.org/en/\">\n"
                   "  <meta name=\"theme-color\" content=\"#336699\">\n"
                   "  <link rel=\"icon\" href=\"/favicon.ico\">\n  SCRIPT\n"
                   "  <link rel=\"alternate\" type=\"application/rss+xml\" href=\"/feed\">\n</head>\n");
        QTest::addRow("XHTML: xml:lang beside lang, the XHTML closer, CR LF")
            << QByteArray(
                   "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" \"x\">\r\n"
                   "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n<head>\r\n\t<title>Home</title>\r\n"
                   "</head>\r\n</html>\r\n")
            << QByteArray(
                   "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" \"x\">\r\n"
                   "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"en-GB\" lang=\"en-GB\">\r\n"
                   "<head>\r\n\t<title>Home</title>\r\n"
                   "\t<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\" />\r\n"
                   "\t<link rel=\"canonical\" href=\"https://example.org/\" />\r\n"
                   "\t<link rel=\"alternate\" hreflang=\"de\" href=\"https://example.org/de/\" />\r\n"
                   "\t<link rel=\"alternate\" hreflang=\"en\" href=\"https://example.org/en/\" />\r\n"
                   "\t<meta name=\"theme-color\" content=\"#336699\" />\r\n"
                   "\t<link rel=\"icon\" href=\"/favicon.ico\" />\r\n\tSCRIPT\r\n</head>\r\n</html>\r\n");
        QTest::addRow("more alternates on the page: the later ones go; structured data of another type stays")
            << QByteArray(
                   "<html lang=\"en-GB\"><head>\n<title>Home</title>\n"
                   "<script "
                   "type=\"application/ld+json\">{\"@type\":\"Organization\",\"name\":\"O\"}</script>\n"
                   "<link rel=\"alternate\" hreflang=\"de\" href=\"https://example.org/de/\">\n"
                   "<link rel=\"alternate\" hreflang=\"fr\" href=\"https://example.org/fr/\">\n"
                   "<link rel=\"alternate\" hreflang=\"it\" href=\"https://example.org/it/\">\n"
                   "<script type=\"application/ld+json\">{\"@type\":\"WebSite\",\"name\":\"Old\"}</script>\n"
                   "<script type=\"application/ld+json\">{\"@type\":\"WebSite\",\"name\":\"Dup\"}</script>\n"
                   "</head>")
            << QByteArray(
                   "<html lang=\"en-GB\"><head>\n<title>Home</title>\n"
                   "<script "
                   "type=\"application/ld+json\">{\"@type\":\"Organization\",\"name\":\"O\"}</script>\n"
                   "<link rel=\"alternate\" hreflang=\"de\" href=\"https://example.org/de/\">\n"
                   "<link rel=\"alternate\" hreflang=\"en\" href=\"https://example.org/en/\">\n"
                   "SCRIPT\n"
                   "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                   "<link rel=\"canonical\" href=\"https://example.org/\">\n"
                   "<meta name=\"theme-color\" content=\"#336699\">\n"
                   "<link rel=\"icon\" href=\"/favicon.ico\">\n"
                   "</head>");
        QTest::addRow("no known tag: before </head>; a bare <html> gets its lang")
            << QByteArray("<html>\n<head>\n  <link rel=\"stylesheet\" href=\"s.css\">\n</head>\n")
            << QByteArray("<html lang=\"en-GB\">\n<head>\n  <link rel=\"stylesheet\" href=\"s.css\">\n"
                          "  <title>Home</title>\n"
                          "  <meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                          "  <link rel=\"canonical\" href=\"https://example.org/\">\n"
                          "  <link rel=\"alternate\" hreflang=\"de\" href=\"https://example.org/de/\">\n"
                          "  <link rel=\"alternate\" hreflang=\"en\" href=\"https://example.org/en/\">\n"
                          "  <meta name=\"theme-color\" content=\"#336699\">\n"
                          "  <link rel=\"icon\" href=\"/favicon.ico\">\n  SCRIPT\n</head>\n");
    }
    void placement()
    {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, expected);
        const ProfileLines lines = linesOf(everyField());
        QCOMPARE(lines.headHtml[StructuredData].size(), 1);
        expected.replace("SCRIPT", lines.headHtml[StructuredData].front().toUtf8());
        QCOMPARE(applied(page, lines), expected);
        // Applied again, nothing changes.
        QVERIFY(editsOf(expected, lines).empty());
    }

    void language_data()
    {
        QTest::addColumn<QByteArray>("tag");
        QTest::addColumn<QByteArray>("expected");
        QTest::addRow("added") << QByteArray("<html>") << QByteArray("<html lang=\"en-GB\">");
        QTest::addRow("replaced, unquoted")
            << QByteArray("<html lang=de>") << QByteArray("<html lang=en-GB>");
        QTest::addRow("replaced, its name's case and quotes kept")
            << QByteArray("<html LANG='de' class=\"x\">") << QByteArray("<html LANG='en-GB' class=\"x\">");
        QTest::addRow("a lang without value")
            << QByteArray("<html lang class=x>") << QByteArray("<html lang=\"en-GB\" class=x>");
        QTest::addRow("added after the last attribute, before blanks and line breaks")
            << QByteArray("<html\n  class=\"a\"\n>") << QByteArray("<html\n  class=\"a\" lang=\"en-GB\"\n>");
        QTest::addRow("added before a self-closing slash")
            << QByteArray("<html class=\"a\" />") << QByteArray("<html class=\"a\" lang=\"en-GB\" />");
        QTest::addRow("a slash ending an unquoted value is the value's")
            << QByteArray("<html class=a/>") << QByteArray("<html class=a/ lang=\"en-GB\">");
        QTest::addRow("HTML: an xml:lang there is replaced too, lang added after it")
            << QByteArray("<html xml:lang=\"de\">") << QByteArray("<html xml:lang=\"en-GB\" lang=\"en-GB\">");
        QTest::addRow("HTML: both replaced") << QByteArray("<html xml:lang=\"de\" lang=\"de\">")
                                             << QByteArray("<html xml:lang=\"en-GB\" lang=\"en-GB\">");
        QTest::addRow("XHTML: xml:lang added before the lang")
            << QByteArray("<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"de\">")
            << QByteArray("<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"en-GB\" lang=\"en-GB\">");
        QTest::addRow("XHTML: lang added after the xml:lang")
            << QByteArray("<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"de\" dir=\"ltr\">")
            << QByteArray("<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"en-GB\" lang=\"en-GB\" "
                          "dir=\"ltr\">");
        QTest::addRow("the same language: nothing to do")
            << QByteArray("<html lang=\"en-GB\">") << QByteArray("<html lang=\"en-GB\">");
        QTest::addRow("a later <html> tag's lang is not the page's")
            << QByteArray("<html><head><html lang=\"fr\">")
            << QByteArray("<html lang=\"en-GB\"><head><html lang=\"fr\">");
    }
    void language()
    {
        QFETCH(QByteArray, tag);
        QFETCH(QByteArray, expected);
        const QByteArray rest = "<head><title>T</title></head>";
        QCOMPARE(applied(tag + rest, languageOnly()), expected + rest);
        QVERIFY(editsOf(expected + rest, languageOnly()).empty());
        // Unticked, the page's language stays.
        TagValues values = TagValues::defaults();
        values.head[Language] = u"en-GB"_s;
        values.head.used[Canonical] = true;
        QVERIFY(editsOf(tag + rest, linesOf(values, false)).empty());
    }

    void leftAlone_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<ProfileLines>("lines");
        QTest::addColumn<QString>("error");
        ProfileLines script;
        script.headHtml[StructuredData] = QStringList{
            u"<script type=\"application/ld+json\">{\"@type\":\"WebSite\",\"name\":\"</script><p>x\"}</script>"_s};
        script.structuredDataType = u"WebSite"_s;
        ProfileLines comment = script;
        comment.headHtml[StructuredData] = QStringList{
            u"<script type=\"application/ld+json\">{\"@type\":\"WebSite\",\"name\":\"<!--<script>\"}</script>"_s};
        QTest::addRow("the language ticked, no <html> start tag")
            << QByteArray("<head><title>T</title></head>") << languageOnly()
            << u"has no <html> start tag to give its lang; left alone"_s;
        QTest::addRow("a structured data script without end tag")
            << QByteArray("<html><head><script type=\"application/ld+json\">{\"@type\":\"WebSite\"}")
            << linesOf(everyField()) << u"its <script> has no end tag"_s;
        QTest::addRow("lines after a script without end tag would be in it")
            << QByteArray(
                   "<html><head><title>T</title><script type=\"application/ld+json\">{\"@type\":\"Article\"}")
            << linesOf(everyField()) << u"its <script> has no end tag"_s;
        QTest::addRow("a script whose text would end it early")
            << QByteArray("<html><head></head>") << script
            << u"the structured-data holds \"</script\", which would end it early; left alone"_s;
        QTest::addRow("a script whose text could keep it from ending")
            << QByteArray("<html><head></head>") << comment
            << u"the structured-data holds \"<!--\", which can keep its script from ending; left alone"_s;
    }
    void leftAlone()
    {
        QFETCH(QByteArray, page);
        QFETCH(ProfileLines, lines);
        QFETCH(QString, error);
        QCOMPARE(errorOf([&] { editsOf(page, lines); }), error);
    }

    void refusedValueStopsBeforeAnyPage_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("error");
        QTest::addRow("canonical") << int(Canonical) << u"/x"_s
                                   << u"canonical: \"/x\" is not an absolute http:// or https:// address"_s;
        QTest::addRow("language, which has no line")
            << int(Language) << u"en_GB"_s << u"lang: \"en_GB\" is not a BCP 47 language tag such as en-GB"_s;
    }
    void refusedValueStopsBeforeAnyPage()
    {
        QFETCH(int, field);
        QFETCH(QString, value);
        TagValues values = TagValues::defaults();
        values.head[field] = value;
        values.head.used[std::size_t(field)] = true;
        QTEST(errorOf([&] { linesOf(values); }), "error");
    }

    void onlyHeadFieldsAreSomethingToWrite()
    {
        QVERIFY(!languageOnly().writesNothing());
        TagValues values = TagValues::defaults();
        values.head[Canonical] = u"https://example.org/"_s;
        QVERIFY(linesOf(values, false).writesNothing()); // not ticked
        values.head.used[Icon] = true;                   // ticked, no value
        QVERIFY(linesOf(values, false).writesNothing());
        values.head.used[Viewport] = true; // the default text
        QVERIFY(!linesOf(values, false).writesNothing());
    }

    // A page written with the head tags: importing it and applying what
    // was imported changes no byte.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("file");
        const QDir dir(QStringLiteral(BRINDLE_TEST_DATA "/pagehead/head"));
        const QStringList pages = dir.entryList({u"*.html"_s}, QDir::Files, QDir::Name);
        QVERIFY(pages.size() >= 3);
        for (const QString &page : pages)
            QTest::addRow("%s", qPrintable(page)) << dir.filePath(page);
    }
    void roundTrip()
    {
        QFETCH(QString, file);
        const QByteArray page = test::readFile(file);
        const PageHead head = headOf(page);
        const ImportedProfile profile = importHead(head);
        QVERIFY(profile.head.anyUsed());
        QCOMPARE(profile.warnings.size(), std::size_t(0));
        const ProfileLines lines = ProfileLines::of(profile.tagValues(), profile.ticks);
        const std::vector<PageEdit> edits = planEdits(head, page, lines, head.encoding);
        QCOMPARE(applyEdits(page, edits), page);
        QVERIFY(edits.empty());
    }
};

QTEST_GUILESS_MAIN(TestHeadFields)
#include "tst_headfields.moc"
