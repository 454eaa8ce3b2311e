// The social card lines: their form for HTML and XHTML, their order, the
// fallback to the classic title and description, and the refused values.

#include "base/error.h"
#include "common/errorof.h"
#include "tags/metataggenerator.h"
#include "tags/socialtags.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace brindle;
using brindle::test::errorOf;
using namespace brindle::tags;

namespace {

RowTicks ticksOf(std::initializer_list<int> rows)
{
    RowTicks ticks{};
    for (int row : rows)
        ticks[std::size_t(row)] = true;
    return ticks;
}

SocialValues socialOf(std::initializer_list<std::pair<int, QString>> values, bool used = true)
{
    SocialValues social;
    for (const auto &[field, value] : values)
        social[field] = value;
    social.used = used;
    return social;
}

} // namespace

class TestSocialTags : public QObject
{
    Q_OBJECT

private slots:
    void lines_data()
    {
        QTest::addColumn<TagMode>("mode");
        QTest::addColumn<SocialValues>("social");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QStringList>("expected");

        const SocialValues every = socialOf({{OgTitle, u"T"_s},
                                             {OgDescription, u"D"_s},
                                             {OgType, u"article"_s},
                                             {OgUrl, u"https://example.org/a"_s},
                                             {OgImage, u"https://example.org/a.png"_s},
                                             {OgImageAlt, u"A cat"_s},
                                             {OgSiteName, u"Example"_s},
                                             {OgLocale, u"en_GB"_s},
                                             {TwitterCard, u"summary_large_image"_s},
                                             {TwitterSite, u"@site"_s},
                                             {TwitterCreator, u"@me"_s}});
        QTest::addRow("every field, HTML, in field order")
            << TagMode::Html << every << QString() << QString()
            << QStringList{u"<meta property=\"og:title\" content=\"T\">"_s,
                           u"<meta property=\"og:description\" content=\"D\">"_s,
                           u"<meta property=\"og:type\" content=\"article\">"_s,
                           u"<meta property=\"og:url\" content=\"https://example.org/a\">"_s,
                           u"<meta property=\"og:image\" content=\"https://example.org/a.png\">"_s,
                           u"<meta property=\"og:image:alt\" content=\"A cat\">"_s,
                           u"<meta property=\"og:site_name\" content=\"Example\">"_s,
                           u"<meta property=\"og:locale\" content=\"en_GB\">"_s,
                           u"<meta name=\"twitter:card\" content=\"summary_large_image\">"_s,
                           u"<meta name=\"twitter:site\" content=\"@site\">"_s,
                           u"<meta name=\"twitter:creator\" content=\"@me\">"_s};
        QTest::addRow("XHTML closer")
            << TagMode::Xhtml << socialOf({{OgType, u"website"_s}, {TwitterCard, u"summary"_s}}) << QString()
            << QString()
            << QStringList{u"<meta property=\"og:type\" content=\"website\" />"_s,
                           u"<meta name=\"twitter:card\" content=\"summary\" />"_s};
        QTest::addRow("quotes written as &quot;, nothing else escaped")
            << TagMode::Html << socialOf({{OgImageAlt, u"a \"b\" & <c>"_s}}) << QString() << QString()
            << QStringList{u"<meta property=\"og:image:alt\" content=\"a &quot;b&quot; & <c>\">"_s};
        QTest::addRow("empty title and description take the classic ones")
            << TagMode::Html << socialOf({{OgType, u"website"_s}}) << u"Home \"Page\""_s << u"Fish & Chips"_s
            << QStringList{u"<meta property=\"og:title\" content=\"Home &quot;Page&quot;\">"_s,
                           u"<meta property=\"og:description\" content=\"Fish & Chips\">"_s,
                           u"<meta property=\"og:type\" content=\"website\">"_s};
        QTest::addRow("own title and description win")
            << TagMode::Xhtml << socialOf({{OgTitle, u"Own"_s}, {OgDescription, u"Mine"_s}}) << u"Classic"_s
            << u"Classic too"_s
            << QStringList{u"<meta property=\"og:title\" content=\"Own\" />"_s,
                           u"<meta property=\"og:description\" content=\"Mine\" />"_s};
        QTest::addRow("used without any value and no classic text: no line")
            << TagMode::Html << socialOf({}) << QString() << QString() << QStringList{};
        QTest::addRow("not used: no line whatever the values")
            << TagMode::Html << socialOf({{OgTitle, u"T"_s}, {OgUrl, u"not an address"_s}}, false) << u"X"_s
            << u"Y"_s << QStringList{};
        QTest::addRow("typed og:type and twitter:card are taken")
            << TagMode::Html << socialOf({{OgType, u"product"_s}, {TwitterCard, u"player"_s}}) << QString()
            << QString()
            << QStringList{u"<meta property=\"og:type\" content=\"product\">"_s,
                           u"<meta name=\"twitter:card\" content=\"player\">"_s};
    }
    void lines()
    {
        QFETCH(TagMode, mode);
        QFETCH(SocialValues, social);
        QFETCH(QString, title);
        QFETCH(QString, description);
        QTEST(socialLines(social, title, description, mode), "expected");
    }

    void refusals_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("problem"); // empty: accepted

        const QString notAbsolute = u"%1: \"%2\" is not an absolute http:// or https:// address"_s;
        const QString notLocale =
            u"og:locale: \"%1\" does not look like en_US (language, underscore, country)"_s;
        QTest::addRow("relative url")
            << int(OgUrl) << u"about.html"_s << notAbsolute.arg(u"og:url"_s, u"about.html"_s);
        QTest::addRow("root-relative image")
            << int(OgImage) << u"/img/card.png"_s << notAbsolute.arg(u"og:image"_s, u"/img/card.png"_s);
        QTest::addRow("scheme-relative image")
            << int(OgImage) << u"//cdn.example.org/c.png"_s
            << notAbsolute.arg(u"og:image"_s, u"//cdn.example.org/c.png"_s);
        QTest::addRow("other scheme")
            << int(OgUrl) << u"ftp://example.org/"_s << notAbsolute.arg(u"og:url"_s, u"ftp://example.org/"_s);
        QTest::addRow("local file") << int(OgImage) << u"file:///home/me/card.png"_s
                                    << notAbsolute.arg(u"og:image"_s, u"file:///home/me/card.png"_s);
        QTest::addRow("no host") << int(OgUrl) << u"https://"_s
                                 << notAbsolute.arg(u"og:url"_s, u"https://"_s);
        QTest::addRow("blank inside") << int(OgUrl) << u"https://example.org/a b"_s
                                      << notAbsolute.arg(u"og:url"_s, u"https://example.org/a b"_s);
        QTest::addRow("leading blank") << int(OgImage) << u" https://example.org/c.png"_s
                                       << notAbsolute.arg(u"og:image"_s, u" https://example.org/c.png"_s);
        QTest::addRow("https accepted") << int(OgUrl) << u"https://example.org/a?b=c#d"_s << QString();
        QTest::addRow("http and upper case accepted")
            << int(OgImage) << u"HTTP://Example.org/C.PNG"_s << QString();
        QTest::addRow("address with port accepted") << int(OgUrl) << u"http://localhost:8080/"_s << QString();
        QTest::addRow("locale accepted") << int(OgLocale) << u"pt_BR"_s << QString();
        QTest::addRow("locale with hyphen") << int(OgLocale) << u"en-US"_s << notLocale.arg(u"en-US"_s);
        QTest::addRow("locale lower case") << int(OgLocale) << u"en_us"_s << notLocale.arg(u"en_us"_s);
        QTest::addRow("locale language only") << int(OgLocale) << u"en"_s << notLocale.arg(u"en"_s);
        QTest::addRow("locale too long") << int(OgLocale) << u"eng_USA"_s << notLocale.arg(u"eng_USA"_s);
        QTest::addRow("title is never checked") << int(OgTitle) << u"about.html"_s << QString();
        QTest::addRow("empty address is not checked") << int(OgUrl) << QString() << QString();
    }
    void refusals()
    {
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(QString, problem);
        QCOMPARE(socialValueProblem(field, value), problem);

        // The generator refuses it the same way, and only while the group is used.
        SocialValues social;
        social[field] = value;
        social.used = true;
        QCOMPARE(errorOf([&] { socialLines(social, {}, {}, TagMode::Html); }),
                 problem.isEmpty() ? u"<no error>"_s : problem);
        social.used = false;
        QCOMPARE(errorOf([&] { socialLines(social, {}, {}, TagMode::Html); }), u"<no error>"_s);
    }

    void generatorAppendsTheSocialLines()
    {
        TagValues values = TagValues::defaults();
        values.values[Title] = u"Home"_s;
        values.social = socialOf({{OgSiteName, u"Site"_s}});
        const GeneratedTags html = generateTags(values, ticksOf({1, 14}), TagMode::Html);
        QCOMPARE(html.lines,
                 (QStringList{u"<title>Home</title>"_s,
                              u"<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">"_s,
                              u"<meta property=\"og:title\" content=\"Home\">"_s,
                              u"<meta property=\"og:site_name\" content=\"Site\">"_s}));
        QVERIFY(!html.noticeDue);

        // The social lines alone are enough to show the viewer.
        const GeneratedTags alone = generateTags(values, RowTicks{}, TagMode::Xhtml);
        QCOMPARE(alone.lines.size(), 2);
        QVERIFY(!alone.noticeDue);

        // A used group without any line still ends in the notice.
        values.values[Title].clear();
        values.social = socialOf({});
        QVERIFY(generateTags(values, RowTicks{}, TagMode::Html).noticeDue);
    }

    void unusedGroupLeavesTheOutputAsItWas()
    {
        TagValues values = TagValues::defaults();
        values.values[Title] = u"Home"_s;
        values.values[Description] = u"Fish"_s;
        const GeneratedTags before = generateTags(values, ticksOf({1, 3, 11, 14}), TagMode::Html);
        values.social = socialOf({{OgTitle, u"T"_s}, {OgImage, u"https://example.org/c.png"_s}}, false);
        const GeneratedTags after = generateTags(values, ticksOf({1, 3, 11, 14}), TagMode::Html);
        QCOMPARE(after.lines, before.lines);
        QCOMPARE(joinLines(after.lines), joinLines(before.lines));
    }

    void lookups()
    {
        for (int f = 0; f < kSocialFieldCount; ++f) {
            const SocialFieldInfo &info = socialFieldInfo(f);
            QCOMPARE(socialFieldOfKey(QString::fromUtf8(info.key.data(), qsizetype(info.key.size()))), f);
            QCOMPARE(socialFieldOfProperty(
                         QString::fromUtf8(info.property.data(), qsizetype(info.property.size())).toUpper()),
                     f);
        }
        QCOMPARE(socialFieldOfProperty(u"og:image:width"), -1);
        QCOMPARE(socialFieldOfKey(u"og:title"), -1);
    }
};

QTEST_GUILESS_MAIN(TestSocialTags)
#include "tst_socialtags.moc"
