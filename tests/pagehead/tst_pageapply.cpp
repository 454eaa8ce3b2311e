// Mapping a head to the thirteen tags, and writing a profile's tags into
// pages: where each line goes, and that nothing else of the page changes.

#include "base/error.h"
#include "base/textutil.h"
#include "common/filesizelimit.h"
#include "common/headof.h"
#include "common/testfiles.h"
#include "pagehead/pageapply.h"
#include "pagehead/pageimport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using brindle::test::headOf;
using namespace brindle;
using namespace brindle::pagehead;
using namespace brindle::tags;

namespace {

// Title "Home", description "Fish & \"Chips\"", robots, charset utf-8.
ProfileLines exampleLines()
{
    TagValues values = TagValues::defaults();
    values.values[Title] = u"Home"_s;
    values.values[Description] = u"Fish & \"Chips\""_s;
    RowTicks ticks{};
    for (int t : {Title, Description, Robots, Charset})
        ticks[std::size_t(listRowOfTag(t))] = true;
    return ProfileLines::of(values, ticks);
}

QByteArray applied(const QByteArray &page, const ProfileLines &lines = exampleLines())
{
    const PageHead head = headOf(page);
    return applyEdits(page, planEdits(head, page, lines, head.encoding));
}

ino_t inodeOf(const QString &path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

ApplyOptions backupTo(const QString &suffix)
{
    ApplyOptions options;
    options.backupSuffix = suffix;
    return options;
}

ApplyOptions dryRun()
{
    ApplyOptions options;
    options.dryRun = true;
    return options;
}

const QByteArray kDescription = "<meta name=\"description\" content=\"Fish & &quot;Chips&quot;\">";
const QByteArray kRobots = "<meta name=\"robots\" content=\"index,follow\">";
const QByteArray kCharset = "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">";

} // namespace

class TestPageApply : public QObject
{
    Q_OBJECT

private slots:
    void import_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QStringList>("texts");    // tag=text for the ticked tags
        QTest::addColumn<QList<int>>("items");     // choice items of Distribution..Content-Language
        QTest::addColumn<QStringList>("findings"); // name@line, "+" for a repeat
        const QList<int> defaults = {0, 0, 1, 0, 0, 28, 28};
        QTest::addRow("names without regard to case, values as written")
            << QByteArray(
                   "<head>\n<TITLE>A &amp; B</TITLE>\n<meta NAME=\"Description\" content=\"x &quot;y&quot;\">"
                   "\n<meta name=KEYWORDS content='a, b'></head>")
            << QStringList{u"title=A &amp; B"_s, u"description=x \"y\""_s, u"keywords=a, b"_s} << defaults
            << QStringList{u"title@2"_s, u"description@3"_s, u"keywords@4"_s};
        QTest::addRow("a choice that is an item's display text selects it; other text is typed")
            << QByteArray(
                   "<head><meta name=robots content=\"noindex,follow\"><meta name=rating content=\"mature\">"
                   "<meta http-equiv=CACHE-CONTROL content=\"no-Cache\">"
                   "<meta http-equiv=content-language content=\"Latvian, Lettish\"></head>")
            << QStringList{u"rating=mature"_s, u"robots=noindex,follow"_s, u"cache-control=no-Cache"_s,
                           u"content-language=Latvian, Lettish"_s}
            << QList<int>{0, -1, 1, 2, 2, 28, 67}
            << QStringList{u"robots@1"_s, u"rating@1"_s, u"cache-control@1"_s, u"content-language@1"_s};
        QTest::addRow("charset codes without regard to case")
            << QByteArray(
                   "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=KOI8-RU\"></head>")
            << QStringList{u"charset=Cyrillic (KOI8-U)"_s} << QList<int>{0, 0, 1, 0, 0, 15, 28}
            << QStringList{u"charset@1"_s};
        QTest::addRow("<meta charset>, and a charset the table lacks is typed text")
            << QByteArray("<head><meta charset=\"x-mac-roman\"></head>")
            << QStringList{u"charset=x-mac-roman"_s} << QList<int>{0, 0, 1, 0, 0, -1, 28}
            << QStringList{u"charset@1"_s};
        QTest::addRow("the first of two counts")
            << QByteArray("<head><title>One</title>\n<title>Two</title>\n<meta name=author content=a>\n"
                          "<meta name=author content=b></head>")
            << QStringList{u"title=One"_s, u"author=a"_s} << defaults
            << QStringList{u"title@1"_s, u"title@2+"_s, u"author@3"_s, u"author@4+"_s};
        QTest::addRow("other metas and nested ones are not the tags (the viewport is a head field)")
            << QByteArray("<head><meta name=viewport content=x><meta property=description content=y>"
                          "<noscript><meta name=description content=z></noscript></head>")
            << QStringList{} << defaults << QStringList{u"viewport@1"_s};
    }
    void import()
    {
        QFETCH(QByteArray, page);
        QFETCH(QStringList, texts);
        QFETCH(QList<int>, items);
        QFETCH(QStringList, findings);
        const ImportedProfile profile = importHead(headOf(page));
        QStringList gotTexts, gotFindings;
        for (int t = 0; t < kTagCount; ++t) {
            if (profile.ticks[std::size_t(listRowOfTag(t))])
                gotTexts << tagName(t) + u'=' + profile.texts[std::size_t(t)];
        }
        for (const TagFinding &f : profile.findings)
            gotFindings << u"%1@%2%3"_s.arg(findingName(f)).arg(f.line).arg(f.repeated ? u"+"_s : QString());
        QCOMPARE(gotTexts, texts);
        QCOMPARE(QList<int>(profile.items.begin() + kTextTagCount, profile.items.end()), items);
        QCOMPARE(gotFindings, findings);
        // Unticked tags keep a new profile's values.
        const ImportedProfile fresh = newProfileValues();
        for (int t = 0; t < kTagCount; ++t) {
            if (!profile.ticks[std::size_t(listRowOfTag(t))])
                QCOMPARE(profile.texts[std::size_t(t)], fresh.texts[std::size_t(t)]);
        }
    }

    void placement_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("expected");
        QTest::addRow("replaced where they stand, the rest of the line kept")
            << QByteArray("<html>\n<head>\n  <meta charset=\"utf-8\" /><link rel=x>\n  <title>Old</title> "
                          "<!-- t -->\n"
                          "  <meta name=\"robots\" content=\"noindex\">\n</head>\n")
            << "<html>\n<head>\n  " + kCharset + "<link rel=x>\n  <title>Home</title> <!-- t -->\n  " +
                   kRobots + "\n  " + kDescription + "\n</head>\n";
        QTest::addRow("missing tags before </head>, indented like the head's children, CR LF")
            << QByteArray("<head>\r\n\t<link rel=x>\r\n\t<script></script>\r\n</head>\r\n<body>")
            << "<head>\r\n\t<link rel=x>\r\n\t<script></script>\r\n\t<title>Home</title>\r\n\t" +
                   kDescription + "\r\n\t" + kRobots + "\r\n\t" + kCharset + "\r\n</head>\r\n<body>";
        QTest::addRow("after the last managed tag, whatever its kind")
            << QByteArray(
                   "<head>\n    <title>Home</title>\n    <meta name=keywords content=k>\n    <link rel=x>\n"
                   "</head>")
            << "<head>\n    <title>Home</title>\n    <meta name=keywords content=k>\n    " + kDescription +
                   "\n    " + kRobots + "\n    " + kCharset + "\n    <link rel=x>\n</head>";
        QTest::addRow("a last tag with more on its line: what follows moves to its own line")
            << QByteArray("<head>\n  <title>Home</title><meta name=viewport content=x>\n</head>")
            << "<head>\n  <title>Home</title>\n  " + kDescription + "\n  " + kRobots + "\n  " + kCharset +
                   "\n  <meta name=viewport content=x>\n</head>";
        QTest::addRow("a one-line head")
            << QByteArray("<html><head><link rel=x></head><body></body></html>")
            << "<html><head><link rel=x>\n<title>Home</title>\n" + kDescription + "\n" + kRobots + "\n" +
                   kCharset + "\n</head><body></body></html>";
        QTest::addRow("duplicates go, with their line when alone on it")
            << QByteArray("<head>\n <title>A</title>\n <title>B</title>\n <meta name=robots content=x>"
                          "<meta name=ROBOTS content=y>\n <meta charset=latin1>\n</head>")
            << "<head>\n <title>Home</title>\n " + kRobots + "\n " + kCharset + "\n " + kDescription +
                   "\n</head>";
        QTest::addRow("unticked tags stay as they are, duplicates too")
            << QByteArray("<head><title>Home</title><meta name=author content=a><meta name=author content=b>"
                          "</head>")
            << "<head><title>Home</title><meta name=author content=a><meta name=author content=b>\n" +
                   kDescription + "\n" + kRobots + "\n" + kCharset + "\n</head>";
        QTest::addRow("no </head>: after the head's last element")
            << QByteArray("<html><head>\n <link rel=x>\n<body>")
            << "<html><head>\n <link rel=x>\n <title>Home</title>\n " + kDescription + "\n " + kRobots +
                   "\n " + kCharset + "\n<body>";
        QTest::addRow("mixed line ends: lines after the last tag take the end of its line")
            << QByteArray("<head>\r\n<title>Home</title>\n<link rel=x>\r\n</head>")
            << "<head>\r\n<title>Home</title>\n" + kDescription + "\n" + kRobots + "\n" + kCharset +
                   "\n<link rel=x>\r\n</head>";
        QTest::addRow("mixed line ends: lines before </head> take the end of the line before")
            << QByteArray("<head>\n<link rel=x>\r\n</head>\n")
            << "<head>\n<link rel=x>\r\n<title>Home</title>\r\n" + kDescription + "\r\n" + kRobots + "\r\n" +
                   kCharset + "\r\n</head>\n";
        QTest::addRow("mixed line ends: a line split after the last tag keeps its own end")
            << QByteArray("<head>\n<title>Home</title><meta name=viewport content=x>\r\n</head>")
            << "<head>\n<title>Home</title>\r\n" + kDescription + "\r\n" + kRobots + "\r\n" + kCharset +
                   "\r\n<meta name=viewport content=x>\r\n</head>";
    }
    void placement()
    {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, expected);
        const QByteArray once = applied(page);
        QCOMPARE(once, expected);
        // A second run finds every line in place.
        const PageHead head = headOf(once);
        QVERIFY(planEdits(head, once, exampleLines(), head.encoding).empty());
    }

    void leftAlone_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("reason");
        QTest::addRow("plain text") << QByteArray("just some text\n") << u"has no head"_s;
        QTest::addRow("a body only") << QByteArray("<html><body><p>x</p></body></html>") << u"has no head"_s;
        QTest::addRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << u"contains NUL bytes"_s;
        QTest::addRow("unterminated title") << QByteArray("<head><title>Open") << u"has no end tag"_s;
        QTest::addRow("a charset tag that would misstate the bytes")
            << QByteArray("<head><meta charset=koi8-r><title>\xf0\xd2\xc9</title></head>")
            << u"is written in koi8-r; a charset tag for utf-8 would misstate it"_s;
        QTest::addRow("hz-gb-2312, which browsers never decode")
            << QByteArray("<head><meta charset=hz-gb-2312><title>~{<:Ky~}</title></head>")
            << u"declares the charset \"hz-gb-2312\", which browsers do not decode"_s;
        QTest::addRow("only a template left open in the head")
            << QByteArray("<template><html< \x1a") << u"has no place for the tags in its head"_s;
        QTest::addRow("not decodable") << QByteArray("<head><title>\xff\xfe</title></head>")
                                       << u"is not UTF-8 and declares no charset"_s;
    }
    void leftAlone()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"page.html"_s);
        QVERIFY(test::writeFile(path, page));
        const PageResult result = applyToPage(path, exampleLines(), {});
        QCOMPARE(result.outcome, PageOutcome::Failed);
        QVERIFY2(result.message.startsWith(path + u": "_s) && result.message.contains(reason),
                 qPrintable(result.message));
        QCOMPARE(test::readFile(path), page);
    }

    void charsets()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"page.html"_s);
        TagValues values = TagValues::defaults();
        values.values[Title] = u"Привет"_s;
        values.charsetItem = 16; // windows-1251
        RowTicks ticks{};
        ticks[std::size_t(listRowOfTag(Title))] = true;
        ticks[std::size_t(listRowOfTag(Charset))] = true;
        // Lines go into a page in its own charset.
        QVERIFY(test::writeFile(path, "<head><meta charset=windows-1251><title>\xc0</title></head>"));
        QCOMPARE(applyToPage(path, ProfileLines::of(values, ticks), {}).outcome, PageOutcome::Changed);
        QCOMPARE(
            test::readFile(path),
            QByteArray("<head><meta http-equiv=\"content-type\" content=\"text/html; charset=windows-1251\">"
                       "<title>\xcf\xf0\xe8\xe2\xe5\xf2</title></head>"));
        // An ASCII page may take another charset, and then its lines are in it.
        QVERIFY(test::writeFile(path, "<head><meta charset=utf-8><title>x</title></head>"));
        QCOMPARE(applyToPage(path, ProfileLines::of(values, ticks), {}).outcome, PageOutcome::Changed);
        QVERIFY(test::readFile(path).contains("<title>\xcf\xf0\xe8\xe2\xe5\xf2</title>"));
        // A character the page's charset lacks leaves the page alone.
        values.values[Title] = u"日本"_s;
        ticks[std::size_t(listRowOfTag(Charset))] = false;
        const QByteArray latin = "<head><meta charset=iso-8859-1><title>\xe9</title></head>";
        QVERIFY(test::writeFile(path, latin));
        const PageResult result = applyToPage(path, ProfileLines::of(values, ticks), {});
        QCOMPARE(result.outcome, PageOutcome::Failed);
        QVERIFY2(result.message.contains(u"has no form"_s), qPrintable(result.message));
        QCOMPARE(test::readFile(path), latin);
    }

    // A ticked choice without text writes nothing: a page that has such a
    // tag is reported and left alone rather than have its value emptied, and
    // one without gets the other lines. A typed charset browsers know is
    // written as typed.
    void choicesAsTyped_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("result"); // empty: left alone
        QTest::addColumn<QString>("message");
        const QByteArray page = "<head>\n<title>Old</title>\n<meta name=robots content=noindex>\n</head>";
        QTest::addRow("robots without text over the page's robots")
            << int(Robots) << -1 << QString() << page << QByteArray()
            << u"its robots tag would be emptied: the profile's Robots has no text"_s;
        QTest::addRow("robots without text, page without robots")
            << int(Robots) << -1 << QString() << QByteArray("<head>\n<title>Old</title>\n</head>")
            << QByteArray("<head>\n<title>Home</title>\n</head>") << QString();
        QTest::addRow("charset without text over the page's charset")
            << int(Charset) << -1 << u" "_s
            << QByteArray("<head><meta charset=utf-8><title>Old</title></head>") << QByteArray()
            << u"its charset tag would be emptied: the profile's Charset has no text"_s;
        QTest::addRow("typed robots") << int(Robots) << -1 << u"noindex, nofollow"_s << page
                                      << QByteArray("<head>\n<title>Home</title>\n<meta name=\"robots\" "
                                                    "content=\"noindex, nofollow\">\n</head>")
                                      << QString();
        QTest::addRow("typed charset label")
            << int(Charset) << -1 << u"us-ascii"_s
            << QByteArray("<head><meta charset=utf-8><title>Old</title></head>")
            << QByteArray("<head><meta http-equiv=\"content-type\" content=\"text/html; charset=us-ascii\">"
                          "<title>Home</title></head>")
            << QString();
    }
    void choicesAsTyped()
    {
        QFETCH(int, tag);
        QFETCH(int, item);
        QFETCH(QString, text);
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, result);
        QFETCH(QString, message);
        TagValues values = TagValues::defaults();
        values.values[Title] = u"Home"_s;
        values.values[std::size_t(tag)] = text;
        if (tag == Charset)
            values.charsetItem = item;
        RowTicks ticks{};
        ticks[std::size_t(listRowOfTag(Title))] = true;
        ticks[std::size_t(listRowOfTag(tag))] = true;
        const ProfileLines lines = ProfileLines::of(values, ticks);
        QVERIFY(!lines.writesNothing());

        QTemporaryDir dir;
        const QString path = dir.filePath(u"page.html"_s);
        QVERIFY(test::writeFile(path, page));
        const PageResult done = applyToPage(path, lines, {});
        if (result.isEmpty()) {
            QCOMPARE(done.outcome, PageOutcome::Failed);
            QCOMPARE(done.message, path + u": "_s + message);
            QCOMPARE(test::readFile(path), page);
        } else {
            QCOMPARE(done.outcome, PageOutcome::Changed);
            QCOMPARE(test::readFile(path), result);
        }
    }

    void refusedCharsetRefusesTheProfile()
    {
        TagValues values = TagValues::defaults();
        values.charsetItem = -1;
        values.values[Charset] = u"utf-7"_s;
        RowTicks ticks{};
        ticks[std::size_t(listRowOfTag(Charset))] = true;
        try {
            ProfileLines::of(values, ticks);
            QFAIL("accepted");
        } catch (const Error &e) {
            QVERIFY2(e.message().startsWith(u"Unknown charset \"utf-7\""_s), qPrintable(e.message()));
        }
    }

    // A real page: after the run it differs from the original exactly in
    // the lines the tags are on.
    void corpusPageByteForByte()
    {
        const QByteArray original =
            test::readFile(QStringLiteral(BRINDLE_TEST_DATA "/pagehead/wasm-notavail.html"));
        QVERIFY(original.size() > 1000);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"page.html"_s);
        QVERIFY(test::writeFile(path, original));
        QVERIFY(::chmod(path.toLocal8Bit().constData(), 0640) == 0);
        QCOMPARE(applyToPage(path, exampleLines(), backupTo(u".orig"_s)).outcome, PageOutcome::Changed);
        QCOMPARE(test::readFile(path + u".orig"_s), original);
        const QByteArray changed = test::readFile(path);

        const QByteArray title = "<title>&lt;no title&gt; &#8212; Python 3.11.2 documentation</title>";
        QByteArray expected = original;
        expected.replace("    <meta charset=\"utf-8\" />", "    " + kCharset);
        QVERIFY(expected.contains(title));
        expected.replace(title, "<title>Home</title>\n    " + kDescription + "\n    " + kRobots + "\n    ");
        QCOMPARE(changed, expected);
        QFileInfo info(path);
        QCOMPARE(int(info.permissions() &
                     (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther)),
                 int(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));

        // The lines outside the tags are the original's, in order.
        const QList<QByteArray> before = original.split('\n');
        const QList<QByteArray> after = changed.split('\n');
        QCOMPARE(after.size(), before.size() + 3);
        QCOMPARE(after.mid(12), before.mid(9));
        QCOMPARE(applyToPage(path, exampleLines(), {}).outcome, PageOutcome::Unchanged);
    }

    void dryRunDiff()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"p.html"_s);
        const QByteArray page =
            "<html>\n<head>\n<title>Old</title>\n<link rel=a>\n<link rel=b>\n<link rel=c>\n"
            "<link rel=d>\n<link rel=e>\n<link rel=f>\n<link rel=g>\n<meta name=robots>\n"
            "</head>\n<body>\n</body>\n</html>";
        QVERIFY(test::writeFile(path, page));
        const PageResult result = applyToPage(path, exampleLines(), dryRun());
        QCOMPARE(result.outcome, PageOutcome::Changed);
        QCOMPARE(test::readFile(path), page);
        const QByteArray expected = "--- " + path.toUtf8() + "\n+++ " + path.toUtf8() +
                                    "\n"
                                    "@@ -1,6 +1,6 @@\n"
                                    " <html>\n"
                                    " <head>\n"
                                    "-<title>Old</title>\n"
                                    "+<title>Home</title>\n"
                                    " <link rel=a>\n"
                                    " <link rel=b>\n"
                                    " <link rel=c>\n"
                                    "@@ -8,7 +8,9 @@\n"
                                    " <link rel=e>\n"
                                    " <link rel=f>\n"
                                    " <link rel=g>\n"
                                    "-<meta name=robots>\n"
                                    "+" +
                                    kRobots +
                                    "\n"
                                    "+" +
                                    kDescription +
                                    "\n"
                                    "+" +
                                    kCharset +
                                    "\n"
                                    " </head>\n"
                                    " <body>\n"
                                    " </body>\n";
        QCOMPARE(result.diff, expected);
    }

    // Someone saves the page while apply works on it: their version stays,
    // also when the save keeps the size and the modification time.
    void pageChangedMeanwhileIsNotOverwritten_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QByteArray>("theirs");
        QTest::addRow("appended") << u"append"_s
                                  << QByteArray("<head><title>Old</title></head><!-- saved -->");
        QTest::addRow("same size, time set back (touch -r)")
            << u"rewrite"_s << QByteArray("<head><title>New</title></head>");
        QTest::addRow("replaced by a copy with the old times (cp -p, rsync)")
            << u"replace"_s << QByteArray("<head><title>Cpy</title></head>");
        QTest::addRow("given another name (a hard link)")
            << u"link"_s << QByteArray("<head><title>Old</title></head>");
    }
    void pageChangedMeanwhileIsNotOverwritten()
    {
        QFETCH(QString, how);
        QFETCH(QByteArray, theirs);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"p.html"_s);
        const QByteArray native = QFile::encodeName(path);
        QVERIFY(test::writeFile(path, "<head><title>Old</title></head>"));
        ApplyOptions options;
        options.beforeReplace = [&](const QString &) {
            struct stat before = {};
            QCOMPARE(::stat(native.constData(), &before), 0);
            const timespec times[2] = {before.st_atim, before.st_mtim};
            if (how == u"append"_s) {
                QFile f(path);
                QVERIFY(f.open(QIODevice::Append));
                f.write("<!-- saved -->");
            } else if (how == u"rewrite"_s) {
                QVERIFY(test::writeFile(path, theirs));
                QCOMPARE(::utimensat(AT_FDCWD, native.constData(), times, 0), 0);
            } else if (how == u"replace"_s) {
                const QString copy = dir.filePath(u"copy"_s);
                QVERIFY(test::writeFile(copy, theirs));
                QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(copy).constData(), times, 0), 0);
                QCOMPARE(::rename(QFile::encodeName(copy).constData(), native.constData()), 0);
            } else {
                QCOMPARE(
                    ::link(native.constData(), QFile::encodeName(dir.filePath(u"other.html"_s)).constData()),
                    0);
            }
        };
        const PageResult result = applyToPage(path, exampleLines(), options);
        QCOMPARE(result.outcome, PageOutcome::Failed);
        QCOMPARE(result.message, path + u": changed while it was being read; left alone"_s);
        QCOMPARE(test::readFile(path), theirs);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), how == u"link"_s ? 2 : 1);
    }

    // Pages sharing one batch: one cannot be written, one is changed
    // meanwhile, one has no head. Each is reported and keeps its bytes (and
    // gets no backup); the others are changed, with their backups.
    void batchOfPages()
    {
        QTemporaryDir dir;
        const QByteArray page = "<head><title>Old</title></head>";
        const QByteArray large = page + QByteArray(100000, ' ');
        QStringList paths;
        for (const char16_t *name : {u"a.html", u"large.html", u"b.html", u"meanwhile.html", u"nohead.html"})
            paths << dir.filePath(QString::fromUtf16(name));
        for (const QString &path : paths)
            QVERIFY(test::writeFile(path, path.endsWith(u"large.html"_s) ? large : page));
        QVERIFY(test::writeFile(paths[4], "plain text"));
        ApplyOptions options;
        options.backupSuffix = u".orig"_s;
        options.beforeReplace = [&](const QString &path) {
            if (path == paths[3]) {
                QFile f(path);
                QVERIFY(f.open(QIODevice::Append));
                f.write("<!-- saved -->");
            }
        };

        FileBatch batch;
        std::vector<PreparedPage> prepared;
        for (const QString &path : paths) {
            // Room for the backup of the large page, not for its longer new bytes.
            const test::FileSizeLimit limit(path == paths[1] ? rlim_t(large.size() + 50) : RLIM_INFINITY);
            prepared.push_back(preparePage(path, exampleLines(), options, batch));
        }
        QCOMPARE(test::readFile(paths[0]), page); // nothing replaced before finishPage
        batch.sync();
        QStringList messages;
        for (const PreparedPage &p : prepared)
            messages << finishPage(p, options, batch).message;
        QCOMPARE(messages, (QStringList{QString(), paths[1] + u": cannot be written (Disk full)"_s, QString(),
                                        paths[3] + u": changed while it was being read; left alone"_s,
                                        paths[4] + u": has no head: not an HTML page"_s}));
        for (const int i : {0, 2}) {
            QVERIFY(test::readFile(paths[i]).contains(kRobots));
            QCOMPARE(test::readFile(paths[i] + u".orig"_s), page);
        }
        QCOMPARE(test::readFile(paths[1]), large);
        QCOMPARE(test::readFile(paths[3]), page + "<!-- saved -->");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 7); // no temporary file
    }

    // A value that would end its element early, or make an XHTML page
    // malformed, is refused: the page stays as it is, run after run.
    void valuesThatWouldBreakThePage_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("refusal"); // empty: written
        const QByteArray html = "<head>\n<title>Old</title>\n</head>";
        const QByteArray xhtml =
            "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>\n<title>Old</title>\n</head>";
        QTest::addRow("a title holding its end tag")
            << html << u"a</title><script>x()</script>"_s << u"d"_s << u"the title holds \"</title\""_s;
        QTest::addRow("its end tag in another letter case")
            << html << u"a</TiTle >b"_s << u"d"_s << u"the title holds \"</title\""_s;
        QTest::addRow("HTML takes a bare & and <")
            << html << u"Fish & <Chips>"_s << u"a & b < c"_s << QString();
        QTest::addRow("XHTML: a bare &")
            << xhtml << u"Home"_s << u"Fish & Chips"_s
            << u"the description holds a \"&\" that starts no character reference"_s;
        QTest::addRow("XHTML: & of a name without its ;")
            << xhtml << u"Fish &amp Chips"_s << u"d"_s << u"the title holds a \"&\""_s;
        QTest::addRow("XHTML: <") << xhtml << u"a<b"_s << u"d"_s << u"the title holds \"<\""_s;
        QTest::addRow("XHTML: character references")
            << xhtml << u"&amp; &#38; &#x26; &eacute;"_s << u"Fish &amp; \"Chips\""_s << QString();
        QTest::addRow("XHTML: a line the page holds already is not written again")
            << QByteArray("<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>\n<title>Fish & "
                          "Chips</title>\n</head>")
            << u"Fish & Chips"_s << u"d"_s << QString();
    }
    void valuesThatWouldBreakThePage()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, title);
        QFETCH(QString, description);
        QFETCH(QString, refusal);
        TagValues values = TagValues::defaults();
        values.values[Title] = title;
        values.values[Description] = description;
        RowTicks ticks{};
        ticks[std::size_t(listRowOfTag(Title))] = true;
        ticks[std::size_t(listRowOfTag(Description))] = true;
        const ProfileLines lines = ProfileLines::of(values, ticks);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"page.html"_s);
        QVERIFY(test::writeFile(path, page));
        for (int run = 0; run < 2; ++run) {
            const PageResult result = applyToPage(path, lines, {});
            if (refusal.isEmpty()) {
                QCOMPARE(result.outcome, run == 0 ? PageOutcome::Changed : PageOutcome::Unchanged);
                QVERIFY(test::readFile(path).contains(description.toUtf8().replace("\"", "&quot;")));
            } else {
                QCOMPARE(result.outcome, PageOutcome::Failed);
                QVERIFY2(result.message.startsWith(path + u": "_s + refusal), qPrintable(result.message));
                QVERIFY(result.message.endsWith(u"; left alone"_s));
                QCOMPARE(test::readFile(path), page);
            }
        }
    }

    // Replacing one name of a file with several would leave the others
    // with the old bytes.
    void hardLinkedPageLeftAlone_data()
    {
        QTest::addColumn<bool>("dry");
        QTest::addRow("written") << false;
        QTest::addRow("dry run") << true;
    }
    void hardLinkedPageLeftAlone()
    {
        QFETCH(bool, dry);
        QTemporaryDir dir;
        const QString p = dir.filePath(u"p.html"_s), q = dir.filePath(u"q.html"_s);
        const QByteArray page = "<head><title>Old</title></head>";
        QVERIFY(test::writeFile(p, page));
        QCOMPARE(::link(QFile::encodeName(p).constData(), QFile::encodeName(q).constData()), 0);
        ApplyOptions options;
        options.dryRun = dry;
        const PageResult result = applyToPage(p, exampleLines(), options);
        QCOMPARE(result.outcome, PageOutcome::Failed);
        QCOMPARE(result.message,
                 p + u": has 2 names (hard links), which replacing it would split; left alone"_s);
        QCOMPARE(test::readFile(p), page);
        QCOMPARE(inodeOf(p), inodeOf(q));
        // A page that needs no change splits nothing.
        QVERIFY(test::writeFile(p, applied(page)));
        QCOMPARE(applyToPage(q, exampleLines(), options).outcome, PageOutcome::Unchanged);
    }

    void symbolicLinkKept()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(u"real.html"_s);
        const QString link = dir.filePath(u"link.html"_s);
        QVERIFY(test::writeFile(target, "<head><title>Home</title></head>"));
        QVERIFY(QFile::link(target, link));
        QCOMPARE(applyToPage(link, exampleLines(), {}).outcome, PageOutcome::Changed);
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(test::readFile(target).contains(kRobots));
    }
};

QTEST_GUILESS_MAIN(TestPageApply)
#include "tst_pageapply.moc"
