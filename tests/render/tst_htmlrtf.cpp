#include "render/colorize.h"
#include "render/htmlrtf.h"
#include "render/rtfreader.h"
#include "render/viewercolors.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

using namespace Qt::StringLiterals;
using namespace brindle::render;

namespace {

// Everything in front of the tokens, in the tags viewer's colours.
const QByteArray kProlog =
    R"({\rtf1\ansi\ansicpg1252\deff0\deftab720{\fonttbl{\f0\fmodern\fcharset0 Courier New;}})"
    "\r\n"
    R"({\colortbl\red0\green0\blue0;\red255\green0\blue0;\red0\green128\blue0;\red128\green0\blue128;)"
    R"(\red128\green0\blue128;\red255\green0\blue0;\red0\green0\blue255;\red0\green0\blue128;)"
    R"(\red0\green0\blue255;\red255\green0\blue0;\red255\green0\blue0;\red255\green0\blue0;})"
    "\r\n"
    R"(\deflang1033\pard\plain\f0\fs20\f0 )";

// The tokens of the viewer's RTF for a text, without prolog and closing.
QByteArray body(const QByteArray &html)
{
    const QByteArray rtf = colorizeHtml(html);
    if (!rtf.startsWith(kProlog) || !rtf.endsWith(" }"))
        return "malformed: " + rtf;
    return rtf.mid(kProlog.size(), rtf.size() - kProlog.size() - 2);
}

// A copy of `text` in an allocation that ends right after its NUL, so that
// the address sanitizer catches any read past it.
std::unique_ptr<char[]> exactCopy(const char *text)
{
    const std::size_t size = std::strlen(text) + 1;
    auto copy = std::make_unique<char[]>(size);
    std::memcpy(copy.get(), text, size);
    return copy;
}

QString runTool(const QString &program, const QStringList &args, bool *found)
{
    *found = !QStandardPaths::findExecutable(program).isEmpty();
    if (!*found)
        return {};
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000)) {
        p.kill();
        return u"<timeout>"_s;
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestColouring : public QObject
{
    Q_OBJECT

private slots:
    void oneMetaLine_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QByteArray>("rtf");
        const QByteArray tokens =
            R"(\cf7 <\cf4 meta\cf5  \cf3 name\cf7 =\cf6 "a"\cf5  \cf3 content\cf7 =\cf6 "b"\cf5  \cf3 /\cf7 >)";
        QTest::addRow("single line") << QByteArray(R"(<meta name="a" content="b" />)")
                                     << kProlog + tokens + " }";
        QTest::addRow("line ending with CR LF")
            << QByteArray("<meta name=\"a\" content=\"b\" />\r\n") << kProlog + tokens + "\\par\\cf5 \r\n }";
        QTest::addRow("empty text: prolog and closing only") << QByteArray() << kProlog + " }";
    }
    void oneMetaLine()
    {
        QFETCH(QByteArray, html);
        QFETCH(QByteArray, rtf);
        QCOMPARE(colorizeHtml(html), rtf);
    }

    void tokens_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QByteArray>("expected");
        auto row = [](const char *name, const QByteArray &html, const QByteArray &expected) {
            QTest::addRow("%s", name) << html << expected;
        };
        row("entity between texts", "<p>A &amp; B</p>",
            R"(\cf7 <\cf4 p\cf7 >\cf8 A \cf11 &amp;\cf8  B\cf7 <\cf4 /p\cf7 >)");
        row("entity in capitals", "<p>&AMP;", R"(\cf7 <\cf4 p\cf7 >\cf8 \cf11 &AMP;)");
        row("unknown entity stays text", "<p>&zz; x", R"(\cf7 <\cf4 p\cf7 >\cf8 &zz; x)");
        row("divide matches without its semicolon", "<p>&divide;",
            R"(\cf7 <\cf4 p\cf7 >\cf8 \cf11 &divide\cf8 ;)");
        row("text starting with an entity", "<b>&copy; 2024",
            R"(\cf7 <\cf4 b\cf7 >\cf8 \cf11 &copy;\cf8  2024)");
        row("entity before any tag keeps the initial class", "&amp;", R"(\cf11 \cf8 \cf11 &amp;)");
        row("entity right after =", "<p a=b c=&amp;>",
            R"(\cf7 <\cf4 p\cf5  \cf3 a\cf7 =\cf10 b\cf5  \cf3 c\cf7 =\cf7 \cf8 \cf11 &amp;\cf8 >)");
        row("comment", "<!-- a -->", R"(\cf2 <!--\cf2  a -->)");
        row("comment over two lines", "<!-- a\r\nb -->x",
            R"(\cf2 <!--\cf2  a\par\cf5 )"
            "\r\n"
            R"(\cf2 b -->\cf8 x)");
        row("shortest comment", "<!-->x", R"(\cf2 <!--\cf2 >\cf8 x)");
        row("server script", "<% a > b %>c", R"(\cf1 <%\cf1  a > b %>\cf8 c)");
        row("shortest server script", "<%>x", R"(\cf1 <%\cf1 >\cf8 x)");
        row("double slash text", "<p>// note", "\\cf7 <\\cf4 p\\cf7 >\\cf2 // note");
        row("double slash after blanks", "<p> // note", "\\cf7 <\\cf4 p\\cf7 >\\cf2  // note");
        row("quoted and unquoted values", R"(<a href="x" b=y>)",
            R"(\cf7 <\cf4 a\cf5  \cf3 href\cf7 =\cf6 "x"\cf5  \cf3 b\cf7 =\cf10 y\cf7 >)");
        row("quoted value wins over double slash", "<a b=\"//x\" c=//y>",
            "\\cf7 <\\cf4 a\\cf5  \\cf3 b\\cf7 =\\cf6 \"//x\"\\cf5  \\cf3 c\\cf7 =\\cf2 //y\\cf7 >");
        row("quoted string that is no value", R"(<a "q">)", R"(\cf7 <\cf4 a\cf5  \cf6 "q"\cf7 >)");
        row("quote ends at the line end", "<a b=\"x\r\ny\">",
            R"(\cf7 <\cf4 a\cf5  \cf3 b\cf7 =\cf6 "x\par\cf5 )"
            "\r\n"
            R"(\cf3 y\cf6 ">)");
        row("unlisted tag name", "<zz>", R"(\cf7 <\cf9 zz\cf7 >)");
        row("unlisted tag name hashing to 243", "<zzzzzzzzzi>", R"(\cf7 <\cf9 zzzzzzzzzi\cf7 >)");
        row("tag name hashing to 244 is an attribute name", "<zzzzzzzzzj>", R"(\cf7 <\cf3 zzzzzzzzzj\cf7 >)");
        row("closing form the table lacks", "</br></P>", R"(\cf7 <\cf9 /br\cf7 >\cf7 <\cf4 /P\cf7 >)");
        row("br/", "<br/>", R"(\cf7 <\cf9 br/\cf7 >)");
        row("digits only", "<123", R"(\cf7 <\cf9 123)");
        row("letters after digits", "<h1x", R"(\cf7 <\cf4 h1\cf3 x)");
        row("processing instruction", "<?xml", R"(\cf7 <\cf9 \cf3 ?xml)");
        row("word before the first tag", "hello <b>", R"(\cf3 hello\cf5  \cf7 <\cf4 b\cf7 >)");
        row("backslash and braces", "<p>a\\b{c}</p>",
            R"(\cf7 <\cf4 p\cf7 >\cf8 a\\b\{c\}\cf7 <\cf4 /p\cf7 >)");
        row("TAB starts a new blank run", "<a  \t  b>",
            R"(\cf7 <\cf4 a\cf5   \cf5 )"
            "\t  "
            R"(\cf3 b\cf7 >)");
        row("two TABs are two tokens", "<a\t\tb>",
            R"(\cf7 <\cf4 a\cf5 )"
            "\t"
            R"(\cf5 )"
            "\t"
            R"(\cf3 b\cf7 >)");
        row("control character starts a blank run in text", "<p>a\x01  b",
            R"(\cf7 <\cf4 p\cf7 >\cf8 a\cf5 )"
            "\x01  "
            R"(\cf8 b)");
        row("CR LF", "<br>\r\n<br>",
            R"(\cf7 <\cf4 br\cf7 >\par\cf5 )"
            "\r\n"
            R"(\cf7 <\cf4 br\cf7 >)");
        row("lone CR", "<br>\r<br>",
            R"(\cf7 <\cf4 br\cf7 >\par\cf5 )"
            "\r"
            R"(\cf7 <\cf4 br\cf7 >)");
        row("lone LF gets no par", "<br>\n<br>",
            R"(\cf7 <\cf4 br\cf7 >\cf5 )"
            "\n"
            R"(\cf7 <\cf4 br\cf7 >)");
        row("text ends at NUL", QByteArray("<b>x\0<i>", 8), R"(\cf7 <\cf4 b\cf7 >\cf8 x)");

        // Non-ASCII text is UTF-8; RTF readers need it as Unicode escapes.
        row("non-ASCII as Unicode escapes",
            "<p>Gr\xc3\xbc\xc3\x9f"
            "e, \xe6\x9d\xb1\xe4\xba\xac \xf0\x9f\x98\x80</p>",
            R"(\cf7 <\cf4 p\cf7 >\cf8 Gr\u252?\u223?e, \u26481?\u20140? \u-10179?\u-8704?\cf7 <\cf4 /p\cf7 >)");
        row("invalid UTF-8 as hex escapes",
            "<p>\xff\xc3(\xe2\x82"
            "x\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80</p>",
            "\\cf7 <\\cf4 p\\cf7 >\\cf8 \\'ff\\'c3(\\'e2\\'82x\\'c0\\'af\\'ed\\'a0\\'80\\'f4\\'90\\'80\\'80"
            "\\cf7 <\\cf4 /p\\cf7 >");
        row("high bytes do not end words in tags", "<a \xc3\xa9=\xc3\xbc>",
            R"(\cf7 <\cf4 a\cf5  \cf3 \u233?\cf7 =\cf10 \u252?\cf7 >)");
        row("UTF-8 right after a tag name", "<p\xc3\xa9>", R"(\cf7 <\cf4 p\cf3 \u233?\cf7 >)");
        row("escape before Unicode escape", "<p>\\\xc3\xa9{", R"(\cf7 <\cf4 p\cf7 >\cf8 \\\u233?\{)");
    }
    void tokens()
    {
        QFETCH(QByteArray, html);
        QFETCH(QByteArray, expected);
        QCOMPARE(body(html), expected);
    }

    // The slices a stream hands to its sink make up the same document, and
    // its buffer never holds the whole of it.
    void streamInSlices_data()
    {
        QTest::addColumn<qsizetype>("slice");
        QTest::addRow("one byte") << qsizetype(1);
        QTest::addRow("seven bytes") << qsizetype(7);
        QTest::addRow("a page") << qsizetype(4096);
    }
    void streamInSlices()
    {
        QFETCH(qsizetype, slice);
        const QByteArray html = QByteArray("<p class=\"x\">Gr\xc3\xbc\xc3\x9f"
                                           "e &amp; {x}</p>\r\n")
                                    .repeated(200);
        QByteArray joined;
        qsizetype largest = 0;
        QByteArray buffer;
        {
            RtfStream stream(
                buffer,
                [&](QByteArrayView bytes) {
                    joined += bytes;
                    largest = std::max(largest, bytes.size());
                },
                slice);
            colorizeHtml(html, stream);
        }
        QCOMPARE(joined, colorizeHtml(html));
        QVERIFY(largest <= std::max(slice, qsizetype(512))); // a slice, or the largest single write
        QVERIFY(buffer.isEmpty());
    }

    // A text read piece by piece converts exactly as the whole text, however
    // the window and the reads cut it: tokens longer than the window, UTF-8
    // sequences, entities, line breaks and comment ends across its edges,
    // colours that wait for the end of a long run of blanks or of a long tag
    // name, and the first NUL as the end.
    void streamingMatchesWholeText_data()
    {
        QTest::addColumn<QByteArray>("text");
        const QByteArray mixed = "<!DOCTYPE html>\r\n<html><head><title>T &amp; t</title>\r"
                                 "<meta name=\"a\" content=b /><P CLASS='x'>Gr\xc3\xbc\xc3\x9f"
                                 "e {\\} &lt;&divide&Ccedil;&#9; &bogus; &</p>\n"
                                 "<%= x %><% y -%> %><!-- c -- > --><!---->\t \x01<a & b=\"\">"
                                 "\xf0\x9f\x98\x80\xe2\x82\xac\xff\xc3 // note\r\n<h1 // x=//y>";
        const auto many = [](const QByteArray &unit, qsizetype n) { return unit.repeated(n); };
        QTest::addRow("empty") << QByteArray();
        QTest::addRow("mixed document") << many(mixed, 40);
        QTest::addRow("line breaks") << many("x\r\ny\rz\n", 600);
        QTest::addRow("entities back to back") << many("&amp;&lt;&Ccedil;&divide;&#9;&ldots;&amp", 200);
        QTest::addRow("long text with an entity") << ">" + many("a", 5000) + "&amp;b<p>";
        QTest::addRow("long quoted value") << "<a href=\"" + many("x", 5000) + "\">t";
        QTest::addRow("long quoted attribute value") << "<a href=" + many("\"x", 1) + many("y", 5000) + "\">";
        QTest::addRow("long unquoted value") << "<a href=" + many("x", 5000) + ">t";
        QTest::addRow("long unquoted value with slashes") << "<a href=//" + many("x", 5000) + ">";
        QTest::addRow("long attribute name") << "<a " + many("x", 5000) + "=1>";
        QTest::addRow("long attribute name with slashes") << "<a //" + many("x", 5000) + ">";
        QTest::addRow("long tag name of letters") << "<" + many("A", 3000) + " x>";
        QTest::addRow("long tag name of zeros") << "<a" + many("0", 5000) + ">";
        QTest::addRow("long tag name, hash passes the table late")
            << "<a" + many("0", 3000) + "99999999999999999999999999999" + many("0", 2000) + "9>";
        QTest::addRow("long tag name with slashes") << "<//" + many("a", 3000) + ">";
        QTest::addRow("tag name at the end") << "<" + many("b0", 1) + many("0", 5000);
        QTest::addRow("blanks before slashes in text") << ">" + many(" ", 5000) + "//x<p>";
        QTest::addRow("blanks before one slash in text") << ">" + many(" ", 5000) + "/x";
        QTest::addRow("blanks and a slash end the text") << ">" + many(" ", 5000) + "/";
        QTest::addRow("blanks end the text") << ">" + many(" ", 5000);
        QTest::addRow("blanks before slashes in a script") << "<%" + many("\t \x0b", 2000) + "//c %>x";
        QTest::addRow("blanks before a word in a script") << "<%" + many(" ", 5000) + "y %>";
        QTest::addRow("long script") << "<%" + many("y>", 3000) + "%>x";
        QTest::addRow("long comment") << "<!--" + many("c->", 2000) + "-->x";
        QTest::addRow("comments with ends everywhere") << many("<!-- ab -->", 500);
        QTest::addRow("ends that look back into the token before") << many("<!-->x<%>y<!--->z", 300);
        QTest::addRow("long blank run") << "a" + many("\x01 \x02\x1f", 2000) + "b";
        QTest::addRow("long non-ASCII text")
            << "<p>" + many("\xc3\xa9", 3000) + many("\xf0\x9f\x98\x80", 1000) + "\xff\xe2\x82" + "</p>";
        QTest::addRow("long invalid UTF-8 value") << "<a b=\"" + many("\xe2\x82\xc3", 3000) + "\">";
        QTest::addRow("text ends at the first NUL") << many(mixed, 10) + QByteArray("\0<p>more", 8);
        QTest::addRow("NUL first") << QByteArray("\0<p>", 4);
    }
    void streamingMatchesWholeText()
    {
        QFETCH(QByteArray, text);
        const QByteArray whole = colorizeHtml(QByteArray(text.constData())); // up to the first NUL
        for (const qsizetype window :
             {qsizetype(0), qsizetype(257), qsizetype(263), qsizetype(1024), qsizetype(4099)}) {
            for (const qsizetype read : {qsizetype(1), qsizetype(13), qsizetype(1) << 20}) {
                qsizetype offset = 0;
                const TextSource source = [&](char *to, qsizetype capacity) {
                    const qsizetype n = std::min({read, capacity, text.size() - offset});
                    std::memcpy(to, text.constData() + offset, std::size_t(n));
                    offset += n;
                    return n;
                };
                QByteArray rtf;
                {
                    RtfStream stream(rtf);
                    TsyxHTMLRTF converter;
                    converter.SetupColors(kViewerColors);
                    converter.convertSourceToStream(source, stream, window);
                    stream.finish();
                }
                if (rtf != whole) {
                    qsizetype at = 0;
                    while (at < rtf.size() && at < whole.size() && rtf[at] == whole[at])
                        ++at;
                    QFAIL(qPrintable(
                        u"window %1, reads of %2: differs at %3: %4 / %5"_s.arg(window).arg(read).arg(at).arg(
                            QString::fromLatin1(rtf.mid(at - 20, 60).toPercentEncoding()),
                            QString::fromLatin1(whole.mid(at - 20, 60).toPercentEncoding()))));
                }
            }
        }
    }

    // A run of blanks too long to hold in memory waits in a temporary file
    // until the "//" after it settles its colour.
    void longBlankRunBeforeSlashes()
    {
        const QByteArray text = ">" + QByteArray(3 << 20, ' ') + "//x";
        qsizetype offset = 0;
        QByteArray rtf;
        {
            RtfStream stream(rtf);
            colorizeHtml(
                [&](char *to, qsizetype capacity) {
                    const qsizetype n = std::min(capacity, text.size() - offset);
                    std::memcpy(to, text.constData() + offset, std::size_t(n));
                    offset += n;
                    return n;
                },
                stream);
            stream.finish();
        }
        QCOMPARE(rtf.size(), colorizeHtml(text).size());
        QVERIFY(rtf == colorizeHtml(text));
        QVERIFY(rtf.contains("\\cf2    "));
    }

    void tagNameTable()
    {
        const auto names = TsyxHTMLRTF::tagNames();
        QCOMPARE(names.size(), std::size_t(198));
        std::set<int> filled;
        int largest = -1;
        for (const std::string_view name : names) {
            const int hash = TsyxHTMLRTF::tagNameHash(name);
            QVERIFY2(hash < TsyxHTMLRTF::kTagBuckets, name.data());
            filled.insert(hash);
            largest = std::max(largest, hash);
        }
        QCOMPARE(largest, 243);
        QCOMPARE(TsyxHTMLRTF::tagNameHash("/BLOCKQUOTE"), 243);
        QCOMPARE(filled.size(), std::size_t(135));
        QCOMPARE(TsyxHTMLRTF::kTagBuckets - int(filled.size()), 109);

        QCOMPARE(TsyxHTMLRTF::tagNameHash("meta"), 39);
        QCOMPARE(TsyxHTMLRTF::tagNameHash("META"), 39);
        QCOMPARE(TsyxHTMLRTF::tagNameHash("/title"), 188);
        QCOMPARE(TsyxHTMLRTF::tagNameHash("br/"), 142);
        QCOMPARE(TsyxHTMLRTF::tagNameHash("123"), 6);
    }

    // Each listed name is found through its bucket, in any case.
    void everyListedNameIsATagName()
    {
        for (const std::string_view name : TsyxHTMLRTF::tagNames()) {
            const QByteArray upper(name.data(), qsizetype(name.size()));
            for (const QByteArray &spelling : {upper, upper.toLower()}) {
                const QByteArray expected = "\\cf7 <\\cf4 " + spelling + "\\cf7 >";
                QCOMPARE(body("<" + spelling + ">"), expected);
            }
        }
    }

    void entityTable()
    {
        const auto entities = TsyxHTMLRTF::entities();
        QCOMPARE(entities.size(), std::size_t(151));
        QCOMPARE(entities[98], std::string_view("&divide"));
        QCOMPARE(entities[107], std::string_view("&ldots;"));
        for (const std::string_view entity : entities) {
            const QByteArray text(entity.data(), qsizetype(entity.size()));
            QCOMPARE(body("<p>" + text + "x"), "\\cf7 <\\cf4 p\\cf7 >\\cf8 \\cf11 " + text + "\\cf8 x");
        }
    }

    void colorTables_data()
    {
        QTest::addColumn<QList<RtfColor>>("colors");
        QTest::addColumn<QByteArray>("table");
        QTest::addRow("empty list: black only")
            << QList<RtfColor>() << QByteArray("{\\colortbl\\red0\\green0\\blue0;}\r\n");
        QTest::addRow("red is the low byte")
            << QList<RtfColor>{0x00123456}
            << QByteArray("{\\colortbl\\red0\\green0\\blue0;\\red86\\green52\\blue18;}\r\n");
        QTest::addRow("system colour flag ignored")
            << QList<RtfColor>{0x8000000F}
            << QByteArray("{\\colortbl\\red0\\green0\\blue0;\\red15\\green0\\blue0;}\r\n");
    }
    void colorTables()
    {
        QFETCH(QList<RtfColor>, colors);
        QFETCH(QByteArray, table);
        TsyxHTMLRTF converter;
        converter.SetupColors(colors);
        QCOMPARE(converter.colorTable(), table);
    }

    void defaultColors()
    {
        const QByteArray defaults =
            R"({\colortbl\red0\green0\blue0;\red0\green128\blue0;\red128\green0\blue0;)"
            R"(\red0\green0\blue0;\red0\green0\blue255;\red0\green0\blue0;\red0\green128\blue0;)"
            R"(\red0\green0\blue255;\red0\green0\blue0;\red255\green0\blue0;\red0\green0\blue0;)"
            R"(\red0\green0\blue0;})"
            "\r\n";
        TsyxHTMLRTF converter;
        QCOMPARE(converter.colorTable(), defaults);
        converter.SetupColors(kViewerColors);
        QVERIFY(converter.colorTable() != defaults);
        converter.SetDefaultColors();
        QCOMPARE(converter.colorTable(), defaults);
    }

    void fontEntries_data()
    {
        QTest::addColumn<int>("pitchAndFamily");
        QTest::addColumn<int>("charSet");
        QTest::addColumn<QByteArray>("entry");
        QTest::addRow("modern, ANSI") << 0x31 << 0 << QByteArray("{\\f0\\fmodern\\fcharset0 F;}");
        QTest::addRow("swiss, symbol") << 0x22 << 2 << QByteArray("{\\f0\\fswiss\\fcharset2 F;}");
        QTest::addRow("decorative, OEM") << 0x50 << 255 << QByteArray("{\\f0\\fdecorative\\fcharset255 F;}");
        QTest::addRow("unknown family is roman, unknown set empty")
            << 0x60 << 77 << QByteArray("{\\f0\\froman\\ F;}");
    }
    void fontEntries()
    {
        QFETCH(int, pitchAndFamily);
        QFETCH(int, charSet);
        QFETCH(QByteArray, entry);
        TsyxHTMLRTF converter;
        QCOMPARE(converter.fontEntries(), QByteArray("{\\f0\\fmodern\\fcharset0 Courier New;}"));
        const RtfFont fonts[] = {{"F", quint8(pitchAndFamily), quint8(charSet)}, {"G", 0x10, 1}};
        converter.SetupFonts(fonts);
        QCOMPARE(converter.fontEntries(), entry + "{\\f1\\froman\\fcharset1 G;}");
    }

    // A second text starts in the state the first one ended in, and a second
    // conversion without a new text writes no tokens.
    void setTextKeepsState()
    {
        TsyxHTMLRTF converter;
        converter.SetupColors(kViewerColors);
        converter.SetText("<p>");
        QVERIFY(converter.ConvertToString().endsWith("\\cf7 <\\cf4 p\\cf7 > }"));
        QCOMPARE(converter.ConvertToString(), kProlog + " }");
        converter.SetText("a b");
        QCOMPARE(converter.ConvertToString(), kProlog + "\\cf8 a b }");
        QCOMPARE(body("a b"), QByteArray(R"(\cf3 a\cf5  \cf3 b)"));
    }

    // Texts set one after another never lead the scanner past a NUL, whatever
    // the previous text left behind: the first text is converted, the others
    // are only set.
    void stateCarriedIntoShortTexts_data()
    {
        QTest::addColumn<QByteArrayList>("texts");
        QTest::addColumn<QByteArray>("token");
        QTest::addRow("pending entity meets a shorter text")
            << QByteArrayList{"x>", "&amp;", "&"} << QByteArray("&");
        QTest::addRow("script end at the start of a text") << QByteArrayList{"<%", ">"} << QByteArray(">");
        QTest::addRow("comment end at the start of a text")
            << QByteArrayList{"<!--", "->"} << QByteArray("->");
    }
    void stateCarriedIntoShortTexts()
    {
        QFETCH(QByteArrayList, texts);
        QFETCH(QByteArray, token);
        TsyxHTMLRTF converter;
        std::vector<std::unique_ptr<char[]>> copies;
        for (const QByteArray &text : texts) {
            copies.push_back(exactCopy(text.constData()));
            converter.SetText(copies.back().get());
            if (copies.size() == 1)
                converter.ConvertToString();
        }
        QCOMPARE(converter.CurrentToken().toByteArray(), token);
        converter.NextToken();
        QVERIFY(converter.AtEnd());
        QCOMPARE(converter.pendingEntity(), -1);
    }

    void readRtf_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::addRow("paragraphs end with CR LF") << QByteArray("{\\rtf1 a\\par b\\par}") << u"a\r\nb\r\n"_s;
        QTest::addRow("CR and LF bytes are ignored")
            << QByteArray("{\\rtf1 line1\r\nline2\n}") << u"line1line2"_s;
        QTest::addRow("escaped backslash and braces") << QByteArray("{\\rtf1 a\\\\b\\{c\\}}") << u"a\\b{c}"_s;
        QTest::addRow("code page 1252 hex escapes")
            << QByteArray("{\\rtf1\\ansi\\ansicpg1252 \\'80\\'e9\\'9f\\'41}") << u"\u20ACé\u0178A"_s;
        QTest::addRow("Unicode with fallback skipping")
            << QByteArray("{\\rtf1 \\u252?x\\uc2\\u26481??y{\\uc0\\u20140 z}\\u223?}") << u"üx東y京zß"_s;
        QTest::addRow("fallback given as hex escape") << QByteArray("{\\rtf1 \\u8364\\'80!}") << u"€!"_s;
        QTest::addRow("surrogate pair") << QByteArray("{\\rtf1 \\u-10179?\\u-8704?}") << u"😀"_s;
        QTest::addRow("lone surrogates are replaced")
            << QByteArray("{\\rtf1 \\u-10179?x\\u-8704?}") << u"\uFFFDx\uFFFD"_s;
        QTest::addRow("unknown destinations are skipped")
            << QByteArray(
                   "{\\rtf1{\\*\\generator Gen 1.0;}{\\fonttbl{\\f0\\fswiss Arial;}}{\\info{\\title T}}"
                   "{\\stylesheet{\\s0 Normal;}}{\\*\\unknown{x}y}Hi}")
            << u"Hi"_s;
        QTest::addRow("unbalanced braces") << QByteArray("{\\rtf1 a}}}b{{c") << u"abc"_s;
        QTest::addRow("truncated control word") << QByteArray("{\\rtf1 abc\\") << u"abc"_s;
        QTest::addRow("truncated hex escape") << QByteArray("{\\rtf1 abc\\'4") << u"abc"_s;
        QTest::addRow("truncated Unicode escape") << QByteArray("{\\rtf1 abc\\u") << u"abc"_s;
        QTest::addRow("huge numbers")
            << QByteArray(
                   "{\\rtf1\\fs99999999999999999999 a\\cf99999999999 b\\u99999999999?c\\u-99999999999?d}")
            << u"ab\uFFFDc\uFFFDd"_s;
        QTest::addRow("binary data is skipped") << QByteArray("{\\rtf1 a\\bin3 x}yb}") << u"ab"_s;
        QTest::addRow("binary length past the end") << QByteArray("{\\rtf1 a\\bin999999 xyz") << u"a"_s;
        QTest::addRow("symbols") << QByteArray("{\\rtf1 a\\tab b\\~c\\emdash\\-d}")
                                 << u"a\tb\u00A0c\u2014d"_s;
        QTest::addRow("not RTF at all") << QByteArray("plain") << u"plain"_s;
        QTest::addRow("deep nesting")
            << QByteArray(100000, '{') + "deep" + QByteArray(100000, '}') + "end" << u"deepend"_s;
        QTest::addRow("nesting never closed") << QByteArray(100000, '{') + "x" << u"x"_s;
    }
    void readRtf()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QCOMPARE(brindle::render::readRtf(rtf).text, text);
    }

    void readRtfRunsAndFont()
    {
        const RtfContent content =
            brindle::render::readRtf("{\\rtf1\\deff1{\\fonttbl{\\f0 Arial;}{\\f1\\fmodern Courier New;}}"
                                     "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\\fs18 "
                                     "\\cf1 ab\\cf2 c\\par\\cf9 d\\cf1 e{\\cf1 f}}");
        QCOMPARE(content.text, u"abc\r\ndef"_s);
        QCOMPARE(content.fontName, u"Courier New"_s);
        QCOMPARE(content.fontSizeHalfPoints, 18);
        const QList<std::tuple<qsizetype, qsizetype, quint32>> expected = {
            {0, 2, 0xFF0000}, {2, 3, 0x0000FF}, {5, 1, 0x000000}, {6, 2, 0xFF0000}};
        QCOMPARE(content.runs.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const RtfRun &run = content.runs.at(i);
            QCOMPARE(std::make_tuple(run.start, run.length, run.rgb), expected.at(i));
        }
    }

    void readsViewerRtf()
    {
        const RtfContent content = brindle::render::readRtf(colorizeHtml("<b>x</b>\r\n"));
        QCOMPARE(content.text, u"<b>x</b>\r\n"_s);
        QCOMPARE(content.fontName, u"Courier New"_s);
        QCOMPARE(content.fontSizeHalfPoints, 20);
        // < b > x < /b >CRLF: the line break takes the colour of the ">" in front of the \par.
        QCOMPARE(content.runs.size(), 7);
        QCOMPARE(content.runs.at(0).rgb, 0x000080u); // symbol
        QCOMPARE(content.runs.at(1).rgb, 0x800080u); // tag name
        QCOMPARE(content.runs.at(3).rgb, 0x0000FFu); // text
        QCOMPARE(content.runs.at(6).start, 7);
        QCOMPARE(content.runs.at(6).length, 3);
        QCOMPARE(brindle::render::readRtf(colorizeHtml({})).fontSizeHalfPoints, 20);
    }

    // What the converter writes, our reader turns back into the text (line
    // ends as the viewer holds them: a lone LF is no paragraph).
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("text");
        QTest::addRow("non-ASCII") << QByteArray("Gr\xc3\xbc\xc3\x9f"
                                                 "e, \xe6\x9d\xb1\xe4\xba\xac \xf0\x9f\x98\x80")
                                   << u"Grüße, 東京 😀"_s;
        QTest::addRow("tags and values")
            << QByteArray("<meta name=\"a\" content=\"b\" />\r\n<title>T</title>\r\n")
            << u"<meta name=\"a\" content=\"b\" />\r\n<title>T</title>\r\n"_s;
        QTest::addRow("backslash and braces") << QByteArray("<p>\\par {x}</p>") << u"<p>\\par {x}</p>"_s;
        QTest::addRow("line ends") << QByteArray("a\rb\nc\r\n") << u"a\r\nbc\r\n"_s;
        QTest::addRow("invalid UTF-8 reads as code page 1252")
            << QByteArray("<p>\x80\xe9</p>") << u"<p>€é</p>"_s;
        QTest::addRow("entities stay as written")
            << QByteArray("<p>&amp;&divide;</p>") << u"<p>&amp;&divide;</p>"_s;
    }
    void roundTrip()
    {
        QFETCH(QByteArray, html);
        QFETCH(QString, text);
        QCOMPARE(brindle::render::readRtf(colorizeHtml(html)).text, text);
    }

    // Readers that share no code with ours agree on the non-ASCII text. Each
    // has a gap: catdoc knows no surrogate pairs, and unrtf drops the rest of
    // a word after a \u escape, so each reads a sample it can read.
    void independentReaders_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("text");
        QTest::addRow("catdoc, Basic Multilingual Plane") << u"catdoc"_s << u"Grüße, 東京"_s;
        QTest::addRow("unrtf, surrogate pairs") << u"unrtf"_s << u"😀 東 ü 😀"_s;
    }
    void independentReaders()
    {
        QFETCH(QString, tool);
        QFETCH(QString, text);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(u"sample.rtf"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(colorizeHtml(text.toUtf8()));
        file.close();
        bool found = false;
        QString out;
        if (tool == u"catdoc"_s) {
            out = runTool(tool, {u"-d"_s, u"utf-8"_s, path}, &found);
        } else {
            // The HTML output keeps what the text output turns into "?":
            // decode its character references.
            const QString html = runTool(tool, {u"--html"_s, path}, &found);
            out = html.section(u"<body>"_s, 1).section(u"</body>"_s, 0, 0);
            out.remove(QRegularExpression(u"<[^>]*>"_s));
            QString decoded;
            static const QRegularExpression reference(u"&(#[0-9]+|[a-z]+);"_s);
            qsizetype at = 0;
            for (const QRegularExpressionMatch &m : reference.globalMatch(out)) {
                decoded += out.mid(at, m.capturedStart() - at);
                const QString name = m.captured(1);
                if (name.startsWith(u'#'))
                    decoded += QChar(char16_t(name.mid(1).toUInt()));
                else
                    decoded += name == u"uuml"_s ? u"ü"_s : m.captured();
                at = m.capturedEnd();
            }
            out = decoded + out.mid(at);
        }
        if (!found)
            QSKIP(qPrintable(tool + u" is not installed"_s));
        QCOMPARE(out.trimmed(), text);
    }
};

QTEST_GUILESS_MAIN(TestColouring)
#include "tst_htmlrtf.moc"
