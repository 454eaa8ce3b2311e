// The head reader: what it reports of a page's head, where, and in which
// charset, and that it reads no more of a page than the head needs.

#include "common/testfiles.h"

#include "base/error.h"
#include "pagehead/headreader.h"
#include "pagehead/pagecharset.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace brindle;
using namespace brindle::pagehead;

namespace {

PageHead parsed(const QByteArray &page)
{
    const std::optional<PageHead> head = parseHead(page, true);
    return head ? *head : PageHead{};
}

// name@line:column, one per element, for comparing whole heads at once.
QStringList summary(const PageHead &head)
{
    QStringList out;
    for (const HeadElement &e : head.elements)
        out << u"%1@%2:%3"_s.arg(e.name).arg(e.start.line).arg(e.start.column);
    return out;
}

} // namespace

class TestHeadReader : public QObject
{
    Q_OBJECT

private slots:
    void positions_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QStringList>("elements");
        QTest::addRow("LF lines, columns from 1")
            << QByteArray(
                   "<!DOCTYPE html>\n<html><head>\n  <meta charset=\"utf-8\">\n<title>T</title>\n</head>")
            << QStringList{u"meta@3:3"_s, u"title@4:1"_s};
        QTest::addRow("CR LF and lone CR each end one line")
            << QByteArray("<head>\r\n\t<title>T</title>\r<meta name=a>\r\n</head>")
            << QStringList{u"title@2:2"_s, u"meta@3:1"_s};
        QTest::addRow("columns count characters, not bytes")
            << QByteArray("<head><title>\xc3\xa9\xc3\xa9</title><meta name=x></head>")
            << QStringList{u"title@1:7"_s, u"meta@1:24"_s};
        QTest::addRow("a noscript holds text, as with scripting on")
            << QByteArray("<head><noscript><link rel=x></noscript><meta name=a></head>")
            << QStringList{u"noscript@1:7"_s, u"meta@1:40"_s};
        QTest::addRow("text starts the body, and a noscript after it is parsed no further")
            << QByteArray("<head><title>T</title>x<noscript><img></noscript><meta name=a>")
            << QStringList{u"title@1:7"_s};
        QTest::addRow("a template, but not its contents")
            << QByteArray("<head><template><title>x</title></template><meta name=a></head>")
            << QStringList{u"template@1:7"_s, u"meta@1:44"_s};
        QTest::addRow("past a byte-order mark, columns count from the first character")
            << QByteArray("\xef\xbb\xbf<title>T</title>\n <meta name=a>")
            << QStringList{u"title@1:1"_s, u"meta@2:2"_s};
        QTest::addRow("a meta between </head> and <body> belongs to the head")
            << QByteArray("<head><title>T</title></head>\n<meta name=late>\n<body>")
            << QStringList{u"title@1:7"_s, u"meta@2:1"_s};
        QTest::addRow("the body's metas are not the head's")
            << QByteArray("<head><title>T</title></head><body><meta name=description content=x>")
            << QStringList{u"title@1:7"_s};
        QTest::addRow("a head without tags, closed by text")
            << QByteArray("<title>T</title>Hello <meta name=description content=x>")
            << QStringList{u"title@1:1"_s};
        QTest::addRow("every title, not only the first")
            << QByteArray("<head><title>A</title><title>B</title></head>")
            << QStringList{u"title@1:7"_s, u"title@1:23"_s};
        QTest::addRow("\"<body\" in a comment, an attribute and a script does not end the head")
            << QByteArray("<head><!-- <body> --><meta content=\"<body>\" name=a>"
                          "<script>var s = '<body>';</script><title>T</title></head><body>")
            << QStringList{u"meta@1:22"_s, u"script@1:52"_s, u"title@1:86"_s};
        QTest::addRow("one unterminated <meta")
            << QByteArray("<meta name=\"description\" content=\"x") << QStringList{};
    }
    void positions()
    {
        QFETCH(QByteArray, page);
        QFETCH(QStringList, elements);
        const PageHead head = parsed(page);
        QCOMPARE(head.problem, HeadProblem::None);
        QCOMPARE(summary(head), elements);
        for (const HeadElement &e : head.elements)
            QCOMPARE(page.mid(e.start.offset, 1), QByteArray("<"));
    }

    void elementBounds()
    {
        const QByteArray page =
            "<head>\n<title>A &amp; B</title>\n<meta name=\"description\" content=\"x\">\n"
            "<meta charset=\"koi8-r\"><meta http-equiv=\"Content-Type\" "
            "content=\"text/html; charset='windows-1251'\"></head><body>";
        const PageHead head = parsed(page);
        QCOMPARE(head.elements.size(), std::size_t(4));
        const HeadElement &title = head.elements[0];
        QCOMPARE(page.mid(title.start.offset, title.end - title.start.offset), "<title>A &amp; B</title>");
        QVERIFY(title.endTagWritten);
        QCOMPARE(title.text, u"A &amp; B"_s); // as written
        const HeadElement &meta = head.elements[1];
        QCOMPARE(page.mid(meta.start.offset, meta.end - meta.start.offset),
                 "<meta name=\"description\" content=\"x\">");
        QCOMPARE(page.mid(meta.attributes[1].offset, 7), "content");
        QCOMPARE(head.headEndTag, page.indexOf("</head>"));
        QCOMPARE(head.bodyStart, page.indexOf("<body>"));
        QCOMPARE(head.headStartTagEnd, 6);
        QCOMPARE(head.charsets.size(), std::size_t(2));
        QCOMPARE(head.charsets[0].charset, u"koi8-r"_s);
        QCOMPARE(head.charsets[1].charset, u"windows-1251"_s);
        QCOMPARE(head.charsets[1].element, 3);
        QCOMPARE(head.titles().size(), std::size_t(1));
        QCOMPARE(head.metas().size(), std::size_t(3));
    }

    // The <html> start tag as written, for its lang; the text of scripts
    // as written, for the structured data they hold.
    void htmlTagAndScriptText()
    {
        const QByteArray page = "<!DOCTYPE html>\n<html lang=\"de\" class=a>\n<head>"
                                "<script type=\"application/ld+json\">{\"a\":\"&lt;\"}</script>"
                                "<script src=x.js></script></head><body><html data-x=1>";
        const PageHead head = parsed(page);
        QVERIFY(head.html);
        QCOMPARE(page.mid(head.html->start.offset, head.html->startTagEnd - head.html->start.offset),
                 "<html lang=\"de\" class=a>");
        QCOMPARE(head.html->start.line, 2);
        // data-x comes from the second tag: not one this tag holds.
        QCOMPARE(head.html->attributes.size(), std::size_t(2));
        QCOMPARE(head.html->attribute(u"lang")->value, u"de"_s);
        QCOMPARE(page.mid(head.html->attribute(u"lang")->offset, 4), "lang");
        QCOMPARE(head.elements.size(), std::size_t(2));
        QCOMPARE(head.elements[0].text, u"{\"a\":\"&lt;\"}"_s);
        QCOMPARE(head.elements[1].text, QString());

        QVERIFY(!parsed("<head><title>t</title></head>").html);
    }

    void attributeText_data()
    {
        QTest::addColumn<QByteArray>("attribute");
        QTest::addColumn<QString>("value");
        QTest::addRow("&quot; is a quote") << QByteArray("content=\"say &quot;hi&quot;\"") << u"say \"hi\""_s;
        QTest::addRow("other references stay")
            << QByteArray("content=\"a &amp; b &#34; &lt;\"") << u"a &amp; b &#34; &lt;"_s;
        QTest::addRow("single quotes") << QByteArray("content='it \"is\"'") << u"it \"is\""_s;
        QTest::addRow("unquoted") << QByteArray("content=plain") << u"plain"_s;
        QTest::addRow("spaces kept") << QByteArray("content=\"  two  \"") << u"  two  "_s;
        QTest::addRow("empty") << QByteArray("content=\"\"") << QString();
        QTest::addRow("no value") << QByteArray("content") << QString();
        QTest::addRow("angle brackets") << QByteArray("content=\"a>b<c\"") << u"a>b<c"_s;
        QTest::addRow("non-ASCII") << QByteArray("content=\"Gr\xc3\xbc\xc3\x9f\x65\"") << u"Grüße"_s;
    }
    void attributeText()
    {
        QFETCH(QByteArray, attribute);
        QFETCH(QString, value);
        const PageHead head = parsed("<head><meta name=x " + attribute + "></head>");
        QCOMPARE(head.elements.size(), std::size_t(1));
        QCOMPARE(head.elements[0].attribute(u"content") ? head.elements[0].attribute(u"content")->value
                                                        : QString(),
                 value);
        QCOMPARE(head.elements[0].attribute(u"name")->value, u"x"_s);
    }

    void syntaxAndLineEnds_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<bool>("xhtml");
        QTest::addColumn<QByteArray>("lineEnd");
        QTest::addRow("HTML5, LF") << QByteArray("<!DOCTYPE html>\n<html><head></head>") << false
                                   << QByteArray("\n");
        QTest::addRow("XHTML doctype, CR LF")
            << QByteArray("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
                          "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\r\n<html><head></head>")
            << true << QByteArray("\r\n");
        QTest::addRow("xmlns, lone CR") << QByteArray("<html xmlns=\"http://www.w3.org/1999/xhtml\">\r<head>")
                                        << true << QByteArray("\r");
        QTest::addRow("HTML 4.01 doctype, one line")
            << QByteArray("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\"><html><head></head>") << false
            << QByteArray("\n");
    }
    void syntaxAndLineEnds()
    {
        QFETCH(QByteArray, page);
        QFETCH(bool, xhtml);
        QFETCH(QByteArray, lineEnd);
        const PageHead head = parsed(page);
        QCOMPARE(head.xhtml, xhtml);
        QCOMPARE(head.lineEnd, lineEnd);
    }

    void encodings_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("title");
        QTest::addColumn<HeadProblem>("problem");
        // "Привет" in windows-1251 and in UTF-8.
        const QByteArray cp1251 = "\xcf\xf0\xe8\xe2\xe5\xf2";
        const QByteArray utf8 = "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82";
        QTest::addRow("declared windows-1251")
            << "<head><meta charset=windows-1251><title>" + cp1251 + "</title></head>" << u"windows-1251"_s
            << u"Привет"_s << HeadProblem::None;
        QTest::addRow("declared in a content type, other case")
            << "<head><meta http-equiv=content-type content=\"text/html; charset=WINDOWS-1251\"><title>" +
                   cp1251 + "</title></head>"
            << u"windows-1251"_s << u"Привет"_s << HeadProblem::None;
        QTest::addRow("valid UTF-8 wins over a declaration")
            << "<head><meta charset=iso-8859-1><title>" + utf8 + "</title></head>" << u"UTF-8"_s
            << u"Привет"_s << HeadProblem::None;
        QTest::addRow("ASCII keeps its declaration")
            << QByteArray("<head><meta charset=koi8-r><title>Hi</title></head>") << u"KOI8-R"_s << u"Hi"_s
            << HeadProblem::None;
        QTest::addRow("ASCII without declaration is UTF-8")
            << QByteArray("<head><title>Hi</title></head>") << u"UTF-8"_s << u"Hi"_s << HeadProblem::None;
        QTest::addRow("Shift_JIS") << QByteArray(
                                          "<head><meta charset=shift_jis><title>\x93\xfa\x96\x7b</title>")
                                   << u"Shift_JIS"_s << u"日本"_s << HeadProblem::None;
        QTest::addRow("DOS-720, which browsers do not know and glibc lacks, as its author wrote it")
            << QByteArray("<head><meta charset=DOS-720><title>\xa0\xa1</title>") << u"DOS-720"_s << u"بة"_s
            << HeadProblem::None;
        QTest::addRow("hz-gb-2312, which browsers never decode")
            << QByteArray("<head><meta charset=hz-gb-2312><title>~{<:Ky~}~~</title>") << QString()
            << QString() << HeadProblem::NotDecodable;
        QTest::addRow("DOS-862 through its glibc name")
            << QByteArray("<head><meta charset=DOS-862><title>\x80</title>") << u"DOS-862"_s << u"א"_s
            << HeadProblem::None;
        QTest::addRow("not UTF-8, nothing declared") << "<head><title>" + cp1251 + "</title></head>"
                                                     << QString() << QString() << HeadProblem::NotDecodable;
        QTest::addRow("declares UTF-8 but is not")
            << "<head><meta charset=utf-8><title>" + cp1251 + "</title></head>" << u"utf-8"_s << QString()
            << HeadProblem::NotDecodable;
        QTest::addRow("declares a charset nobody knows")
            << "<head><meta charset=x-unknown><title>" + cp1251 + "</title></head>" << u"x-unknown"_s
            << QString() << HeadProblem::NotDecodable;
        QTest::addRow("invalid in the declared charset only after the head")
            << QByteArray("<head><meta charset=euc-jp><title>\xc6\xfc</title></head><body>\xff\xff")
            << u"EUC-JP"_s << u"日"_s << HeadProblem::None;
        QTest::addRow("UTF-16 that breaks off in the body")
            << QByteArray("\xff\xfe<\0t\0i\0t\0l\0e\0>\0T\0<\0/\0t\0i\0t\0l\0e\0>\0<\0p\0>\0\x00\xdc", 42)
            << u"UTF-16LE"_s << u"T"_s << HeadProblem::None;
        QTest::addRow("invalid in the declared charset")
            << QByteArray("<head><meta charset=euc-jp><title>\xff\xff</title></head>") << u"euc-jp"_s
            << QString() << HeadProblem::NotDecodable;
        QTest::addRow("a declaration may not switch iconv options on")
            << "<head><meta charset=\"ascii//TRANSLIT\"><title>" + cp1251 + "</title></head>"
            << u"ascii//TRANSLIT"_s << QString() << HeadProblem::NotDecodable;
        QTest::addRow("NUL bytes") << QByteArray("<head><title>a\0b</title></head>", 31) << QString()
                                   << QString() << HeadProblem::Binary;
        QTest::addRow("UTF-16 without its byte-order mark")
            << QByteArray("<\0h\0t\0m\0l\0>\0", 12) << QString() << QString() << HeadProblem::Binary;
        QTest::addRow("a UTF-8 byte-order mark before bytes that are not UTF-8")
            << "\xef\xbb\xbf<head><meta charset=windows-1251><title>" + cp1251 + "</title>" << QString()
            << QString() << HeadProblem::NotDecodable;
    }
    void encodings()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, encoding);
        QFETCH(QString, title);
        QFETCH(HeadProblem, problem);
        const PageHead head = parsed(page);
        QCOMPARE(head.problem, problem);
        QCOMPARE(head.decodes, problem == HeadProblem::None);
        QVERIFY(!head.problemText.isEmpty() || problem == HeadProblem::None);
        if (problem != HeadProblem::None)
            return;
        QCOMPARE(head.encoding, encoding);
        QCOMPARE(head.titles().size(), std::size_t(1));
        const HeadElement &t = *head.titles().front();
        QCOMPARE(t.text, title);
        // Offsets are those of the page's own bytes.
        if (encoding.startsWith(u"UTF-16"_s)) {
            QCOMPARE(page.mid(t.start.offset, 2), QByteArray("<\0", 2));
            QCOMPARE(page.mid(t.end - 2, 2), QByteArray(">\0", 2));
        } else {
            QCOMPARE(page.mid(t.start.offset, 7), QByteArray("<title>"));
            QCOMPARE(page.mid(t.end - 8, 8), QByteArray("</title>"));
        }
    }

    // Cut anywhere, the beginning of a page either asks for more or reads
    // exactly the head that the whole page has.
    void everyPrefixReadsTheWholeHeadOrAsksForMore_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addRow("plain") << QByteArray("<!DOCTYPE html>\n<html><head>\n<title>A</title>\n<meta name=a "
                                             "content=\"b\">\n</head>\n<meta name=c>\n<body><p>x</p></body>");
        QTest::addRow("no body tag") << QByteArray(
            "<head><meta charset=utf-8><title>T</title></head><div>x</div>");
        QTest::addRow("text starts the body") << QByteArray("<title>T</title><meta name=a>Hello <b>x</b>");
        QTest::addRow("tricky body strings")
            << QByteArray("<head><!-- <body> --><meta content=\"<body>\" name=a><script>'<body>'</script>"
                          "<title>T</title></head>\n  <meta name=late><body>");
        QTest::addRow("windows-1251") << QByteArray(
            "<head><meta charset=windows-1251><title>\xcf\xf0\xe8</title><meta name=a></head><body>");
        QTest::addRow("frameset") << QByteArray(
            "<head><title>T</title></head><frameset cols=\"50%\"></frameset>");
    }
    void everyPrefixReadsTheWholeHeadOrAsksForMore()
    {
        QFETCH(QByteArray, page);
        const QStringList whole = summary(parsed(page));
        bool answered = false;
        for (qsizetype n = 0; n <= page.size(); ++n) {
            const std::optional<PageHead> head = parseHead(QByteArrayView(page).first(n), n == page.size());
            if (!head)
                continue;
            answered = true;
            QVERIFY2(summary(*head) == whole,
                     qPrintable(u"cut at %1: %2"_s.arg(n).arg(summary(*head).join(u' '))));
        }
        QVERIFY(answered);
    }

    // In ISO-2022-JP "<b" after an escape is a kanji, so the decoded head
    // ends elsewhere than the raw bytes suggest.
    void wholePageIsReadEvenWhereDecodingMovesTheHeadsEnd()
    {
        const QByteArray page = "<head><meta charset=iso-2022-jp><title>T</title>\x1b$B<b\x1b(B</head><body>";
        const std::optional<PageHead> head = parseHead(page, true);
        QVERIFY(head.has_value());
        QCOMPARE(head->problem, HeadProblem::None);
        QCOMPARE(head->bodyStart, page.indexOf("\x1b$B") + 3); // at its first character
        const QByteArray cut =
            "<head><meta charset=iso-2022-jp><title>T</title><!--\x1b$B<b\x1b(B--><meta name=a>";
        QCOMPARE(summary(parseHead(cut, true).value()),
                 (QStringList{u"meta@1:7"_s, u"title@1:33"_s, u"meta@1:57"_s}));
    }

    void readsOnlyTheHeadOfALargeFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"large.html"_s);
        QByteArray page = "<html><head><title>Large</title></head><body>\n";
        page += QByteArray(32 << 20, 'x');
        QVERIFY(test::writeFile(path, page));
        PageFile file(path);
        const PageHead head = readHead(file);
        QCOMPARE(head.problem, HeadProblem::None);
        QCOMPARE(head.titles().front()->text, u"Large"_s);
        QVERIFY2(file.bytes().size() <= 64 * 1024, QByteArray::number(file.bytes().size()));
        QCOMPARE(file.stamp().size, page.size());
    }

    void headLongerThanTheLimit()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"endless.html"_s);
        QVERIFY(test::writeFile(path, "<html><head><title>x</title><script>" +
                                          QByteArray(kHeadByteLimit + 10, 'x')));
        PageFile file(path);
        const PageHead head = readHead(file);
        QCOMPARE(head.problem, HeadProblem::HeadTooLong);
        QVERIFY(file.bytes().size() <= kHeadByteLimit);
    }

    void manyMetas_data()
    {
        QTest::addColumn<int>("metas");
        QTest::addColumn<QByteArray>("attributes");
        QTest::addColumn<QString>("problem");
        QTest::addRow("40,000 metas") << 40000 << QByteArray("name=description content=") << QString();
        QTest::addRow("more tags than the limit")
            << 50001 << QByteArray("content=") << u"more than 50000 tags"_s;
        QTest::addRow("more attributes than the limit")
            << 20000 << QByteArray("a b c d e f g h i j k content=") << u"more than 200000 attributes"_s;
    }
    void manyMetas()
    {
        QFETCH(int, metas);
        QFETCH(QByteArray, attributes);
        QFETCH(QString, problem);
        QByteArray page = "<html><head>\n";
        for (int i = 0; i < metas; ++i)
            page += "<meta " + attributes + QByteArray::number(i) + ">\n";
        page += "</head><body>";
        const PageHead head = parsed(page);
        if (!problem.isEmpty()) {
            QCOMPARE(head.problem, HeadProblem::TooComplex);
            QVERIFY2(head.problemText.contains(problem), qPrintable(head.problemText));
            return;
        }
        QCOMPARE(head.elements.size(), std::size_t(metas));
        QCOMPARE(head.elements.back().start.line, metas + 1);
        QCOMPARE(head.elements.back().attribute(u"content")->value, QString::number(metas - 1));
    }

    // A tag with more attributes than the parser can check in linear time
    // keeps the first of each that the reader uses.
    void aMillionAttributes()
    {
        QByteArray page = "<head><meta";
        for (int i = 0; i < 1000000; ++i)
            page += " a" + QByteArray::number(i) + (i == 600000 ? " content=x name=description" : "");
        page += " name=author><title>T</title></head>";
        const PageHead head = parsed(page);
        QCOMPARE(head.problem, HeadProblem::None);
        QCOMPARE(summary(head),
                 (QStringList{u"meta@1:7"_s, u"title@1:%1"_s.arg(page.indexOf("<title>") + 1)}));
        const HeadElement &meta = head.elements.front();
        QCOMPARE(meta.attributes.size(), std::size_t(2));
        QCOMPARE(meta.attribute(u"name")->value, u"description"_s);
        QCOMPARE(meta.attribute(u"content")->value, u"x"_s);
        QCOMPARE(page.mid(meta.attribute(u"content")->offset, 9), "content=x");
    }

    void deepMarkup_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<HeadProblem>("problem");
        QTest::addRow("templates nested 400,000 deep")
            << "<head>" + QByteArray("<template>").repeated(400000) << HeadProblem::TooComplex;
        QTest::addRow("a template with 9,000 nested elements")
            << "<head><template>" + QByteArray("<div>").repeated(9000) + "</template></head>"
            << HeadProblem::None;
        QTest::addRow("30,000 noscripts left open: the first holds the rest as text")
            << "<head>" + QByteArray("<noscript><link>").repeated(30000) + "</head>" << HeadProblem::None;
        QTest::addRow("15,000 elements nest in a head that a <div> ended")
            << "<head><div>" + QByteArray("<span>").repeated(15000) << HeadProblem::None;
    }
    void deepMarkup()
    {
        QFETCH(QByteArray, page);
        QFETCH(HeadProblem, problem);
        QCOMPARE(parsed(page).problem, problem);
    }

    void unreadableFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::addRow("missing") << u"missing.html"_s << u"cannot be opened"_s;
        QTest::addRow("folder") << u"folder.html"_s << u"is a folder"_s;
        QTest::addRow("named pipe") << u"pipe.html"_s << u"is not a regular file"_s;
    }
    void unreadableFiles()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(u"folder.html"_s);
        QVERIFY(::mkfifo(dir.filePath(u"pipe.html"_s).toLocal8Bit().constData(), 0600) == 0);
        try {
            readHeadOfFile(dir.filePath(name));
            QFAIL("no error");
        } catch (const brindle::Error &e) {
            QVERIFY2(e.message().startsWith(reason), qPrintable(e.message()));
        }
    }

    void charsetNames()
    {
        QCOMPARE(charsetItemOfName(u"UTF-8"), 28);
        QCOMPARE(charsetItemOfName(u" Shift_JIS "), 24);
        QCOMPARE(charsetItemOfName(u"koi8-u"), -1);
        QVERIFY(sameCharset(u"UTF8", u"utf-8"));
        QVERIFY(sameCharset(u"cp1251", u"Windows-1251"));
        QVERIFY(sameCharset(u"iso-8859-8-i", u"ISO-8859-8"));
        QVERIFY(!sameCharset(u"koi8-r", u"koi8-ru"));
        QCOMPARE(encodeCharset(u"Привет", u"windows-1251"), QByteArray("\xcf\xf0\xe8\xe2\xe5\xf2"));
        QCOMPARE(encodeCharset(u"己所~", u"hz-gb-2312"), std::nullopt); // browsers never read it
        QCOMPARE(encodeCharset(u"€", u"latin1"), QByteArray("\x80"));
        QVERIFY(sameCharset(u"latin1", u"windows-1252"));
        QVERIFY(sameCharset(u"utf-16", u"UTF-8")); // as a page declares it
        QCOMPARE(keepsAscii(u"utf-7"), false);
        QCOMPARE(keepsAscii(u"ISO-2022-JP"), false);
        QCOMPARE(keepsAscii(u"DOS-720"), true);
        QCOMPARE(keepsAscii(u"x-unknown"), std::nullopt);
        QCOMPARE(encodeCharset(u"بة", u"dos-720"), QByteArray("\xa0\xa1"));
        QCOMPARE(encodeCharset(u"日本", u"iso-8859-1"), std::nullopt);
        QVERIFY(isValidUtf8("\xe2\x82", true));
        QVERIFY(!isValidUtf8("\xe2\x82", false));
        QVERIFY(!isValidUtf8("\xed\xa0\x80"));     // a surrogate
        QVERIFY(!isValidUtf8("\xc0\xaf"));         // overlong
        QVERIFY(!isValidUtf8("\xf4\x90\x80\x80")); // past U+10FFFF
    }
};

QTEST_GUILESS_MAIN(TestHeadReader)
#include "tst_headreader.moc"
