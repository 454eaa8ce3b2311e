// Pages read as a browser with scripting on reads them, by import, check and
// apply alike: what the head is, which charset its bytes are in, and the
// values import makes of it.

#include "common/headof.h"

#include "base/error.h"
#include "check/checker.h"
#include "check/pagecheck.h"
#include "check/textmeasure.h"
#include "pagehead/pageapply.h"
#include "pagehead/pagecharset.h"
#include "pagehead/pageimport.h"
#include "tags/tagcatalogue.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace brindle;
using namespace brindle::pagehead;
using brindle::test::headOf;

namespace {

// The lines of a profile that writes a title and a description.
ProfileLines titleAndDescription()
{
    using namespace brindle::tags;
    TagValues values = TagValues::defaults();
    values.values[Title] = u"New"_s;
    values.values[Description] = u"Fresh"_s;
    RowTicks ticks{};
    ticks[std::size_t(listRowOfTag(Title))] = true;
    ticks[std::size_t(listRowOfTag(Description))] = true;
    return ProfileLines::of(values, ticks);
}

// The page as apply leaves it, or the reason it leaves it alone.
QByteArray applied(const QByteArray &page, const ProfileLines &lines)
{
    const PageHead head = headOf(page);
    if (head.problem != HeadProblem::None)
        return "left alone: " + head.problemText.toUtf8();
    try {
        return applyEdits(page, planEdits(head, page, lines, linesCharset(head, page, lines)));
    } catch (const Error &e) {
        return "left alone: " + e.message().toUtf8();
    }
}

QStringList ruleIds(const check::PageReport &report)
{
    QStringList ids;
    for (const check::Finding &f : report.findings)
        ids << f.rule;
    return ids;
}

check::PageReport checked(const QByteArray &page)
{
    return check::checkPageBytes(page, check::FontMeasure::liberationSans(), u"page.html"_s);
}

const QByteArray kDescription = "<meta name=\"description\" content=\"Old\">";

// The text in UTF-16 with its byte-order mark.
QByteArray utf16(const QString &text, bool littleEndian)
{
    QByteArray bytes = littleEndian ? QByteArray("\xff\xfe") : QByteArray("\xfe\xff");
    for (QChar c : text) {
        const char high = char(c.unicode() >> 8);
        const char low = char(c.unicode() & 0xFF);
        bytes += littleEndian ? low : high;
        bytes += littleEndian ? high : low;
    }
    return bytes;
}

} // namespace

class TestPageReading : public QObject
{
    Q_OBJECT

private slots:
    // Scripting is on in browsers, so a <noscript> in the head holds text:
    // its tags neither end the head nor count as the page's tags.
    void noscriptInTheHeadIsText_data()
    {
        QTest::addColumn<QByteArray>("noscript");
        QTest::addRow("the tracking pixel") << QByteArray(
            "<noscript><img height=\"1\" width=\"1\" src=\"https://t.example/p?id=1\"/></noscript>");
        QTest::addRow("an iframe, in capitals")
            << QByteArray("<NOSCRIPT><iframe src=\"https://t.example/ns\"></iframe></NOSCRIPT>");
        QTest::addRow("its metas do not count") << QByteArray(
            "<noscript><meta name=\"description\" content=\"No script\"><title>No</title></noscript>");
        QTest::addRow("a noframes end tag inside is text")
            << QByteArray("<noscript></noframes><div>x</div></noscript >");
        QTest::addRow("a DOCTYPE inside") << QByteArray("<noscript><!DOCTYPE html></noscript>");
    }
    void noscriptInTheHeadIsText()
    {
        QFETCH(QByteArray, noscript);
        const QByteArray page = "<html><head><title>Shop</title>\n" + noscript + "\n" + kDescription +
                                "\n</head><body><p>x</p></body>";
        const ImportedProfile imported = importHead(headOf(page));
        QCOMPARE(imported.texts[tags::Title], u"Shop"_s);
        QCOMPARE(imported.texts[tags::Description], u"Old"_s);

        const check::PageReport report = checked(page);
        QVERIFY2(!ruleIds(report).contains(u"description-missing"_s), qPrintable(ruleIds(report).join(u' ')));
        QVERIFY(!ruleIds(report).contains(u"title-multiple"_s));

        // The description is replaced where it stands, not added before the <noscript>.
        QByteArray expected = page;
        expected.replace("<title>Shop</title>", "<title>New</title>");
        expected.replace(kDescription, "<meta name=\"description\" content=\"Fresh\">");
        QCOMPARE(applied(page, titleAndDescription()), expected);
    }

    // A template's contents are a fragment of their own: no title or meta in
    // them is the page's.
    void templateContentsNeverCount()
    {
        const QByteArray page = "<html><head><title>Shop</title>\n"
                                "<template><title>Row</title><meta name=\"description\" content=\"Row\">"
                                "<meta charset=\"koi8-r\"></template>\n"
                                "</head><body></body>";
        const PageHead head = headOf(page);
        QCOMPARE(head.titles().size(), std::size_t(1));
        QCOMPARE(head.metas().size(), std::size_t(0));
        QVERIFY(head.charsets.empty());
        const ImportedProfile imported = importHead(head);
        QCOMPARE(imported.texts[tags::Title], u"Shop"_s);
        QCOMPARE(imported.texts[tags::Description], QString());
        const QStringList rules = ruleIds(checked(page));
        QVERIFY2(!rules.contains(u"title-multiple"_s) && rules.contains(u"description-missing"_s),
                 qPrintable(rules.join(u' ')));
        QVERIFY(applied(page, titleAndDescription())
                    .contains("<title>New</title>\n<meta name=\"description\" "
                              "content=\"Fresh\">\n<template>"));
    }

    // A head the fuzzer found: a <template> holding a stray "<<head>" and
    // formatting elements, which the parser makes again inside it.
    void elementsInPageOrderEachAtALessThanSign()
    {
        const QByteArray page = QByteArray::fromBase64(
            "PGhlYWQ+PG1ldGEgYy1nbm9zY3JpcHQ+PHRlbXBsYXRlPjxkaXZwdD48ZXRtcGxhdGU+"
            "PDxoZWFkPjxtZXRhIGMtZGl2PjxwPng8"
            "ZXRtcC9saGFwdD48YXRlPjxkaXY+PHA+eGUvbGhhcHQ+PGENCj48ZGl2PjxwPnhwdD48dGVtcGx2");
        const PageHead head = headOf(page);
        QCOMPARE(head.problem, HeadProblem::None);
        QVERIFY(!head.elements.empty());
        qsizetype previous = -1;
        for (const HeadElement &e : head.elements) {
            QVERIFY2(e.start.offset > previous, qPrintable(e.name));
            QCOMPARE(page.at(e.start.offset), '<');
            QVERIFY(e.startTagEnd <= e.end && e.end <= page.size());
            previous = e.start.offset;
        }
    }

    // The parser keeps the strings of some DOCTYPE tokens it ignores; none of
    // these may leak (the sanitizer build reports it) nor change what is read.
    void doctypeTokensWhereNoneMayStand_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("title");
        const QByteArray d = "<!DOCTYPE html>";
        QTest::addRow("in the head's noscript")
            << "<html><head><noscript>" + d + "</noscript></head><body></body>" << QString();
        QTest::addRow("in the head") << "<html><head>" + d + "<title>T</title></head>" << u"T"_s;
        QTest::addRow("twice at the start") << d + d + "<html><head><title>T</title></head>" << u"T"_s;
        QTest::addRow("after <html>") << "<html>" + d + "<head><title>T</title></head>" << u"T"_s;
        QTest::addRow("after </head>") << "<html><head><title>T</title></head>" + d + "<body>" << u"T"_s;
        QTest::addRow("after text, which starts the body") << "x" + d + "<title>T</title>" << QString();
        QTest::addRow("in a template")
            << "<head><template>" + d + "</template><title>T</title></head>" << u"T"_s;
        QTest::addRow("in a title") << "<head><title>T" + d + "</title></head>" << u"T<!DOCTYPE html>"_s;
        QTest::addRow("in the body") << "<head><title>T</title></head><body>" + d + "<p>x</p>" << u"T"_s;
        QTest::addRow("with a public identifier, in the head's noscript")
            << QByteArray("<head><noscript><!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" \"x\">"
                          "</noscript><title>T</title></head>")
            << u"T"_s;
        QTest::addRow("unclosed, in the head's noscript")
            << QByteArray("<head><title>T</title><noscript><!DOCTYPE html") << u"T"_s;
    }
    void doctypeTokensWhereNoneMayStand()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, title);
        const PageHead head = headOf(page);
        QCOMPARE(head.problem, HeadProblem::None);
        QVERIFY(!head.xhtml); // a DOCTYPE out of place is not the page's
        QCOMPARE(importHead(head).texts[tags::Title], title);
        checked(page);
        applied(page, titleAndDescription());
    }

    void encodingsAsBrowsersReadThem_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("title");
        QTest::addRow("iso-8859-1 is windows-1252")
            << QByteArray("<head><meta charset=iso-8859-1><title>\x93Hi\x94 \x96 \x80 \xe9</title>")
            << u"windows-1252"_s << u"“Hi” – € é"_s;
        QTest::addRow("us-ascii is windows-1252")
            << QByteArray("<head><meta http-equiv=content-type content='text/html; charset=us-ascii'>"
                          "<title>caf\xe9</title>")
            << u"windows-1252"_s << u"café"_s;
        QTest::addRow("windows-1252 bytes glibc leaves undefined are C1 controls")
            << QByteArray("<head><meta charset=windows-1252><title>a\x81z</title>") << u"windows-1252"_s
            << u"a\u0081z"_s;
        QTest::addRow("a UTF-8 byte-order mark")
            << QByteArray("\xef\xbb\xbf<html><head><title>Caf\xc3\xa9</title></head>") << u"UTF-8"_s
            << u"Café"_s;
        QTest::addRow("the byte-order mark wins over a declaration")
            << QByteArray("\xef\xbb\xbf<head><meta charset=windows-1251><title>Caf\xc3\xa9</title>")
            << u"UTF-8"_s << u"Café"_s;
        QTest::addRow("UTF-16LE with its byte-order mark")
            << utf16(u"<head><meta charset=windows-1251><title>éл</title>"_s, true) << u"UTF-16LE"_s
            << u"éл"_s;
        QTest::addRow("UTF-16BE with its byte-order mark")
            << utf16(u"<title>\U0001F600</title>"_s, false) << u"UTF-16BE"_s << u"\U0001F600"_s;
        QTest::addRow("a meta naming UTF-16 means UTF-8")
            << QByteArray("<head><meta charset=utf-16><title>Caf\xc3\xa9</title>") << u"UTF-8"_s << u"Café"_s;
        QTest::addRow("x-user-defined in a meta is windows-1252")
            << QByteArray("<head><meta charset=x-user-defined><title>\x80</title>") << u"windows-1252"_s
            << u"€"_s;
        QTest::addRow("a label browsers do not know is passed over")
            << QByteArray("<head><meta charset=x-unknown><meta charset=windows-1251><title>\xcf\xf0</title>")
            << u"windows-1251"_s << u"Пр"_s;
        QTest::addRow("koi8-ru names KOI8-U")
            << QByteArray("<head><meta charset=koi8-ru><title>\xae\xbe</title>") << u"KOI8-U"_s << u"ўЎ"_s;
        QTest::addRow("ISO-2022-JP, whose escapes change what bytes mean")
            << QByteArray("<head><meta charset=iso-2022-jp><title>\x1b$B$3$s\x1b(B!</title>")
            << u"ISO-2022-JP"_s << u"こん!"_s;
        QTest::addRow("hz-gb-2312 is never decoded")
            << QByteArray("<head><meta charset=hz-gb-2312><title>~{<:~}</title>") << QString() << QString();
        QTest::addRow("a declaration in the first bytes counts even in the body")
            << QByteArray("<head><title>\xcf\xf0</title></head><body><meta charset=windows-1251>")
            << u"windows-1251"_s << u"Пр"_s;
    }
    void encodingsAsBrowsersReadThem()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, encoding);
        QFETCH(QString, title);
        const PageHead head = headOf(page);
        if (encoding.isEmpty()) {
            QCOMPARE(head.problem, HeadProblem::NotDecodable);
            QVERIFY2(head.problemText.contains(u"hz-gb-2312"_s), qPrintable(head.problemText));
            return;
        }
        QVERIFY2(head.problem == HeadProblem::None, qPrintable(head.problemText));
        QVERIFY2(sameCharset(head.encoding, encoding), qPrintable(head.encoding));
        QCOMPARE(head.titles().size(), std::size_t(1));
        QCOMPARE(head.titles().front()->text, title);
        QVERIFY(page.mid(head.titles().front()->start.offset, 2).contains('<'));
    }

    // Values come on one line, as an input holds them; a title as browsers
    // show it. Character references stay as written.
    void valuesOnOneLine_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("description");
        QTest::addRow("CR LF, LF, CR") << QByteArray("<title>Ann\r\nBob\nCy\rDan</title>"
                                                     "<meta name=description content=\"a\r\nb\nc\rd\">")
                                       << u"Ann Bob Cy Dan"_s << u"a b c d"_s;
        QTest::addRow("tabs and form feeds")
            << QByteArray("<title>a\t\fb</title><meta name=description content='a\t\fb'>") << u"a b"_s
            << u"a  b"_s;
        QTest::addRow("a title's blanks collapse and trim")
            << QByteArray("<title>\n   Home  \t Garden \n</title><meta name=description content='  x  '>")
            << u"Home Garden"_s << u"  x  "_s;
        QTest::addRow("references stay")
            << QByteArray("<title>a&#10;b &amp;</title><meta name=description content='&#13;'>")
            << u"a&#10;b &amp;"_s << u"&#13;"_s;
        QTest::addRow("other spaces stay")
            << QByteArray("<title>a\xc2\xa0\xc2\xa0"
                          "b</title><meta name=description content='a\xe2\x80\xa8"
                          "b'>")
            << u"a\u00a0\u00a0b"_s << u"a\u2028b"_s;
    }
    void valuesOnOneLine()
    {
        QFETCH(QByteArray, head);
        QFETCH(QString, title);
        QFETCH(QString, description);
        const ImportedProfile imported =
            importHead(headOf("<head>" + head + "<meta property=og:title content='x\ny'>"));
        QCOMPARE(imported.texts[tags::Title], title);
        QCOMPARE(imported.texts[tags::Description], description);
        QCOMPARE(imported.social[tags::OgTitle], u"x y"_s);
    }

    // Lines go only into charsets that keep ASCII bytes as they are, by the
    // charset the page is in as browsers take it.
    void linesInThePagesCharset_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("expected"); // the new title line, or why the page is left alone
        QTest::addRow("utf-16 in a meta means UTF-8")
            << QByteArray("<head><meta charset=\"utf-16\"><title>Old</title></head>")
            << QByteArray("<title>Neu \xc3\xa9</title>");
        QTest::addRow("utf-16le in a content type")
            << QByteArray("<head><meta http-equiv=content-type content='text/html; "
                          "charset=utf-16le'><title>Old</title>")
            << QByteArray("<title>Neu \xc3\xa9</title>");
        QTest::addRow("utf-16be") << QByteArray("<head><meta charset=UTF-16BE><title>Old</title>")
                                  << QByteArray("<title>Neu \xc3\xa9</title>");
        QTest::addRow("latin1 is windows-1252") << QByteArray("<head><meta charset=latin1><title>Old</title>")
                                                << QByteArray("<title>Neu \xe9</title>");
        QTest::addRow("utf-32, which browsers ignore")
            << QByteArray("<head><meta charset=utf-32><title>Old</title>") << QByteArray("\"utf-32\"");
        QTest::addRow("utf-7") << QByteArray("<head><meta charset=utf-7><title>Old</title>")
                               << QByteArray("\"utf-7\"");
        QTest::addRow("a UTF-16 page") << utf16(u"<title>Old</title>"_s, true) << QByteArray("UTF-16LE");
        QTest::addRow("ISO-2022-JP") << QByteArray("<head><meta charset=iso-2022-jp><title>Old</title>")
                                     << QByteArray("ISO-2022-JP");
    }
    void linesInThePagesCharset()
    {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, expected);
        using namespace brindle::tags;
        TagValues values = TagValues::defaults();
        values.values[Title] = u"Neu é"_s;
        RowTicks ticks{};
        ticks[std::size_t(listRowOfTag(Title))] = true;
        const QByteArray result = applied(page, ProfileLines::of(values, ticks));
        if (expected.startsWith("<title>")) {
            QCOMPARE(result, QByteArray(page).replace("<title>Old</title>", expected));
        } else {
            QVERIFY2(result.startsWith("left alone: ") && result.contains(expected), result.constData());
            QVERIFY(!result.contains('\0'));
        }
    }
};

QTEST_GUILESS_MAIN(TestPageReading)
#include "tst_pagereading.moc"
