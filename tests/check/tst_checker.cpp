#include "check/checker.h"
#include "check/languagetag.h"
#include "check/pagefacts.h"
#include "check/textmeasure.h"
#include "core/error.h"
#include "core/textutil.h"
#include "tags/tagcatalogue.h"

#include <QBuffer>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brindle;
using namespace brindle::check;

namespace {

// A head that passes every rule: the starting point each fault is added to.
PageFacts goodFacts()
{
    PageFacts facts;
    facts.titles.push_back({u"Fish and Chips in Leeds"_s, {4, 1}});
    MetaFact description;
    description.name = u"description"_s;
    description.content =
        u"Fresh fish and hand-cut chips, fried to order every day from eleven in the morning."_s;
    description.hasContent = true;
    description.at = {5, 1};
    facts.metas.push_back(description);
    MetaFact charset;
    charset.httpEquiv = u"Content-Type"_s;
    charset.content = u"text/html; charset=utf-8"_s;
    charset.hasContent = true;
    charset.at = {6, 1};
    facts.metas.push_back(charset);
    declareCharsets(facts, QByteArrayView("ascii only"));
    return facts;
}

MetaFact meta(const QString &name, const QString &content, int line, bool httpEquiv = false)
{
    MetaFact m;
    (httpEquiv ? m.httpEquiv : m.name) = name;
    m.content = content;
    m.hasContent = true;
    m.at = {line, 1};
    return m;
}

QStringList ruleIds(const PageReport &report)
{
    QStringList ids;
    for (const Finding &f : report.findings)
        ids << f.rule;
    return ids;
}

PageReport checked(const PageFacts &facts, const QString &file = u"page.html"_s)
{
    return checkPage(facts, FontMeasure::liberationSans(), file);
}

using Fault = std::function<void(PageFacts &)>;

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestChecker : public QObject
{
    Q_OBJECT

private slots:
    void everyRuleHasAnIdALevelAndASummary()
    {
        QSet<QString> ids;
        for (const Rule &rule : kRules) {
            const QString id = QString::fromUtf16(rule.id.data(), qsizetype(rule.id.size()));
            QVERIFY2(!ids.contains(id), qPrintable(id));
            ids.insert(id);
            QCOMPARE(findRule(id), &rule);
            QVERIFY(!rule.summary.empty());
        }
        QCOMPARE(findRule(u"no-such-rule"), nullptr);
    }

    void oneFaultOneFinding_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("message");

        QTest::addRow("no fault") << Fault([](PageFacts &) {}) << QString() << 0 << QString();
        QTest::addRow("title missing") << Fault([](PageFacts &f) { f.titles.clear(); }) << u"title-missing"_s
                                       << 1 << u"page has no <title>"_s;
        QTest::addRow("title of blanks is empty")
            << Fault([](PageFacts &f) { f.titles[0].text = u" \n\t"_s; }) << u"title-empty"_s << 4
            << u"title is empty"_s;
        QTest::addRow("second title") << Fault([](PageFacts &f) {
            f.titles.push_back({u"Other"_s, {9, 3}});
        }) << u"title-multiple"_s << 9 << u"second <title>; the first, at line 4, is the one that counts"_s;
        QTest::addRow("title wider than 600 px")
            << Fault([](PageFacts &f) {
                   f.titles[0].text =
                       u"Fish and Chips in Leeds: fresh fish, hand-cut chips and mushy peas, daily"_s;
               })
            << u"title-length"_s << 4
            << u"title is 73 characters, 652 px wide; search results show about 600 px (about 60 characters)"_s;
        QTest::addRow("description missing")
            << Fault([](PageFacts &f) { f.metas.erase(f.metas.begin()); }) << u"description-missing"_s << 1
            << u"page has no <meta name=\"description\">"_s;
        QTest::addRow("description under 50 characters")
            << Fault([](PageFacts &f) { f.metas[0].content = u"Fish and chips."_s; })
            << u"description-short"_s << 5
            << u"description is 15 characters; search results want at least 50"_s;
        QTest::addRow("description wider than 920 px")
            << Fault([](PageFacts &f) { f.metas[0].content = QString(170, u'a'); }) << u"description-length"_s
            << 5 << u"description is 170 characters, 1323 px wide; search results show about 160 (920 px)"_s;
        QTest::addRow("bytes are not the declared charset")
            << Fault([](PageFacts &f) { declareCharsets(f, QByteArrayView("caf\xe9")); })
            << u"charset-undecodable"_s << 6 << u"page's bytes do not decode as utf-8"_s;
        QTest::addRow("second charset differs") << Fault([](PageFacts &f) {
            MetaFact m;
            m.charset = u"ISO-8859-1"_s;
            m.at = {7, 1};
            f.metas.push_back(m);
            declareCharsets(f, QByteArrayView("ascii"));
        }) << u"charset-conflict"_s << 7 << u"charset ISO-8859-1 differs from utf-8, declared at line 6"_s;
        QTest::addRow("charset the checker does not know")
            << Fault([](PageFacts &f) {
                   f.metas[1].content = u"text/html; charset=DOS-720"_s;
                   declareCharsets(f, QByteArrayView("ascii"));
               })
            << u"charset-unknown"_s << 6
            << u"charset DOS-720 is unknown; the page's bytes were not checked against it"_s;
        QTest::addRow("UTF-8 bytes under another charset")
            << Fault([](PageFacts &f) {
                   f.metas[1].content = u"text/html; charset=iso-8859-1"_s;
                   declareCharsets(f, QByteArrayView("Zo\xc3\xab"));
               })
            << u"charset-mismatch"_s << 6
            << u"page's bytes are UTF-8 but it declares iso-8859-1; browsers will show its non-ASCII "
               u"characters "
               u"wrongly"_s;
        QTest::addRow("content-language of a list item")
            << Fault([](PageFacts &f) {
                   f.metas.push_back(meta(u"content-language"_s, u"English"_s, 8, true));
               })
            << u"content-language-tag"_s << 8
            << u"content-language \"English\" is not a language tag (BCP 47); the tag for English is \"en\" "
               u"(Brindle's list writes the language's name, as it always has)"_s;
        QTest::addRow("content-language of another text")
            << Fault(
                   [](PageFacts &f) { f.metas.push_back(meta(u"Content-Language"_s, u"en_US"_s, 8, true)); })
            << u"content-language-tag"_s << 8
            << u"content-language \"en_US\" is not a language tag (BCP 47)"_s;
        QTest::addRow("robots noindex")
            << Fault([](PageFacts &f) { f.metas.push_back(meta(u"robots"_s, u"noindex,follow"_s, 8)); })
            << u"robots-noindex"_s << 8
            << u"robots \"noindex,follow\": search engines leave this page out of their results"_s;
        QTest::addRow("robots nofollow")
            << Fault([](PageFacts &f) { f.metas.push_back(meta(u"ROBOTS"_s, u"index, NoFollow"_s, 8)); })
            << u"robots-nofollow"_s << 8
            << u"robots \"index, NoFollow\": search engines do not follow this page's links"_s;
        QTest::addRow("keywords") << Fault([](PageFacts &f) {
            f.metas.push_back(meta(u"keywords"_s, u"fish, chips"_s, 8));
        }) << u"keywords-ignored"_s
                                  << 8 << u"major search engines ignore the keywords tag"_s;
        QTest::addRow("revisit-after")
            << Fault([](PageFacts &f) { f.metas.push_back(meta(u"revisit-after"_s, u"7 days"_s, 8)); })
            << u"revisit-after-ignored"_s << 8
            << u"major search engines ignore the revisit-after tag; they choose their own visits"_s;
        QTest::addRow("distribution")
            << Fault([](PageFacts &f) { f.metas.push_back(meta(u"distribution"_s, u"Global"_s, 8)); })
            << u"distribution-ignored"_s << 8 << u"major search engines ignore the distribution tag"_s;
        QTest::addRow("rating")
            << Fault([](PageFacts &f) { f.metas.push_back(meta(u"rating"_s, u"General"_s, 8)); })
            << u"rating-ignored"_s << 8
            << u"major search engines ignore rating \"General\"; they read only \"adult\""_s;
    }
    void oneFaultOneFinding()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, rule);
        QFETCH(int, line);
        QFETCH(QString, message);
        PageFacts facts = goodFacts();
        fault(facts);
        const PageReport report = checked(facts);
        if (rule.isEmpty()) {
            QCOMPARE(ruleIds(report), QStringList());
            return;
        }
        QCOMPARE(ruleIds(report), QStringList{rule});
        const Finding &f = report.findings.front();
        QCOMPARE(f.at.line, line);
        QCOMPARE(f.message, message);
        QCOMPARE(f.level, findRule(rule)->level);
        QCOMPARE(report.hasErrors(), f.level == Level::Error);
    }

    void quietCases_data()
    {
        QTest::addColumn<Fault>("change");
        QTest::addRow("description of exactly 50 characters")
            << Fault([](PageFacts &f) { f.metas[0].content = QString(50, u'x'); });
        QTest::addRow("title of 599.7 px") << Fault([](PageFacts &f) {
            f.titles[0].text = u"Fish and Chips in Leeds: fresh fish, hand-cut chips and mushy peas"_s;
        });
        QTest::addRow("rating adult is read by search engines")
            << Fault([](PageFacts &f) { f.metas.push_back(meta(u"rating"_s, u" Adult "_s, 8)); });
        QTest::addRow("content-language tags") << Fault([](PageFacts &f) {
            f.metas.push_back(meta(u"content-language"_s, u"en-GB, de, zh-Hant-TW"_s, 8, true));
        });
        QTest::addRow("robots index,follow")
            << Fault([](PageFacts &f) { f.metas.push_back(meta(u"robots"_s, u"index,follow"_s, 8)); });
        QTest::addRow("the same charset twice, in other letter case") << Fault([](PageFacts &f) {
            MetaFact m;
            m.charset = u"UTF-8"_s;
            f.metas.push_back(m);
            declareCharsets(f, QByteArrayView("ascii"));
        });
        QTest::addRow("UTF-8 bytes declared as UTF-8")
            << Fault([](PageFacts &f) { declareCharsets(f, QByteArrayView("Zo\xc3\xab")); });
        QTest::addRow("an ASCII page under Latin-1") << Fault([](PageFacts &f) {
            f.metas[1].content = u"text/html; charset=iso-8859-1"_s;
            declareCharsets(f, QByteArrayView("ascii"));
        });
        QTest::addRow("whitespace is collapsed before measuring") << Fault([](PageFacts &f) {
            f.titles[0].text = u"\n    Fish and Chips     in Leeds:    fresh fish, hand-cut chips\n  "_s;
        });
    }
    void quietCases()
    {
        QFETCH(Fault, change);
        PageFacts facts = goodFacts();
        change(facts);
        QCOMPARE(ruleIds(checked(facts)), QStringList());
    }

    void measuresOfThePage()
    {
        PageFacts facts = goodFacts();
        facts.titles[0].text = u"  Zo\u00eb's   caf\u00e9 \U0001F41F "_s;
        const PageReport report = checked(facts);
        QVERIFY(report.title.present);
        QCOMPARE(report.titleText, u"Zo\u00eb's caf\u00e9 \U0001F41F"_s);
        QCOMPARE(report.title.characters, 12); // the fish is one character, two UTF-16 units
        QVERIFY(report.title.pixels > 100 && report.title.pixels < 140);
        QCOMPARE(report.description.characters, 83);

        facts.titles.clear();
        facts.metas.clear();
        const PageReport empty = checked(facts);
        QVERIFY(!empty.title.present);
        QVERIFY(!empty.description.present);
    }

    void findingsComeInPageOrder()
    {
        PageFacts facts = goodFacts();
        facts.metas.push_back(meta(u"keywords"_s, u"k"_s, 3));
        facts.metas.push_back(meta(u"rating"_s, u"General"_s, 2));
        facts.titles.push_back({u"again"_s, {8, 1}});
        const PageReport report = checked(facts);
        QCOMPARE(ruleIds(report),
                 (QStringList{u"rating-ignored"_s, u"keywords-ignored"_s, u"title-multiple"_s}));
    }

    void duplicateTitlesAcrossThreePages()
    {
        std::vector<PageReport> reports;
        for (const QString &file : {u"a.html"_s, u"b.html"_s, u"c.html"_s, u"d.html"_s}) {
            PageFacts facts = goodFacts();
            if (file == u"d.html"_s)
                facts.titles[0].text = u"Something else entirely"_s;
            else if (file == u"b.html"_s)
                facts.titles[0].text = u"Fish and  Chips in\nLeeds"_s; // the same, as a result shows it
            facts.metas[0].content += file;                            // every description differs
            reports.push_back(checked(facts, file));
        }
        checkSite(reports);
        QCOMPARE(ruleIds(reports[0]), QStringList{u"title-duplicate"_s});
        QCOMPARE(reports[0].findings[0].message, u"same title as b.html:4 and 1 other page"_s);
        QCOMPARE(reports[0].findings[0].at.line, 4);
        QCOMPARE(reports[1].findings[0].message, u"same title as a.html:4 and 1 other page"_s);
        QCOMPARE(reports[2].findings[0].message, u"same title as a.html:4 and 1 other page"_s);
        QCOMPARE(ruleIds(reports[3]), QStringList());
    }

    void duplicateDescriptionsOfTwoPages()
    {
        std::vector<PageReport> reports;
        PageFacts facts = goodFacts();
        reports.push_back(checked(facts, u"one.html"_s));
        facts.titles[0].text = u"Another title"_s;
        facts.metas[0].at = {12, 5};
        reports.push_back(checked(facts, u"two.html"_s));
        checkSite(reports);
        QCOMPARE(ruleIds(reports[0]), QStringList{u"description-duplicate"_s});
        QCOMPARE(reports[0].findings[0].message, u"same description as two.html:12"_s);
        QCOMPARE(reports[1].findings[0].message, u"same description as one.html:5"_s);
        QCOMPARE(reports[1].findings[0].at.column, 5);
    }

    void emptyTitlesAreNoDuplicates()
    {
        std::vector<PageReport> reports;
        PageFacts facts = goodFacts();
        facts.titles[0].text.clear();
        facts.metas.erase(facts.metas.begin());
        reports.push_back(checked(facts, u"a.html"_s));
        reports.push_back(checked(facts, u"b.html"_s));
        checkSite(reports);
        QCOMPARE(ruleIds(reports[0]), (QStringList{u"description-missing"_s, u"title-empty"_s}));
    }

    void languageTags_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("tag");
        QTest::addRow("language") << u"en"_s << true;
        QTest::addRow("letter case does not matter") << u"EN-us"_s << true;
        QTest::addRow("three-letter language") << u"gsw"_s << true;
        QTest::addRow("script and region") << u"zh-Hant-TW"_s << true;
        QTest::addRow("numeric region") << u"es-419"_s << true;
        QTest::addRow("variant") << u"de-CH-1901"_s << true;
        QTest::addRow("extension and private use") << u"en-a-bbb-x-a-ccc"_s << true;
        QTest::addRow("private use only") << u"x-whatever"_s << true;
        QTest::addRow("irregular old tag") << u"i-klingon"_s << true;
        QTest::addRow("a language's name") << u"English"_s << false;
        QTest::addRow("underscore") << u"en_US"_s << false;
        QTest::addRow("unknown two-letter language") << u"qq"_s << false;
        QTest::addRow("unknown region") << u"en-UK"_s << false;
        QTest::addRow("empty") << QString() << false;
        QTest::addRow("empty part") << u"en--US"_s << false;
        QTest::addRow("trailing dash") << u"en-"_s << false;
        QTest::addRow("singleton without subtag") << u"en-a"_s << false;
        QTest::addRow("subtag too long") << u"en-abcdefghi"_s << false;
        QTest::addRow("one letter") << u"e"_s << false;
    }
    void languageTags()
    {
        QFETCH(QString, text);
        QFETCH(bool, tag);
        QCOMPARE(isLanguageTag(text), tag);
    }

    void languageTagLists()
    {
        QVERIFY(isLanguageTagList(u"en, fr"));
        QVERIFY(!isLanguageTagList(u"en, French"));
        QVERIFY(!isLanguageTagList(u"en,"));
    }

    void everyListItemHasAValidTag()
    {
        for (std::size_t i = 0; i < tags::kContentLanguageItems.size(); ++i) {
            const QString name = toQString(tags::kContentLanguageItems[i]);
            const QString tag = toQString(kContentLanguageTags[i]);
            QVERIFY2(isLanguageTag(tag), qPrintable(name + u' ' + tag));
            QCOMPARE(languageTagOfListItem(name), tag);
            // "Twi" happens to be the three-letter code of Twi itself.
            if (name.size() > 3)
                QVERIFY2(!isLanguageTag(name), qPrintable(name));
        }
        QCOMPARE(languageTagOfListItem(u" gaelic (scots gaelic)"), u"gd"_s);
        QCOMPARE(languageTagOfListItem(u"Tegulu"), u"te"_s);
        QCOMPARE(languageTagOfListItem(u"Klingon"), QString());
    }

    void declaredCharsets_data()
    {
        QTest::addColumn<QString>("charsetAttribute");
        QTest::addColumn<QString>("httpEquiv");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("charset");
        QTest::addRow("content-type")
            << QString() << u"content-type"_s << u"text/html; charset=utf-8"_s << u"utf-8"_s;
        QTest::addRow("no space, quoted, other case")
            << QString() << u"Content-Type"_s << u"text/html;CHARSET='koi8-r'"_s << u"koi8-r"_s;
        QTest::addRow("spaces around =")
            << QString() << u"content-type"_s << u"text/html; charset = big5 ;x"_s << u"big5"_s;
        QTest::addRow("charset attribute") << u" utf-8 "_s << QString() << QString() << u"utf-8"_s;
        QTest::addRow("no charset in the content")
            << QString() << u"content-type"_s << u"text/html"_s << QString();
        QTest::addRow("another http-equiv")
            << QString() << u"content-language"_s << u"charset=utf-8"_s << QString();
    }
    void declaredCharsets()
    {
        QFETCH(QString, charsetAttribute);
        QFETCH(QString, httpEquiv);
        QFETCH(QString, content);
        QFETCH(QString, charset);
        MetaFact m;
        m.charset = charsetAttribute;
        m.httpEquiv = httpEquiv;
        m.content = content;
        QCOMPARE(declaredCharset(m), charset);
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("charset");
        QTest::addColumn<int>("result"); // 1 decodes, 0 fails, -1 unknown charset
        QTest::addRow("UTF-8") << QByteArray("Zo\xc3\xab") << u"utf-8"_s << 1;
        QTest::addRow("Latin-1 byte as UTF-8") << QByteArray("Zo\xeb") << u"UTF-8"_s << 0;
        QTest::addRow("UTF-8 cut in the middle") << QByteArray("Zo\xc3") << u"utf-8"_s << 0;
        QTest::addRow("Latin-1 takes every byte") << QByteArray("\x80\xff") << u"iso-8859-1"_s << 1;
        QTest::addRow("Shift_JIS lead byte without trail") << QByteArray("\x82") << u"shift_jis"_s << 0;
        QTest::addRow("Shift_JIS") << QByteArray("\x82\xa0") << u"shift_jis"_s << 1;
        QTest::addRow("logical Hebrew is ISO-8859-8") << QByteArray("\xe0") << u"iso-8859-8-i"_s << 1;
        QTest::addRow("DOS Hebrew") << QByteArray("\x80") << u"DOS-862"_s << 1;
        QTest::addRow("unknown charset") << QByteArray("a") << u"DOS-720"_s << -1;
        QTest::addRow("an iconv suffix is no charset") << QByteArray("\xff") << u"utf-8//IGNORE"_s << -1;
        QTest::addRow("empty") << QByteArray("a") << QString() << -1;
    }
    void decoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, charset);
        QFETCH(int, result);
        const std::optional<bool> decodes = decodesWith(bytes, charset);
        QCOMPARE(decodes ? int(*decodes) : -1, result);
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const std::optional<bool> fromDevice = decodesWith(buffer, charset);
        QCOMPARE(fromDevice ? int(*fromDevice) : -1, result);
    }

    void aCharacterAcrossTwoReadsDecodes()
    {
        // The device is read in pieces of 64 KiB; a character split by that
        // boundary is still one character.
        QByteArray bytes(64 * 1024 - 1, 'a');
        bytes += "\xc3\xab tail";
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        QCOMPARE(decodesWith(buffer, u"utf-8"_s), std::optional<bool>(true));
        PageFacts facts = goodFacts();
        buffer.seek(0);
        declareCharsets(facts, buffer);
        QVERIFY(facts.bytesAreUtf8);
        QVERIFY(!facts.bytesAreAscii);
        QCOMPARE(int(facts.charsets.at(0).decoding), int(Decoding::Decodes));
    }

    void whitespaceAndCharacters()
    {
        QCOMPARE(collapseWhitespace(u"\r\n a \t b\f\n"), u"a b"_s);
        QCOMPARE(collapseWhitespace(u"a\u00a0\u00a0b"), u"a\u00a0\u00a0b"_s); // no-break spaces stay
        QCOMPARE(characterCount(u"a\U0001F41Fb"), 3);
    }

    void fontMeasure()
    {
        const FontMeasure &measure = FontMeasure::liberationSans();
        QVERIFY(measure.fontFile().endsWith(u".ttf"_s));
        QCOMPARE(measure.width(u"", 20), 0.0);
        // Advances of the metric-compatible font: "a" is 1139 of 2048 units.
        QCOMPARE(measure.width(u"a", 20), 711.0 / 64);
        // Kerning applies: "AV" is narrower than "A" and "V" apart.
        QVERIFY(measure.width(u"AV", 20) < measure.width(u"A", 20) + measure.width(u"V", 20));
        QVERIFY_THROWS_EXCEPTION(brindle::Error, FontMeasure fail(u"/nonexistent/font.ttf"_s));
    }
};

QTEST_GUILESS_MAIN(TestChecker)
#include "tst_checker.moc"
