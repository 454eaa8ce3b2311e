// The social card tags of existing pages: which elements they are, what
// importing takes from them, and where applying a profile puts their lines.

#include "base/error.h"
#include "common/headof.h"
#include "pagehead/pageapply.h"
#include "pagehead/pageimport.h"

#include <QTest>

using namespace Qt::StringLiterals;
using brindle::test::headOf;
using namespace brindle;
using namespace brindle::pagehead;
using namespace brindle::tags;

namespace {

// Title "Home" ticked; og:type, og:image and twitter:card; og:title falls back to the title.
ProfileLines socialLines()
{
    TagValues values = TagValues::defaults();
    values.values[Title] = u"Home"_s;
    values.social[OgType] = u"website"_s;
    values.social[OgImage] = u"https://example.org/c.png"_s;
    values.social[TwitterCard] = u"summary"_s;
    values.social.used = true;
    RowTicks ticks{};
    ticks[std::size_t(listRowOfTag(Title))] = true;
    return ProfileLines::of(values, ticks);
}

QByteArray applied(const QByteArray &page, const ProfileLines &lines = socialLines())
{
    const PageHead head = headOf(page);
    return applyEdits(page, planEdits(head, page, lines, head.encoding));
}

} // namespace

class TestSocialHead : public QObject
{
    Q_OBJECT

private slots:
    void import_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QStringList>("values");   // property=value of the fields found
        QTest::addColumn<QStringList>("findings"); // name@line, "+" for a repeat
        QTest::addColumn<bool>("used");
        QTest::addRow("property and name, any letter case, values as written")
            << QByteArray("<head>\n<meta property=\"OG:Title\" content=\"A &amp; &quot;B&quot;\">\n"
                          "<meta name=\"twitter:card\" content=\"summary\">\n"
                          "<meta property=\"twitter:site\" content=\"@s\">\n"
                          "<meta name=og:image content=https://example.org/c.png></head>")
            << QStringList{u"og:title=A &amp; \"B\""_s, u"og:image=https://example.org/c.png"_s,
                           u"twitter:card=summary"_s, u"twitter:site=@s"_s}
            << QStringList{u"og:title@2"_s, u"twitter:card@3"_s, u"twitter:site@4"_s, u"og:image@5"_s}
            << true;
        QTest::addRow("the first of two counts, beside the classic tags")
            << QByteArray("<head><title>T</title>\n<meta property=og:locale content=en_US>\n"
                          "<meta property=og:locale content=de_DE></head>")
            << QStringList{u"og:locale=en_US"_s}
            << QStringList{u"title@1"_s, u"og:locale@2"_s, u"og:locale@3+"_s} << true;
        QTest::addRow("a name with blanks around it, without content: found, empty")
            << QByteArray("<head><meta property=\" og:title \"></head>") << QStringList{}
            << QStringList{u"og:title@1"_s} << true;
        QTest::addRow("other properties and nested ones are no field")
            << QByteArray("<head><title>T</title><meta property=og:image:width content=1200>"
                          "<noscript><meta property=og:type content=x></noscript></head>")
            << QStringList{} << QStringList{u"title@1"_s} << false;
    }
    void import()
    {
        QFETCH(QByteArray, page);
        QFETCH(QStringList, values);
        QFETCH(QStringList, findings);
        const ImportedProfile profile = importHead(headOf(page));
        QStringList gotValues, gotFindings;
        for (int f = 0; f < kSocialFieldCount; ++f) {
            if (!profile.social[f].isEmpty())
                gotValues << QString::fromUtf8(socialFieldInfo(f).property.data(),
                                               qsizetype(socialFieldInfo(f).property.size())) +
                                 u'=' + profile.social[f];
        }
        for (const TagFinding &f : profile.findings)
            gotFindings << u"%1@%2%3"_s.arg(findingName(f)).arg(f.line).arg(f.repeated ? u"+"_s : QString());
        QCOMPARE(gotFindings, findings);
        QCOMPARE(gotValues, values);
        QTEST(profile.social.used, "used");
        QCOMPARE(profile.tagValues().social, profile.social);
    }

    void placement_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("expected");
        QTest::addRow("replaced where they stand, later ones removed, missing ones after the last tag")
            << QByteArray(
                   "<html><head>\n  <title>Old</title>\n  <meta property=\"og:type\" content=\"article\">\n"
                   "  <link rel=icon href=i.png>\n  <meta name=\"twitter:card\" content=\"x\">\n"
                   "  <meta property=\"og:type\" content=\"book\">\n</head>\n")
            << QByteArray(
                   "<html><head>\n  <title>Home</title>\n  <meta property=\"og:type\" content=\"website\">\n"
                   "  <link rel=icon href=i.png>\n  <meta name=\"twitter:card\" content=\"summary\">\n"
                   "  <meta property=\"og:title\" content=\"Home\">\n"
                   "  <meta property=\"og:image\" content=\"https://example.org/c.png\">\n</head>\n");
        QTest::addRow("XHTML page: the XHTML closer, CR LF kept")
            << QByteArray(
                   "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" \"x\">\r\n<html><head>\r\n"
                   "\t<title>Home</title>\r\n</head></html>\r\n")
            << QByteArray(
                   "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" \"x\">\r\n<html><head>\r\n"
                   "\t<title>Home</title>\r\n"
                   "\t<meta property=\"og:title\" content=\"Home\" />\r\n"
                   "\t<meta property=\"og:type\" content=\"website\" />\r\n"
                   "\t<meta property=\"og:image\" content=\"https://example.org/c.png\" />\r\n"
                   "\t<meta name=\"twitter:card\" content=\"summary\" />\r\n</head></html>\r\n");
        QTest::addRow("a tag written by another attribute is replaced by the generator's")
            << QByteArray(
                   "<head><title>Home</title><meta name=\"og:type\" content=\"website\">"
                   "<meta property=og:title content=Home><meta property=og:image "
                   "content=\"https://example.org/c.png\"><meta name=twitter:card content=summary></head>")
            << QByteArray("<head><title>Home</title><meta property=\"og:type\" content=\"website\">"
                          "<meta property=\"og:title\" content=\"Home\"><meta property=\"og:image\" "
                          "content=\"https://example.org/c.png\"><meta name=\"twitter:card\" "
                          "content=\"summary\"></head>");
    }
    void placement()
    {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, expected);
        QCOMPARE(applied(page), expected);
        // Applied again, nothing changes.
        const PageHead head = headOf(expected);
        QVERIFY(planEdits(head, expected, socialLines(), head.encoding).empty());
    }

    void unusedGroupWritesNoSocialLine()
    {
        TagValues values = TagValues::defaults();
        values.values[Title] = u"Home"_s;
        values.social[OgType] = u"website"_s;
        RowTicks ticks{};
        ticks[std::size_t(listRowOfTag(Title))] = true;
        const ProfileLines lines = ProfileLines::of(values, ticks);
        const QByteArray page = "<head><title>Old</title><meta property=og:type content=book></head>";
        QCOMPARE(applied(page, lines),
                 QByteArray("<head><title>Home</title><meta property=og:type content=book></head>"));

        // The social lines alone are something to write.
        values.social.used = true;
        ticks = {};
        QVERIFY(!ProfileLines::of(values, ticks).writesNothing());
    }

    void refusedValueStopsBeforeAnyPage()
    {
        TagValues values = TagValues::defaults();
        values.social[OgImage] = u"card.png"_s;
        values.social.used = true;
        try {
            ProfileLines::of(values, RowTicks{});
            QFAIL("no error");
        } catch (const Error &e) {
            QCOMPARE(e.message(), u"og:image: \"card.png\" is not an absolute http:// or https:// address"_s);
        }
    }
};

QTEST_GUILESS_MAIN(TestSocialHead)
#include "tst_socialhead.moc"
