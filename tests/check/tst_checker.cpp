#include "base/error.h"
#include "base/textutil.h"
#include "check/checker.h"
#include "check/pagecheck.h"
#include "check/pagefacts.h"
#include "check/searchresult.h"
#include "check/textmeasure.h"
#include "tags/languagetag.h"
#include "tags/metataggenerator.h"
#include "tags/tagcatalogue.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brindle;
using namespace brindle::check;
using namespace brindle::tags;

namespace {

// A small page that passes every rule; each case changes one part of it.
struct Page
{
    QByteArray doctype = "<!DOCTYPE html>";
    QByteArray html = "<html lang=\"en-GB\">";
    QByteArray title = "<title>Fish and Chips in Leeds</title>";
    QByteArray description = "<meta name=\"description\" content=\"Fresh fish and hand-cut chips, fried to "
                             "order every day from eleven in the morning.\">";
    QByteArray charset = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";
    QByteArray viewport =
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"; // line 3
    QByteArray extra;                                                               // from line 7
    QByteArray body = "<p>Open daily.</p>";

    QByteArray bytes() const
    {
        return doctype + "\n" + html + "\n<head>" + viewport + "\n" + title + "\n" + description + "\n" +
               charset + "\n" + extra + "\n</head>\n<body>\n" + body + "\n</body>\n</html>\n";
    }
};

using Fault = std::function<void(Page &)>;

QStringList ruleIds(const PageReport &report)
{
    QStringList ids;
    for (const Finding &f : report.findings)
        ids << f.rule;
    return ids;
}

PageReport checked(const Page &page, const QString &file = u"page.html"_s)
{
    return checkPageBytes(page.bytes(), FontMeasure::liberationSans(), file);
}

const QByteArray kXhtmlDoctype = "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
                                 "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">";

QByteArray structuredData(const QByteArray &json)
{
    return "<script type=\"application/ld+json\">" + json + "</script>";
}

// A charset declaration that ends at byte `end` of the page, after a
// comment that fills the space before it.
void charsetEndingAt(Page &p, qsizetype end)
{
    p.charset = "<!---->";
    p.extra = "<meta charset=\"utf-8\">";
    const qsizetype now = p.bytes().indexOf(p.extra) + p.extra.size();
    p.charset = "<!--" + QByteArray(end - now, ' ') + "-->";
}

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
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("message");

        QTest::addRow("no fault") << Fault([](Page &) {}) << QString() << 0 << 0 << QString();
        QTest::addRow("title missing") << Fault([](Page &p) { p.title.clear(); }) << u"title-missing"_s << 0
                                       << 0 << u"page has no <title>"_s;
        QTest::addRow("title of blanks is empty") << Fault([](Page &p) { p.title = "<title> \t </title>"; })
                                                  << u"title-empty"_s << 4 << 1 << u"title is empty"_s;
        QTest::addRow("second title")
            << Fault([](Page &p) { p.extra = "  <title>Other</title>"; }) << u"title-multiple"_s << 7 << 3
            << u"second <title>; the first, at line 4, is the one that counts"_s;
        QTest::addRow("title wider than 600 px")
            << Fault([](Page &p) {
                   p.title = "<title>Fish and Chips in Leeds: fresh fish, hand-cut chips and mushy peas, "
                             "daily</title>";
               })
            << u"title-length"_s << 4 << 1
            << u"title is 73 characters, 652 px wide; search results show about 600 px (about 60 characters)"_s;
        // Each Han character is a full em in the fallback font, not Liberation
        // Sans's narrower box for a glyph it lacks.
        QTest::addRow("Chinese title of 38 characters")
            << Fault([](Page &p) {
                   p.title =
                       u"<title>家居与园艺：小花园和阳台的实用建议，从选土、播种、浇水、修剪到施肥的完整指南</title>"_s
                           .toUtf8();
               })
            << u"title-length"_s << 4 << 1
            << u"title is 38 characters, 760 px wide; search results show about 600 px (about 60 characters)"_s;
        QTest::addRow("description missing")
            << Fault([](Page &p) { p.description.clear(); }) << u"description-missing"_s << 0 << 0
            << u"page has no <meta name=\"description\">"_s;
        QTest::addRow("description under 50 characters")
            << Fault([](Page &p) {
                   p.description = "<meta name=\"Description\" content=\"Fish &amp; chips.\">";
               })
            << u"description-short"_s << 5 << 1
            << u"description is 13 characters; search results want at least 50"_s;
        QTest::addRow("description wider than 920 px")
            << Fault([](Page &p) {
                   p.description = "<meta name=description content=" + QByteArray(170, 'a') + '>';
               })
            << u"description-length"_s << 5 << 1
            << u"description is 170 characters, 1323 px wide; search results show about 160 (920 px)"_s;
        QTest::addRow("bytes are not the declared charset")
            << Fault([](Page &p) { p.body = "caf\xe9"; }) << u"charset-undecodable"_s << 6 << 1
            << u"page's bytes do not decode as utf-8"_s;
        QTest::addRow("bytes are not UTF-8 and no charset is declared")
            << Fault([](Page &p) {
                   p.charset.clear();
                   p.body = "caf\xe9";
               })
            << u"charset-undecodable"_s << 0 << 0
            << u"page's bytes are not UTF-8 and it declares no charset"_s;
        QTest::addRow("second charset differs")
            << Fault([](Page &p) { p.extra = "<meta charset=\"ISO-8859-1\">"; }) << u"charset-conflict"_s << 7
            << 1 << u"charset ISO-8859-1 differs from utf-8, declared at line 6"_s;
        QTest::addRow("charset browsers do not know")
            << Fault([](Page &p) { p.charset = "<meta charset=\"x-brindle-none\">"; }) << u"charset-unknown"_s
            << 6 << 1
            << u"charset x-brindle-none is not one browsers know; they ignore it and guess the page's charset"_s;
        QTest::addRow("charset browsers never decode")
            << Fault([](Page &p) { p.charset = "<meta charset=\"hz-gb-2312\">"; }) << u"charset-undecodable"_s
            << 6 << 1 << u"browsers do not decode charset hz-gb-2312: they show nothing of the page"_s;
        QTest::addRow("UTF-8 bytes under another charset")
            << Fault([](Page &p) {
                   p.charset = "<meta http-equiv=\"content-type\" content=\"text/html; charset=iso-8859-1\">";
                   p.body = "Zo\xc3\xab";
               })
            << u"charset-mismatch"_s << 6 << 1
            << u"page's bytes are UTF-8 but it declares iso-8859-1; browsers will show its non-ASCII "
               u"characters "
               u"wrongly"_s;
        QTest::addRow("content-language of a list item")
            << Fault([](Page &p) { p.extra = "<meta http-equiv=\"content-language\" content=\"English\">"; })
            << u"content-language-tag"_s << 7 << 1
            << u"content-language \"English\" is not a language tag (BCP 47); the tag for English is \"en\" "
               u"(Brindle's list writes the language's name, as it always has)"_s;
        QTest::addRow("content-language of another text")
            << Fault([](Page &p) { p.extra = "<META HTTP-EQUIV=Content-Language CONTENT=en_US>"; })
            << u"content-language-tag"_s << 7 << 1
            << u"content-language \"en_US\" is not a language tag (BCP 47)"_s;
        QTest::addRow("robots noindex")
            << Fault([](Page &p) { p.extra = "<meta name=\"robots\" content=\"noindex,follow\">"; })
            << u"robots-noindex"_s << 7 << 1
            << u"robots \"noindex,follow\": search engines leave this page out of their results"_s;
        QTest::addRow("robots nofollow")
            << Fault([](Page &p) { p.extra = "<meta name=\"ROBOTS\" content=\"index, NoFollow\" />"; })
            << u"robots-nofollow"_s << 7 << 1
            << u"robots \"index, NoFollow\": search engines do not follow this page's links"_s;
        QTest::addRow("keywords") << Fault([](Page &p) {
            p.extra = "<meta name=\"keywords\" content=\"fish\">";
        }) << u"keywords-ignored"_s
                                  << 7 << 1 << u"major search engines ignore the keywords tag"_s;
        QTest::addRow("revisit-after")
            << Fault([](Page &p) { p.extra = "<meta name=\"revisit-after\" content=\"7 days\">"; })
            << u"revisit-after-ignored"_s << 7 << 1
            << u"major search engines ignore the revisit-after tag; they choose their own visits"_s;
        QTest::addRow("distribution")
            << Fault([](Page &p) { p.extra = "<meta name=\"distribution\" content=\"Global\">"; })
            << u"distribution-ignored"_s << 7 << 1 << u"major search engines ignore the distribution tag"_s;
        QTest::addRow("rating")
            << Fault([](Page &p) { p.extra = "<meta name=\"rating\" content=\"General\">"; })
            << u"rating-ignored"_s << 7 << 1
            << u"major search engines ignore rating \"General\"; they read only \"adult\""_s;
        QTest::addRow("no viewport")
            << Fault([](Page &p) { p.viewport.clear(); }) << u"viewport-missing"_s << 0 << 0
            << u"page has no <meta name=\"viewport\">; phones lay it out at a desktop "
               u"width, zoomed out"_s;
        QTest::addRow("html without lang")
            << Fault([](Page &p) { p.html = "<html>"; }) << u"html-lang-missing"_s << 2 << 1
            << u"<html> has no lang; screen readers and translation must guess the page's language"_s;
        QTest::addRow("html with a blank lang")
            << Fault([](Page &p) { p.html = "<html lang=\" \">"; }) << u"html-lang-missing"_s << 2 << 1
            << u"<html> has no lang; screen readers and translation must guess the page's language"_s;
        QTest::addRow("no html tag") << Fault([](Page &p) { p.html.clear(); }) << u"html-lang-missing"_s << 0
                                     << 0
                                     << u"page has no <html> tag with lang; screen readers and translation "
                                        u"must guess the page's language"_s;
        QTest::addRow("XHTML without either lang")
            << Fault([](Page &p) {
                   p.doctype = kXhtmlDoctype;
                   p.html = "<html xmlns=\"http://www.w3.org/1999/xhtml\">";
               })
            << u"html-lang-missing"_s << 2 << 1
            << u"<html> has no lang or xml:lang; screen readers and translation must guess the page's "
               u"language"_s;
        QTest::addRow("HTML reads no xml:lang")
            << Fault([](Page &p) { p.html = "<html xml:lang=\"en\">"; }) << u"html-lang-missing"_s << 2 << 1
            << u"<html> has no lang; screen readers and translation must guess the page's language"_s;
        QTest::addRow("non-ASCII text and no charset")
            << Fault([](Page &p) {
                   p.charset.clear();
                   p.body = "Zo\xc3\xab";
               })
            << u"charset-missing"_s << 0 << 0
            << u"page has non-ASCII characters but declares no charset; browsers may guess another one and "
               u"garble them"_s;
        QTest::addRow("charset ends at byte 1025")
            << Fault([](Page &p) { charsetEndingAt(p, 1025); }) << u"charset-late"_s << 7 << 1
            << u"charset declaration ends at byte 1025; browsers look for it in the first 1024 bytes, and "
               u"read the page again or in a guessed charset when it comes later"_s;
        QTest::addRow("relative canonical")
            << Fault([](Page &p) { p.extra = "<link rel=\"canonical\" href=\"/fish.html\">"; })
            << u"canonical-relative"_s << 7 << 1
            << u"canonical address \"/fish.html\" is relative; search engines want the absolute one, such as "
               u"https://example.org/page.html"_s;
        QTest::addRow("canonical without scheme")
            << Fault([](Page &p) { p.extra = "<link rel=canonical href=//example.org/fish>"; })
            << u"canonical-relative"_s << 7 << 1
            << u"canonical address \"//example.org/fish\" is relative; search engines want the absolute one, "
               u"such as https://example.org/page.html"_s;
        QTest::addRow("canonical of another scheme")
            << Fault([](Page &p) { p.extra = "<link rel=\"canonical\" href=\"ftp://example.org/fish\">"; })
            << u"canonical-invalid"_s << 7 << 1
            << u"canonical address \"ftp://example.org/fish\" is not an http:// or https:// address"_s;
        QTest::addRow("canonical without host")
            << Fault([](Page &p) { p.extra = "<link rel=\"canonical\" href=\"https:///fish\">"; })
            << u"canonical-invalid"_s << 7 << 1
            << u"canonical address \"https:///fish\" is not an http:// or https:// address"_s;
        QTest::addRow("canonical with a blank in the host")
            << Fault([](Page &p) { p.extra = "<link rel=\"canonical\" href=\"https://exa mple.org/\">"; })
            << u"canonical-invalid"_s << 7 << 1
            << u"canonical address \"https://exa mple.org/\" is not an http:// or https:// address"_s;
        QTest::addRow("canonical without address")
            << Fault([](Page &p) { p.extra = "<link rel=\"canonical\" href=\"\">"; })
            << u"canonical-invalid"_s << 7 << 1 << u"canonical link has no address"_s;
        QTest::addRow("two canonicals")
            << Fault([](Page &p) {
                   p.extra = "<link rel=\"canonical\" href=\"https://example.org/a\">\n"
                             "  <link rel=\"canonical\" href=\"https://example.org/a\">";
               })
            << u"canonical-multiple"_s << 8 << 3
            << u"second canonical link (the first is at line 7); search engines ignore a page's canonical "
               u"links when it has more than one"_s;
        QTest::addRow("hreflang with an underscore")
            << Fault([](Page &p) {
                   p.extra = "<link rel=\"alternate\" hreflang=\"en_US\" href=\"https://example.org/us\">";
               })
            << u"hreflang-invalid"_s << 7 << 1
            << u"hreflang \"en_US\" is not a language tag (BCP 47) or x-default; the tag for en_US is "
               u"\"en-US\""_s;
        QTest::addRow("hreflang for the United Kingdom")
            << Fault([](Page &p) {
                   p.extra = "<link rel=\"alternate\" hreflang=\"en-uk\" href=\"https://example.org/uk\">";
               })
            << u"hreflang-invalid"_s << 7 << 1
            << u"hreflang \"en-uk\" is not a language tag (BCP 47) or x-default; the tag for en-uk is "
               u"\"en-GB\""_s;
        QTest::addRow("hreflang of a language's name")
            << Fault([](Page &p) {
                   p.extra = "<link rel=\"alternate\" hreflang=\"German\" href=\"https://example.org/de\">";
               })
            << u"hreflang-invalid"_s << 7 << 1
            << u"hreflang \"German\" is not a language tag (BCP 47) or x-default; the tag for German is "
               u"\"de\""_s;
        QTest::addRow("empty hreflang") << Fault([](Page &p) {
            p.extra = "<link rel=\"alternate\" hreflang=\"\" href=\"https://example.org/de\">";
        }) << u"hreflang-invalid"_s << 7 << 1
                                        << u"hreflang \"\" is not a language tag (BCP 47) or x-default"_s;
        QTest::addRow("alternates without the page itself")
            << Fault([](Page &p) {
                   p.extra =
                       "<link rel=\"canonical\" href=\"https://example.org/en/fish\">\n"
                       "<link rel=\"alternate\" hreflang=\"de\" href=\"https://example.org/de/fish\">\n"
                       "<link rel=\"alternate\" hreflang=\"x-default\" href=\"https://example.org/fish\">";
               })
            << u"hreflang-no-self"_s << 8 << 1
            << u"alternates by language do not list the page's own address https://example.org/en/fish; "
               u"search engines ignore alternates whose pages do not list themselves and one another"_s;
        QTest::addRow("bare & in an XHTML page's value")
            << Fault([](Page &p) {
                   p.doctype = kXhtmlDoctype;
                   p.description.replace("hand-cut", "hand-cut & salted");
               })
            << u"xhtml-not-well-formed"_s << 5 << 1
            << u"bare \"&\" in the content of <meta>; an XHTML page must write it as &amp;, or XML parsers "
               u"refuse the page"_s;
        QTest::addRow("& of no reference in an XHTML page")
            << Fault([](Page &p) {
                   p.doctype = kXhtmlDoctype;
                   p.extra = "<link rel=\"icon\" href=\"/icon?a=1&#;b=2\" />";
               })
            << u"xhtml-not-well-formed"_s << 7 << 1
            << u"bare \"&\" in the href of <link>; an XHTML page must write it as &amp;, or XML parsers "
               u"refuse the page"_s;
        QTest::addRow("< in an XHTML page's title")
            << Fault([](Page &p) {
                   p.doctype = kXhtmlDoctype;
                   p.title = "<title>Fish < Chips in Leeds</title>";
               })
            << u"xhtml-not-well-formed"_s << 4 << 1
            << u"bare \"<\" in the text of <title>; an XHTML page must write it as &lt;, or XML parsers "
               u"refuse the page"_s;
        QTest::addRow("structured data that is no JSON")
            << Fault([](Page &p) { p.extra = structuredData("{\"@context\": \"https://schema.org\",}"); })
            << u"structured-data-invalid"_s << 7 << 1
            << u"structured data is not JSON: object is missing after a comma at byte 35"_s;
        QTest::addRow("empty structured data")
            << Fault([](Page &p) { p.extra = structuredData(" \n "); }) << u"structured-data-invalid"_s << 7
            << 1 << u"structured data is empty"_s;
        QTest::addRow("structured data without @context") << Fault([](Page &p) {
            p.extra =
                structuredData("{\"@type\":\"WebSite\",\"name\":\"Fish\",\"url\":\"https://example.org/\"}");
        }) << u"structured-data-invalid"_s << 7 << 1 << u"structured data has no @context"_s;
        QTest::addRow("structured data without @type") << Fault([](Page &p) {
            p.extra = structuredData("{\"@context\":\"https://schema.org\",\"name\":\"Fish\"}");
        }) << u"structured-data-invalid"_s << 7 << 1 << u"structured data has no @type"_s;
        QTest::addRow("a graph node without @type") << Fault([](Page &p) {
            p.extra =
                structuredData("{\"@context\":\"https://schema.org\",\"@graph\":[{\"@type\":\"WebSite\","
                               "\"name\":\"Fish\",\"url\":\"https://example.org/\"},{\"name\":\"x\"}]}");
        }) << u"structured-data-invalid"_s << 7 << 1 << u"structured data has no @type"_s;
        QTest::addRow("a list with a node that is no object") << Fault([](Page &p) {
            p.extra = structuredData("[{\"@context\":\"https://schema.org\",\"@type\":\"Thing\"},3]");
        }) << u"structured-data-invalid"_s << 7 << 1 << u"structured data is not a JSON object"_s;
        QTest::addRow("article without picture, date and author")
            << Fault([](Page &p) {
                   p.extra = structuredData(
                       "{\"@context\":\"https://"
                       "schema.org\",\"@type\":\"Article\",\"headline\":\"Fish\",\"image\":\"\"}");
               })
            << u"structured-data-incomplete"_s << 7 << 1
            << u"structured data: Article lacks image, datePublished, author, which search engines require "
               u"to show it in their results"_s;
        QTest::addRow("website without address, in a graph")
            << Fault([](Page &p) {
                   p.extra = structuredData(
                       "{\"@context\":\"https://schema.org\",\"@graph\":[{\"@type\":\"WebSite\","
                       "\"name\":\"Fish\",\"url\":null}]}");
               })
            << u"structured-data-incomplete"_s << 7 << 1
            << u"structured data: WebSite lacks url, which search engines require to show it in their "
               u"results"_s;
        QTest::addRow("binary file") << Fault([](Page &p) {
            p.title = QByteArray("<title>a\0b</title>", 19);
        }) << u"page-unreadable"_s << 0
                                     << 0 << u"contains NUL bytes: not a text page"_s;
    }
    void oneFaultOneFinding()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, rule);
        QFETCH(int, line);
        QFETCH(int, column);
        QFETCH(QString, message);
        Page page;
        fault(page);
        const PageReport report = checked(page);
        if (rule.isEmpty()) {
            QCOMPARE(ruleIds(report), QStringList());
            return;
        }
        QCOMPARE(ruleIds(report), QStringList{rule});
        const Finding &f = report.findings.front();
        QCOMPARE(f.message, message);
        QCOMPARE(f.at.line, line);
        QCOMPARE(f.at.column, column);
        QCOMPARE(f.level, findRule(rule)->level);
        QCOMPARE(report.hasErrors(), f.level == Level::Error);
    }

    void quietCases_data()
    {
        QTest::addColumn<Fault>("change");
        QTest::addRow("title of 599.7 px") << Fault([](Page &p) {
            p.title = "<title>Fish and Chips in Leeds: fresh fish, hand-cut chips and mushy peas</title>";
        });
        QTest::addRow("references are decoded before measuring") << Fault([](Page &p) {
            p.title = "<title>Fish &amp; Chips in Leeds: fresh fish, hand-cut chips and mushy peas</title>";
        });
        QTest::addRow("whitespace is collapsed before measuring") << Fault([](Page &p) {
            p.title =
                "<title>\n    Fish and Chips     in Leeds:    fresh fish, hand-cut chips and mushy peas\n "
                "</title>";
        });
        QTest::addRow("description of exactly 50 characters") << Fault(
            [](Page &p) { p.description = "<meta name=description content=" + QByteArray(50, 'x') + '>'; });
        QTest::addRow("rating adult is read by search engines")
            << Fault([](Page &p) { p.extra = "<meta name=\"rating\" content=\" Adult \">"; });
        QTest::addRow("content-language tags") << Fault([](Page &p) {
            p.extra = "<meta http-equiv=\"content-language\" content=\"en-GB, de, zh-Hant-TW\">";
        });
        QTest::addRow("robots index,follow")
            << Fault([](Page &p) { p.extra = "<meta name=\"robots\" content=\"index,follow\">"; });
        QTest::addRow("the same charset twice, spelt otherwise")
            << Fault([](Page &p) { p.extra = "<meta charset=\"UTF8\">"; });
        QTest::addRow("UTF-8 bytes declared as UTF-8") << Fault([](Page &p) { p.body = "Zo\xc3\xab"; });
        QTest::addRow("an ASCII page under Latin-1")
            << Fault([](Page &p) { p.charset = "<meta charset=\"iso-8859-1\">"; });
        QTest::addRow("Latin-1 bytes under Latin-1") << Fault([](Page &p) {
            p.charset = "<meta charset=\"iso-8859-1\">";
            p.body = "caf\xe9";
        });
        QTest::addRow("XHTML with xml:lang alone") << Fault([](Page &p) {
            p.doctype = kXhtmlDoctype;
            p.html = "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"en\">";
        });
        QTest::addRow("charset ends at byte 1024") << Fault([](Page &p) { charsetEndingAt(p, 1024); });
        QTest::addRow("a late charset after a byte-order mark") << Fault([](Page &p) {
            charsetEndingAt(p, 1100);
            p.doctype.prepend("\xef\xbb\xbf");
        });
        QTest::addRow("non-ASCII text after a byte-order mark") << Fault([](Page &p) {
            p.doctype.prepend("\xef\xbb\xbf");
            p.charset.clear();
            p.body = "Zo\xc3\xab";
        });
        QTest::addRow("canonical in capitals, among other tokens") << Fault([](Page &p) {
            p.extra = "<link rel=\"nofollow\tCANONICAL\" href=\"HTTPS://Example.org/fish?a=1&amp;b=2\">";
        });
        QTest::addRow("alternates listing the page, relative and spelt otherwise") << Fault([](Page &p) {
            p.extra =
                "<link rel=\"canonical\" href=\"https://example.org/en/fish\">\n"
                "<link rel=\"alternate\" hreflang=\"de-CH\" href=\"https://example.org/de/fish\">\n"
                "<link rel=\"alternate\" hreflang=\"en\" href=\"/en/./fish\">\n"
                "<link rel=\"alternate\" hreflang=\"X-Default\" href=\"https://EXAMPLE.org:443/en/fish\">";
        });
        QTest::addRow("a feed is no alternate by language") << Fault([](Page &p) {
            p.extra = "<link rel=\"canonical\" href=\"https://example.org/fish\">"
                      "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"/feed.xml\">";
        });
        QTest::addRow("references and a bare & in an HTML page") << Fault([](Page &p) {
            p.description.replace("hand-cut", "hand-cut & salted");
            p.extra = "<link rel=\"icon\" href=\"/i?a=1&amp;b=&#38;&#x26;&eacute;\">";
        });
        QTest::addRow("references in an XHTML page") << Fault([](Page &p) {
            p.doctype = kXhtmlDoctype;
            p.description.replace("hand-cut", "hand-cut &amp; &#x26; &#38; &eacute; salted");
        });
        QTest::addRow("complete structured data of every type") << Fault([](Page &p) {
            p.extra =
                structuredData("{\"@context\":\"https://schema.org\",\"@type\":\"WebSite\",\"name\":\"Fish\","
                               "\"url\":\"https://example.org/\"}") +
                structuredData("[{\"@context\":\"https://schema.org\",\"@type\":\"Organization\","
                               "\"url\":\"https://example.org/\",\"logo\":\"https://example.org/l.png\"}]") +
                structuredData(
                    "{\"@context\":\"https://schema.org\",\"@type\":[\"BlogPosting\"],\"headline\":\"Fish\","
                    "\"image\":[\"https://example.org/f.png\"],\"datePublished\":\"2024-05-01\","
                    "\"author\":{\"@type\":\"Person\",\"name\":\"Jo\"}}");
        });
        QTest::addRow("structured data of another type, its type in capitals") << Fault([](Page &p) {
            p.extra = "<script type=\"Application/LD+JSON\">{\"@context\":\"https://schema.org\","
                      "\"@type\":\"Recipe\"}</script>";
        });
        QTest::addRow("a script of another type")
            << Fault([](Page &p) { p.extra = "<script type=\"application/json\">not json</script>"; });
        QTest::addRow("Shift_JIS bytes under Shift_JIS") << Fault([](Page &p) {
            p.charset = "<meta charset=\"shift_jis\">";
            p.body = "\x82\xa0\x82\xa2";
        });
    }
    void quietCases()
    {
        QFETCH(Fault, change);
        Page page;
        change(page);
        QCOMPARE(ruleIds(checked(page)), QStringList());
    }

    void measuresOfThePage()
    {
        Page page;
        page.title = "<title>  Zo\xc3\xab's &amp;  caf\xc3\xa9 \xf0\x9f\x90\x9f </title>";
        const PageReport report = checked(page);
        QVERIFY(report.title.present);
        QCOMPARE(report.titleText, u"Zo\u00eb's & caf\u00e9 \U0001F41F"_s);
        QCOMPARE(report.title.characters, 14); // the fish is one character, two UTF-16 units
        QCOMPARE(report.title.pixels, FontMeasure::liberationSans().width(report.titleText, 20));
        QCOMPARE(report.description.characters, 83);
        QCOMPARE(report.descriptionAt.line, 5);

        page.title.clear();
        page.description.clear();
        const PageReport empty = checked(page);
        QVERIFY(!empty.title.present);
        QVERIFY(!empty.description.present);
    }

    void findingsComeInPageOrder()
    {
        Page page;
        page.title = "<meta name=rating content=General><title>Fish and Chips in Leeds</title>";
        page.extra = "<meta name=keywords content=k>\n<title>again</title>";
        const PageReport report = checked(page);
        QCOMPARE(ruleIds(report),
                 (QStringList{u"rating-ignored"_s, u"keywords-ignored"_s, u"title-multiple"_s}));
        QCOMPARE(report.findings[2].at.line, 8);
    }

    void duplicateTitlesAcrossThreePages()
    {
        std::vector<PageReport> reports;
        for (const QString &file : {u"a.html"_s, u"b.html"_s, u"c.html"_s, u"d.html"_s}) {
            Page page;
            if (file == u"d.html"_s)
                page.title = "<title>Something else entirely</title>";
            else if (file == u"b.html"_s)
                page.title = "\n<title>Fish and  Chips in\nLeeds</title>"; // the same, as a result shows it
            // Every description differs.
            page.description.replace("morning", file.toUtf8());
            reports.push_back(checked(page, file));
        }
        checkSite(reports);
        QCOMPARE(ruleIds(reports[0]), QStringList{u"title-duplicate"_s});
        QCOMPARE(reports[0].findings[0].message, u"same title as b.html:5 and 1 other page"_s);
        QCOMPARE(reports[0].findings[0].at.line, 4);
        QCOMPARE(reports[1].findings[0].message, u"same title as a.html:4 and 1 other page"_s);
        QCOMPARE(reports[1].findings[0].at.line, 5);
        QCOMPARE(reports[2].findings[0].message, u"same title as a.html:4 and 1 other page"_s);
        QCOMPARE(ruleIds(reports[3]), QStringList());
    }

    void duplicateDescriptionsOfTwoPages()
    {
        std::vector<PageReport> reports;
        Page page;
        reports.push_back(checked(page, u"one.html"_s));
        page.title = "<title>Another title</title>";
        page.description.prepend("    ");
        reports.push_back(checked(page, u"two.html"_s));
        checkSite(reports);
        QCOMPARE(ruleIds(reports[0]), QStringList{u"description-duplicate"_s});
        QCOMPARE(reports[0].findings[0].message, u"same description as two.html:5"_s);
        QCOMPARE(reports[1].findings[0].message, u"same description as one.html:5"_s);
        QCOMPARE(reports[1].findings[0].at.column, 5);
    }

    void emptyTitlesAreNoDuplicates()
    {
        std::vector<PageReport> reports;
        Page page;
        page.title = "<title></title>";
        page.description.clear();
        reports.push_back(checked(page, u"a.html"_s));
        reports.push_back(checked(page, u"b.html"_s));
        checkSite(reports);
        QCOMPARE(ruleIds(reports[0]), (QStringList{u"description-missing"_s, u"title-empty"_s}));
    }

    void pageFiles()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath(u"good.html"_s);
        QFile f(good);
        QVERIFY(f.open(QIODevice::WriteOnly));
        // Longer than the head reader's first read, with a bad byte within
        // it and one at the very end, which check reads no more than import
        // and apply do.
        Page page;
        page.body = "\xfe" + QByteArray(3 << 20, 'x') + "\xff";
        f.write(page.bytes());
        f.close();
        const PageReport report = checkPageFile(good, FontMeasure::liberationSans());
        QCOMPARE(report.file, good);
        QCOMPARE(ruleIds(report), QStringList{u"charset-undecodable"_s});
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        page.body = QByteArray(3 << 20, 'x') + "\xff";
        f.write(page.bytes());
        f.close();
        QCOMPARE(ruleIds(checkPageFile(good, FontMeasure::liberationSans())), QStringList());

        const PageReport missing =
            checkPageFile(dir.filePath(u"missing.html"_s), FontMeasure::liberationSans());
        QCOMPARE(ruleIds(missing), QStringList{u"page-unreadable"_s});
        QVERIFY2(missing.findings[0].message.startsWith(u"cannot be opened"_s),
                 qPrintable(missing.findings[0].message));
        QCOMPARE(ruleIds(checkPageFile(dir.path(), FontMeasure::liberationSans())),
                 QStringList{u"page-unreadable"_s});
    }

    void tagLinesOfTheWindow()
    {
        // What the generator makes for a new profile with a title and the
        // basic rows ticked: the findings name the viewer's lines.
        tags::TagValues values = tags::TagValues::defaults();
        values.values[tags::Title] = u"Fish & Chips"_s;
        values.values[tags::Description] = u"Say \"hi\""_s;
        tags::RowTicks ticks{};
        for (int row : tags::BasicRows)
            ticks[std::size_t(row)] = true;
        const tags::GeneratedTags generated = tags::generateTags(values, ticks, tags::TagMode::Html);
        const PageReport report = checkTagLines(generated.lines, FontMeasure::liberationSans());
        QCOMPARE(ruleIds(report), (QStringList{u"description-short"_s, u"revisit-after-ignored"_s,
                                               u"content-language-tag"_s}));
        QCOMPARE(report.titleText, u"Fish & Chips"_s);
        QCOMPARE(report.descriptionText, u"Say \"hi\""_s);
        QCOMPARE(report.findings[0].at.line, 2);
        QCOMPARE(report.findings[2].at.line, 6); // keywords were empty: no line for them

        // Nothing ticked: the page the lines make has no title.
        const PageReport none = checkTagLines({}, FontMeasure::liberationSans());
        QCOMPARE(ruleIds(none), (QStringList{u"title-missing"_s, u"description-missing"_s}));
    }

    void addressLine_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<QString>("address");
        QTest::addRow("empty") << QString() << u"example.com"_s;
        QTest::addRow("a name") << u"Jane Doe"_s << u"example.com"_s;
        QTest::addRow("one word") << u"localhost"_s << u"example.com"_s;
        QTest::addRow("mail address") << u"jane@example.org"_s << u"example.com"_s;
        QTest::addRow("other scheme") << u"ftp://example.org"_s << u"example.com"_s;
        QTest::addRow("home page") << u" https://www.Example.org/ "_s << u"https://www.example.org"_s;
        QTest::addRow("path as crumbs")
            << u"http://example.org/shop/fish%20cakes"_s << u"http://example.org › shop › fish cakes"_s;
        QTest::addRow("without scheme") << u"www.example.org"_s << u"www.example.org"_s;
        QTest::addRow("without scheme, with path") << u"example.org/about"_s << u"example.org › about"_s;
    }
    void addressLine()
    {
        QFETCH(QString, owner);
        QFETCH(QString, address);
        QCOMPARE(resultAddress(owner), address);
    }

    void referencesDecodeAsTheParserDoes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("inAttribute");
        QTest::addColumn<QString>("decoded");
        QTest::addRow("none") << u"a < b"_s << false << u"a < b"_s;
        QTest::addRow("named and numeric")
            << u"&lt;&#65;&#x42;&eacute;&nbsp;"_s << false << u"<AB\u00e9\u00a0"_s;
        QTest::addRow("without semicolon in text") << u"&copy 2024"_s << false << u"\u00a9 2024"_s;
        QTest::addRow("unknown name stays") << u"&bogus; &"_s << false << u"&bogus; &"_s;
        QTest::addRow("quote in an attribute") << u"say \"hi\" &amp; go"_s << true << u"say \"hi\" & go"_s;
        QTest::addRow("legacy reference before = in an attribute")
            << u"?a=1&copy=2"_s << true << u"?a=1&copy=2"_s;
    }
    void referencesDecodeAsTheParserDoes()
    {
        QFETCH(QString, text);
        QFETCH(bool, inAttribute);
        QFETCH(QString, decoded);
        QCOMPARE(decodeReferences(text, inAttribute), decoded);
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

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("charset");
        QTest::addColumn<int>("result"); // 1 decodes, 0 fails, -1 unknown charset
        QTest::addRow("UTF-8") << QByteArray("Zo\xc3\xab") << u"utf-8"_s << 1;
        QTest::addRow("Latin-1 byte as UTF-8") << QByteArray("Zo\xeb") << u"UTF-8"_s << 0;
        QTest::addRow("UTF-8 cut in the middle") << QByteArray("Zo\xc3") << u"utf-8"_s << 0;
        QTest::addRow("UTF-8 surrogate") << QByteArray("a\xed\xa0\x80") << u"utf-8"_s << 0;
        QTest::addRow("UTF-8 overlong slash") << QByteArray("a\xc0\xaf") << u"utf-8"_s << 0;
        QTest::addRow("UTF-8 past U+10FFFF") << QByteArray("a\xf4\x90\x80\x80") << u"utf-8"_s << 0;
        QTest::addRow("UTF-8 stray continuation byte") << QByteArray("abcd\x80") << u"utf-8"_s << 0;
        QTest::addRow("Latin-1 takes every byte") << QByteArray("\x80\xff") << u"iso-8859-1"_s << 1;
        QTest::addRow("windows-1252 takes every byte, as browsers read it")
            << QByteArray("\x81\x8d\x8f\x90\x9d") << u"windows-1252"_s << 1;
        QTest::addRow("utf-16 in a page means UTF-8") << QByteArray("a\xff") << u"utf-16"_s << 0;
        QTest::addRow("hz-gb-2312 is never decoded") << QByteArray("a") << u"hz-gb-2312"_s << -1;
        QTest::addRow("Shift_JIS lead byte without trail") << QByteArray("\x82") << u"shift_jis"_s << 0;
        QTest::addRow("Shift_JIS") << QByteArray("\x82\xa0") << u"shift_jis"_s << 1;
        QTest::addRow("logical Hebrew is ISO-8859-8") << QByteArray("\xe0") << u"iso-8859-8-i"_s << 1;
        QTest::addRow("DOS Hebrew") << QByteArray("\x80") << u"DOS-862"_s << 1;
        QTest::addRow("DOS Arabic, which iconv lacks") << QByteArray("\x80") << u"DOS-720"_s << 1;
        QTest::addRow("unknown charset") << QByteArray("a") << u"x-brindle-none"_s << -1;
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
    }

    // The charset rules see the bytes the head reader read, which may stop
    // inside a character of a page that goes on.
    void aCharacterCutByTheEndOfWhatWasRead_data()
    {
        QTest::addColumn<QString>("charset");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<int>("decoding");
        QTest::addRow("UTF-8, the page goes on")
            << u"utf-8"_s << QByteArray("abc\xe2\x82") << false << int(Decoding::Decodes);
        QTest::addRow("UTF-8, at the page's end")
            << u"utf-8"_s << QByteArray("abc\xe2\x82") << true << int(Decoding::Fails);
        QTest::addRow("UTF-8, invalid before the cut")
            << u"utf-8"_s << QByteArray("a\xff\xe2\x82") << false << int(Decoding::Fails);
        QTest::addRow("Shift_JIS lead byte")
            << u"shift_jis"_s << QByteArray("a\x82") << false << int(Decoding::Decodes);
        QTest::addRow("GB18030, three of four bytes")
            << u"gb18030"_s << QByteArray("a\x81\x30\x81") << false << int(Decoding::Decodes);
        QTest::addRow("GB18030 at the page's end")
            << u"gb18030"_s << QByteArray("a\x81\x30\x81") << true << int(Decoding::Fails);
    }
    void aCharacterCutByTheEndOfWhatWasRead()
    {
        QFETCH(QString, charset);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, complete);
        QFETCH(int, decoding);
        PageFacts facts;
        facts.charsets.push_back({charset, {6, 1}, Decoding::Decodes});
        scanBytes(facts, bytes, complete);
        QCOMPARE(int(facts.charsets[0].decoding), decoding);
        QVERIFY(!facts.bytesAreAscii);
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
