// Mapping a head to the thirteen tags, and writing a profile's tags into
// pages: where each line goes, and that nothing else of the page changes.

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

#include <sys/stat.h>

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
        QTest::addRow("other metas and nested ones are not the tags")
            << QByteArray("<head><meta name=viewport content=x><meta property=description content=y>"
                          "<noscript><meta name=description content=z></noscript></head>")
            << QStringList{} << defaults << QStringList{};
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
            gotFindings
                << u"%1@%2%3"_s.arg(tagName(f.tagIndex)).arg(f.line).arg(f.repeated ? u"+"_s : QString());
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
        QTest::addRow("XHTML pages get the XHTML closer")
            << QByteArray("<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>\n<title>Home</title>\n</head>")
            << QByteArray(
                   "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>\n<title>Home</title>\n"
                   "<meta name=\"description\" content=\"Fish & &quot;Chips&quot;\" />\n"
                   "<meta name=\"robots\" content=\"index,follow\" />\n"
                   "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\" />\n</head>");
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
        QCOMPARE(applyToPage(path, exampleLines(), {false, u".orig"_s, {}}).outcome, PageOutcome::Changed);
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
        const PageResult result = applyToPage(path, exampleLines(), {true, {}, {}});
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

    // Someone saves the page while apply works on it: their version stays.
    void pageChangedMeanwhileIsNotOverwritten()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"p.html"_s);
        QVERIFY(test::writeFile(path, "<head><title>Old</title></head>"));
        ApplyOptions options;
        options.beforeReplace = [](const QString &page) {
            QFile f(page);
            QVERIFY(f.open(QIODevice::Append));
            f.write("<!-- saved by someone else -->");
        };
        const PageResult result = applyToPage(path, exampleLines(), options);
        QCOMPARE(result.outcome, PageOutcome::Failed);
        QCOMPARE(result.message, path + u": changed while it was being read; left alone"_s);
        QCOMPARE(test::readFile(path),
                 QByteArray("<head><title>Old</title></head><!-- saved by someone else -->"));
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
