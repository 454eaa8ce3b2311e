// The head lines: their form and order for HTML and XHTML, the refused
// values, the alternates' text and the structured data's JSON.

#include "base/error.h"
#include "common/errorof.h"
#include "tags/headtags.h"
#include "tags/metataggenerator.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brindle;
using brindle::test::errorOf;
using namespace brindle::tags;

namespace {

TagValues headOf(std::initializer_list<std::pair<int, QString>> values, std::initializer_list<int> ticked)
{
    TagValues input = TagValues::defaults();
    for (const auto &[field, value] : values)
        input.head[field] = value;
    for (int field : ticked)
        input.head.used[std::size_t(field)] = true;
    return input;
}

const QString kNoError = u"<no error>"_s;

} // namespace

class TestHeadTags : public QObject
{
    Q_OBJECT

private slots:
    void lines_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<TagValues>("input");
        QTest::addColumn<QStringList>("expected");

        const TagValues every =
            headOf({{Viewport, u"width=device-width"_s},
                    {Canonical, u"https://example.org/en/"_s},
                    {Alternates, u"de=https://example.org/de/ x-default=https://example.org/"_s},
                    {ThemeColor, u"#336699"_s},
                    {Icon, u"/favicon.ico"_s},
                    {Language, u"en-GB"_s},
                    {StructuredData, u"WebSite"_s}},
                   {Viewport, Canonical, Alternates, ThemeColor, Icon, Language, StructuredData});
        QTest::addRow("every field, HTML, in field order")
            << u"HTML"_s << every
            << QStringList{u"<meta name=\"viewport\" content=\"width=device-width\">"_s,
                           u"<link rel=\"canonical\" href=\"https://example.org/en/\">"_s,
                           u"<link rel=\"alternate\" hreflang=\"de\" href=\"https://example.org/de/\">"_s,
                           u"<link rel=\"alternate\" hreflang=\"x-default\" href=\"https://example.org/\">"_s,
                           u"<meta name=\"theme-color\" content=\"#336699\">"_s,
                           u"<link rel=\"icon\" href=\"/favicon.ico\">"_s,
                           u"<script type=\"application/ld+json\">{\"@context\":\"https://schema.org\","
                           u"\"@type\":\"WebSite\",\"url\":\"https://example.org/en/\"}</script>"_s};
        QTest::addRow("every field, XHTML closer on meta and link, not on the script")
            << u"XHTML"_s << every
            << QStringList{
                   u"<meta name=\"viewport\" content=\"width=device-width\" />"_s,
                   u"<link rel=\"canonical\" href=\"https://example.org/en/\" />"_s,
                   u"<link rel=\"alternate\" hreflang=\"de\" href=\"https://example.org/de/\" />"_s,
                   u"<link rel=\"alternate\" hreflang=\"x-default\" href=\"https://example.org/\" />"_s,
                   u"<meta name=\"theme-color\" content=\"#336699\" />"_s,
                   u"<link rel=\"icon\" href=\"/favicon.ico\" />"_s,
                   u"<script type=\"application/ld+json\">{\"@context\":\"https://schema.org\","
                   u"\"@type\":\"WebSite\",\"url\":\"https://example.org/en/\"}</script>"_s};
        QTest::addRow("ticked viewport without text writes the default")
            << u"HTML"_s << headOf({}, {Viewport})
            << QStringList{u"<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"_s};
        QTest::addRow("values without a tick write nothing")
            << u"HTML"_s
            << headOf({{Canonical, u"https://example.org/"_s}, {ThemeColor, u"red"_s}}, {ThemeColor})
            << QStringList{u"<meta name=\"theme-color\" content=\"red\">"_s};
        QTest::addRow("nothing ticked: no line, not even a refusal")
            << u"HTML"_s << headOf({{Canonical, u"relative.html"_s}, {Viewport, u"x"_s}}, {})
            << QStringList{};
        QTest::addRow("language ticked alone gives no line")
            << u"HTML"_s << headOf({{Language, u"fr"_s}}, {Language}) << QStringList{};
        QTest::addRow("ticked fields without a value give no line")
            << u"HTML"_s << headOf({}, {Canonical, Alternates, Icon, StructuredData}) << QStringList{};
        QTest::addRow("an address's & and quote are escaped for HTML and XML alike")
            << u"XHTML"_s
            << headOf({{Canonical, u"https://example.org/?a=1&b=2"_s}, {Viewport, u"a \"b\" <c>"_s}},
                      {Canonical, Viewport})
            << QStringList{u"<meta name=\"viewport\" content=\"a &quot;b&quot; &lt;c>\" />"_s,
                           u"<link rel=\"canonical\" href=\"https://example.org/?a=1&amp;b=2\" />"_s};
        QTest::addRow("alternates keep their order and letter case")
            << u"HTML"_s
            << headOf({{Alternates, u"\n pt-BR=https://example.org/br/\n\nen=http://example.org/\t"_s}},
                      {Alternates})
            << QStringList{u"<link rel=\"alternate\" hreflang=\"pt-BR\" href=\"https://example.org/br/\">"_s,
                           u"<link rel=\"alternate\" hreflang=\"en\" href=\"http://example.org/\">"_s};
    }
    void lines()
    {
        QFETCH(QString, mode);
        QFETCH(TagValues, input);
        QTEST(headLines(input, mode), "expected");
    }

    void refusals_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("problem"); // empty: accepted

        const QString notAbsolute = u"%1: \"%2\" is not an absolute http:// or https:// address"_s;
        QTest::addRow("canonical relative")
            << int(Canonical) << u"/en/"_s << notAbsolute.arg(u"canonical"_s, u"/en/"_s);
        QTest::addRow("canonical other scheme") << int(Canonical) << u"ftp://example.org/"_s
                                                << notAbsolute.arg(u"canonical"_s, u"ftp://example.org/"_s);
        QTest::addRow("canonical with blank")
            << int(Canonical) << u"https://example.org/a b"_s
            << notAbsolute.arg(u"canonical"_s, u"https://example.org/a b"_s);
        QTest::addRow("canonical accepted")
            << int(Canonical) << u"https://example.org/a?b=c&d=e"_s << QString();
        QTest::addRow("logo relative")
            << int(Logo) << u"logo.png"_s << notAbsolute.arg(u"logo"_s, u"logo.png"_s);
        QTest::addRow("logo accepted") << int(Logo) << u"http://example.org/logo.png"_s << QString();

        const QString notColour = u"theme-color: \"%1\" is not a CSS colour such as #336699 or navy"_s;
        QTest::addRow("colour #rgb") << int(ThemeColor) << u"#369"_s << QString();
        QTest::addRow("colour #rgba") << int(ThemeColor) << u"#369f"_s << QString();
        QTest::addRow("colour #RRGGBB upper case") << int(ThemeColor) << u"#33AAFF"_s << QString();
        QTest::addRow("colour #rrggbbaa") << int(ThemeColor) << u"#336699cc"_s << QString();
        QTest::addRow("colour name in any case") << int(ThemeColor) << u"RebeccaPurple"_s << QString();
        QTest::addRow("colour five digits") << int(ThemeColor) << u"#33669"_s << notColour.arg(u"#33669"_s);
        QTest::addRow("colour not hex") << int(ThemeColor) << u"#33669g"_s << notColour.arg(u"#33669g"_s);
        QTest::addRow("colour without #") << int(ThemeColor) << u"336699"_s << notColour.arg(u"336699"_s);
        QTest::addRow("colour unknown name") << int(ThemeColor) << u"bluish"_s << notColour.arg(u"bluish"_s);
        QTest::addRow("colour name with blank") << int(ThemeColor) << u" red"_s << notColour.arg(u" red"_s);

        const QString notIcon =
            u"icon: \"%1\" is not an http:// or https:// address or a path such as /favicon.ico"_s;
        QTest::addRow("icon site path") << int(Icon) << u"/img/icon.png"_s << QString();
        QTest::addRow("icon relative path") << int(Icon) << u"icon.svg"_s << QString();
        QTest::addRow("icon address") << int(Icon) << u"https://cdn.example.org/i.png"_s << QString();
        QTest::addRow("icon script scheme")
            << int(Icon) << u"javascript:alert(1)"_s << notIcon.arg(u"javascript:alert(1)"_s);
        QTest::addRow("icon local file")
            << int(Icon) << u"file:///home/me/i.png"_s << notIcon.arg(u"file:///home/me/i.png"_s);
        QTest::addRow("icon path with blank")
            << int(Icon) << u"/my icon.png"_s << notIcon.arg(u"/my icon.png"_s);

        const QString notTag = u"lang: \"%1\" is not a BCP 47 language tag such as en-GB"_s;
        QTest::addRow("lang region") << int(Language) << u"en-GB"_s << QString();
        QTest::addRow("lang script") << int(Language) << u"zh-Hant"_s << QString();
        QTest::addRow("lang underscore") << int(Language) << u"en_GB"_s << notTag.arg(u"en_GB"_s);
        QTest::addRow("lang unknown language") << int(Language) << u"qq"_s << notTag.arg(u"qq"_s);
        QTest::addRow("lang a name") << int(Language) << u"English"_s << notTag.arg(u"English"_s);

        const QString notType = u"structured-data: \"%1\" is not one of WebSite, Organization, Article"_s;
        QTest::addRow("type Organization") << int(StructuredData) << u"Organization"_s << QString();
        QTest::addRow("type letter case counts")
            << int(StructuredData) << u"website"_s << notType.arg(u"website"_s);
        QTest::addRow("type other") << int(StructuredData) << u"Person"_s << notType.arg(u"Person"_s);

        const QString notDate = u"%1: \"%2\" is not an ISO 8601 date or date and time such as 2024-05-01 or "
                                u"2024-05-01T09:30:00+02:00"_s;
        QTest::addRow("date") << int(DatePublished) << u"2024-02-29"_s << QString();
        QTest::addRow("date-time with zone")
            << int(DateModified) << u"2024-05-01T09:30:00+02:00"_s << QString();
        QTest::addRow("date-time UTC, fractions")
            << int(DateModified) << u"2024-05-01T09:30:00.25Z"_s << QString();
        QTest::addRow("date-time without seconds or zone")
            << int(DatePublished) << u"2024-05-01T09:30"_s << QString();
        QTest::addRow("no such day") << int(DatePublished) << u"2023-02-29"_s
                                     << notDate.arg(u"published"_s, u"2023-02-29"_s);
        QTest::addRow("no such hour") << int(DateModified) << u"2024-05-01T24:00"_s
                                      << notDate.arg(u"modified"_s, u"2024-05-01T24:00"_s);
        QTest::addRow("zone out of range") << int(DateModified) << u"2024-05-01T09:30+25:00"_s
                                           << notDate.arg(u"modified"_s, u"2024-05-01T09:30+25:00"_s);
        QTest::addRow("other date order")
            << int(DatePublished) << u"01.05.2024"_s << notDate.arg(u"published"_s, u"01.05.2024"_s);
        QTest::addRow("space for T") << int(DatePublished) << u"2024-05-01 09:30"_s
                                     << notDate.arg(u"published"_s, u"2024-05-01 09:30"_s);

        QTest::addRow("viewport line break")
            << int(Viewport) << u"width=device-width\ninitial-scale=1"_s
            << u"viewport: \"width=device-width\ninitial-scale=1\" holds a control character"_s;
        QTest::addRow("viewport any text") << int(Viewport) << u"width=500, user-scalable=no"_s << QString();

        QTest::addRow("alternate without =")
            << int(Alternates) << u"de https://example.org/"_s << u"alternate: \"de\" is not LANG=URL"_s;
        QTest::addRow("alternate bad tag")
            << int(Alternates) << u"german=https://example.org/de/"_s
            << u"alternate: \"german\" in \"german=https://example.org/de/\" is not a BCP 47 language tag or "
               u"x-default"_s;
        QTest::addRow("alternate relative address")
            << int(Alternates) << u"de=/de/"_s
            << u"alternate: \"/de/\" in \"de=/de/\" is not an absolute http:// or https:// address"_s;
        QTest::addRow("alternate language twice, letter case aside")
            << int(Alternates) << u"de=https://a.example/ DE=https://b.example/"_s
            << u"alternate: \"DE\" is given more than once"_s;
        QTest::addRow("alternate x-default in capitals")
            << int(Alternates) << u"X-Default=https://a.example/"_s << QString();
        QTest::addRow("empty is never refused") << int(Canonical) << QString() << QString();
    }
    void refusals()
    {
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(QString, problem);
        QCOMPARE(headValueProblem(field, value), problem);

        // The lines refuse it the same way once the field (or, for the
        // script's own fields, the structured data) is ticked, never before.
        TagValues input = headOf({{field, value}}, {});
        QCOMPARE(errorOf([&] { headLines(input, u"HTML"); }), kNoError);
        const bool scriptField = !headFieldInfo(field).tickable;
        if (scriptField)
            input.head[StructuredData] = u"Article"_s;
        input.head.used[std::size_t(scriptField ? int(StructuredData) : field)] = true;
        QCOMPARE(errorOf([&] { headLines(input, u"HTML"); }), problem.isEmpty() ? kNoError : problem);
    }

    void everyProblemAtOnce()
    {
        HeadValues head;
        head[Logo] = u"logo.png"_s;
        head[Canonical] = u"/"_s;
        head[ThemeColor] = u"#336699"_s;
        head[StructuredData] = u"Thing"_s;
        QCOMPARE(headValueProblems(head), (QStringList{headValueProblem(Canonical, u"/"_s),
                                                       headValueProblem(StructuredData, u"Thing"_s),
                                                       headValueProblem(Logo, u"logo.png"_s)}));
    }

    void alternatesRoundTrip()
    {
        const QList<Alternate> alternates = parseAlternates(u"en-GB=https://example.org/uk/?a=1&b=2\r\n"
                                                            u"x-default=https://example.org/"_s);
        QCOMPARE(alternates, (QList<Alternate>{{u"en-GB"_s, u"https://example.org/uk/?a=1&b=2"_s},
                                               {u"x-default"_s, u"https://example.org/"_s}}));
        const QString text = alternatesText(alternates);
        QCOMPARE(text, u"en-GB=https://example.org/uk/?a=1&b=2 x-default=https://example.org/"_s);
        QCOMPARE(parseAlternates(text), alternates);
        QVERIFY(parseAlternates(u" \n "_s).isEmpty());
        QCOMPARE(alternatesText({}), QString());
    }

    void structuredData_data()
    {
        QTest::addColumn<TagValues>("input");
        QTest::addColumn<QString>("json");

        TagValues site = headOf({{StructuredData, u"WebSite"_s}, {Canonical, u"https://example.org/"_s}}, {});
        site.values[Title] = u"Home"_s;
        site.social[OgSiteName] = u"Example"_s;
        site.social[OgUrl] = u"https://other.example/"_s;
        QTest::addRow("WebSite: site name before title, canonical before og:url")
            << site
            << u"{\"@context\":\"https://schema.org\",\"@type\":\"WebSite\",\"name\":\"Example\","
               u"\"url\":\"https://example.org/\"}"_s;

        TagValues fallback = headOf({{StructuredData, u"WebSite"_s}}, {});
        fallback.values[Title] = u"Home"_s;
        fallback.social[OgUrl] = u"https://other.example/"_s;
        QTest::addRow("WebSite: title and og:url when the others are empty")
            << fallback
            << u"{\"@context\":\"https://schema.org\",\"@type\":\"WebSite\",\"name\":\"Home\","
               u"\"url\":\"https://other.example/\"}"_s;

        TagValues organization = headOf({{StructuredData, u"Organization"_s},
                                         {Canonical, u"https://example.org/"_s},
                                         {Logo, u"https://example.org/logo.png"_s},
                                         {DatePublished, u"2024-01-01"_s}},
                                        {});
        organization.values[Title] = u"Fish & Chips Ltd"_s;
        organization.values[Description] = u"We fry."_s;
        QTest::addRow("Organization: name, url, description, logo; no dates")
            << organization
            << u"{\"@context\":\"https://schema.org\",\"@type\":\"Organization\","
               u"\"description\":\"We fry.\",\"logo\":\"https://example.org/logo.png\","
               u"\"name\":\"Fish & Chips Ltd\",\"url\":\"https://example.org/\"}"_s;

        TagValues article = headOf({{StructuredData, u"Article"_s},
                                    {DatePublished, u"2024-05-01"_s},
                                    {DateModified, u"2024-05-02T10:00:00Z"_s},
                                    {Logo, u"https://example.org/logo.png"_s}},
                                   {});
        article.values[Title] = u"Ten \"quick\" fish"_s;
        article.values[Author] = u"Ann Example"_s;
        article.social[OgImage] = u"https://example.org/fish.jpg"_s;
        article.social[OgSiteName] = u"Fish Weekly"_s;
        QTest::addRow("Article: headline, image, dates, author as a person, the site as publisher")
            << article
            << u"{\"@context\":\"https://schema.org\",\"@type\":\"Article\","
               u"\"author\":{\"@type\":\"Person\",\"name\":\"Ann Example\"},"
               u"\"dateModified\":\"2024-05-02T10:00:00Z\",\"datePublished\":\"2024-05-01\","
               u"\"headline\":\"Ten \\\"quick\\\" fish\",\"image\":\"https://example.org/fish.jpg\","
               u"\"publisher\":{\"@type\":\"Organization\",\"logo\":{\"@type\":\"ImageObject\","
               u"\"url\":\"https://example.org/logo.png\"},\"name\":\"Fish Weekly\"}}"_s;

        TagValues script = headOf({{StructuredData, u"Article"_s}}, {});
        script.values[Title] = u"</script><script>alert(1)</script>"_s;
        script.values[Description] = u"<!--<script>"_s;
        QTest::addRow("a value cannot end or derail the script")
            << script
            << u"{\"@context\":\"https://schema.org\",\"@type\":\"Article\","
               u"\"description\":\"\\u003c!--<script>\","
               u"\"headline\":\"<\\/script><script>alert(1)<\\/script>\"}"_s;

        QTest::addRow("no type: no JSON")
            << headOf({{Canonical, u"https://example.org/"_s}}, {}) << QString();
    }
    void structuredData()
    {
        QFETCH(TagValues, input);
        QFETCH(QString, json);
        const QString written = structuredDataJson(input);
        QCOMPARE(written, json);
        if (json.isEmpty())
            return;
        // The escapes read back as the values themselves.
        const QJsonObject object = QJsonDocument::fromJson(written.toUtf8()).object();
        if (object.contains(u"headline"_s))
            QCOMPARE(object.value(u"headline"_s).toString(), input.values[Title]);
        if (object.contains(u"description"_s))
            QCOMPARE(object.value(u"description"_s).toString(), input.values[Description]);
    }

    void xhtmlScriptHoldsNoMarkupCharacters()
    {
        TagValues input = headOf({{StructuredData, u"Organization"_s}}, {StructuredData});
        input.values[Title] = u"Fish & <Chips>"_s;
        const QStringList lines = headLines(input, u"XHTML");
        QCOMPARE(lines.size(), 1);
        const QString open = u"<script type=\"application/ld+json\">"_s;
        const QString close = u"</script>"_s;
        QVERIFY(lines[0].startsWith(open) && lines[0].endsWith(close));
        const QString json = lines[0].sliced(open.size()).chopped(close.size());
        QVERIFY(!json.contains(u'<') && !json.contains(u'&'));
        QCOMPARE(QJsonDocument::fromJson(json.toUtf8()).object().value(u"name"_s).toString(),
                 u"Fish & <Chips>"_s);
    }

    void scriptRefusesWhatItBorrows()
    {
        // Unticked, the canonical address and og:image still reach the script.
        TagValues input =
            headOf({{StructuredData, u"Article"_s}, {Canonical, u"/relative"_s}}, {StructuredData});
        QCOMPARE(errorOf([&] { headLines(input, u"HTML"); }), headValueProblem(Canonical, u"/relative"_s));
        input.head[Canonical].clear();
        input.social[OgImage] = u"fish.jpg"_s;
        QCOMPARE(errorOf([&] { headLines(input, u"HTML"); }), socialValueProblem(OgImage, u"fish.jpg"_s));
    }

    void generatorAppendsTheHeadLinesLast()
    {
        TagValues input = headOf({{Canonical, u"https://example.org/"_s}}, {Canonical});
        input.values[Title] = u"Home"_s;
        input.social[OgType] = u"website"_s;
        input.social.used = true;
        QCOMPARE(generateTags(input, RowTicks{{false, true}}, u"HTML").lines,
                 (QStringList{u"<title>Home</title>"_s, u"<meta property=\"og:title\" content=\"Home\">"_s,
                              u"<meta property=\"og:type\" content=\"website\">"_s,
                              u"<link rel=\"canonical\" href=\"https://example.org/\">"_s}));

        // The head lines alone are enough to show the viewer; the language alone is not.
        input.social.used = false;
        QVERIFY(!generateTags(input, RowTicks{}, u"XHTML").noticeDue);
        input.head = headOf({{Language, u"en"_s}}, {Language}).head;
        QVERIFY(generateTags(input, RowTicks{}, u"HTML").noticeDue);

        // Values without a tick leave the output byte for byte as it was.
        const RowTicks ticks{{false, true, false, true}};
        input.values[Description] = u"Fish"_s;
        input.head = HeadValues{};
        const QString before = joinLines(generateTags(input, ticks, u"HTML").lines);
        input.head = headOf({{Viewport, u"width=500"_s}, {Canonical, u"not an address"_s}}, {}).head;
        QCOMPARE(joinLines(generateTags(input, ticks, u"HTML").lines), before);
    }

    void lookups()
    {
        for (int f = 0; f < kHeadFieldCount; ++f) {
            const HeadFieldInfo &info = headFieldInfo(f);
            QCOMPARE(headFieldOfKey(QString::fromUtf8(info.key.data(), qsizetype(info.key.size()))), f);
        }
        QCOMPARE(headFieldOfKey(u"Viewport"), -1);
        QCOMPARE(headFieldOfKey(u"alternates"), -1);
    }
};

QTEST_GUILESS_MAIN(TestHeadTags)
#include "tst_headtags.moc"
