// brindle-cli import and apply, run as a user runs them.

#include "base/textutil.h"
#include "common/clirun.h"
#include "common/testfiles.h"
#include "render/webpage.h"
#include "tags/tagcatalogue.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brindle;
using namespace brindle::tags;
using brindle::test::readFile;
using brindle::test::runCli;

namespace {

QString optionName(int t)
{
    return toQString(tagInfo(t).rowText).toLower();
}

// Text the window can hold: markup characters, spaces, non-ASCII, the
// generator's markers. Left out are what a page cannot give back: "&quot;"
// typed as such (the generator writes a quote that way) and, in a title,
// its end tag.
QString randomText(QRandomGenerator &random, bool title)
{
    static const QStringList pieces = {u"a"_s,    u"Home"_s,  u" "_s,   u"&"_s,     u"&amp;"_s, u"\""_s,
                                       u"'"_s,    u"<"_s,     u">"_s,   u"é"_s,     u"Ж"_s,     u"日本"_s,
                                       u"#CL#"_s, u"#CNT#"_s, u"x=y"_s, u"&#34;"_s, u"/"_s,     u"  "_s};
    QString text;
    const int n = 1 + int(random.bounded(6));
    for (int i = 0; i < n; ++i)
        text += pieces.at(int(random.bounded(pieces.size())));
    if (title) {
        // A title comes back as browsers show it, its blanks collapsed.
        text.replace(u"</"_s, u"<"_s);
        text = text.simplified();
        if (text.isEmpty())
            text += u'x';
    }
    return text;
}

// The tag lines of a page that `brindle-cli page` wrote: its head's lines.
QByteArray headLines(const QByteArray &page)
{
    const qsizetype from = page.indexOf("<head>\r\n") + 8;
    const qsizetype to = page.indexOf("</head>");
    return page.mid(from, to - from - 2);
}

} // namespace

class TestPageCli : public QObject
{
    Q_OBJECT

private slots:
    // For profiles the window can hold: importing the page that `page`
    // writes gives the profile back, and its tags are the page's lines.
    void roundTrip_data()
    {
        QTest::addColumn<QStringList>("options"); // --TAG VALUE pairs and --use
        QTest::addColumn<int>("doctype");
        QRandomGenerator random(14);
        for (int c = 0; c < 40; ++c) {
            QStringList options;
            QStringList used;
            // Without a title the page gets the placeholder title, which then comes back.
            const bool titled = c % 8 != 7;
            for (int t = 0; t < kTagCount; ++t) {
                const bool tick = t == Title ? titled : random.bounded(2) == 1;
                if (!tick)
                    continue;
                used << optionName(t);
                QString value;
                if (t == Charset) {
                    value = toQString(CharsetCodes[std::size_t(random.bounded(int(CharsetCodes.size())))]);
                    // Browsers never decode a page that declares it, and import refuses it.
                    if (value == u"hz-gb-2312"_s)
                        value = u"gb18030"_s;
                } else if (tagInfo(t).kind == InputKind::Choice && random.bounded(3) != 0) {
                    const auto items = tagInfo(t).items;
                    value = toQString(items[std::size_t(random.bounded(int(items.size())))]);
                } else {
                    value = randomText(random, t == Title);
                }
                options << u"--"_s + optionName(t) << value;
            }
            if (used.isEmpty())
                used << u"robots"_s;
            options << u"--use"_s << used.join(u',');
            QTest::addRow("case %d", c) << options << int(random.bounded(7));
        }
    }
    void roundTrip()
    {
        QFETCH(QStringList, options);
        QFETCH(int, doctype);
        QTemporaryDir dir;
        const QString pagePath = dir.filePath(u"page.html"_s);
        const QString imported = dir.filePath(u"imported.wmp"_s);
        const QString expected = dir.filePath(u"expected.wmp"_s);
        const QString docName =
            QString::fromUtf16(render::kDocumentTypes[std::size_t(doctype)].listText.data(),
                               qsizetype(render::kDocumentTypes[std::size_t(doctype)].listText.size()));
        const bool xhtml = render::kDocumentTypes[std::size_t(doctype)].xhtml;

        const test::CliRun page =
            runCli(QStringList{u"page"_s, u"--doctype"_s, docName, u"-o"_s, pagePath} + options);
        QVERIFY2(page.status == 0, page.err.constData());
        const QByteArray lines = headLines(readFile(pagePath));

        const test::CliRun import = runCli({u"import"_s, pagePath});
        QVERIFY2(import.status == 0, import.err.constData());
        QCOMPARE(import.out, lines);

        QCOMPARE(runCli({u"import"_s, pagePath, u"--save-profile"_s, imported}).status, 0);
        QStringList expectedOptions = options;
        if (!options.contains(u"--title"_s)) {
            QVERIFY(lines.startsWith("<title>Untitled Document</title>\r\n"));
            expectedOptions << u"--title"_s << u"Untitled Document"_s;
            expectedOptions[expectedOptions.indexOf(u"--use"_s) + 1] += u",title"_s;
        }
        QCOMPARE(runCli(QStringList{u"tags"_s, u"--save-profile"_s, expected} + expectedOptions).status, 0);
        QCOMPARE(readFile(imported), readFile(expected));

        QStringList tagsArgs{u"tags"_s, u"--profile"_s, imported};
        if (xhtml)
            tagsArgs << u"--xhtml"_s;
        const test::CliRun tags = runCli(tagsArgs);
        QCOMPARE(tags.status, 0);
        QCOMPARE(tags.out, lines);
    }

    // A page's values go through a profile and back unchanged: applying the
    // profile that import saved changes nothing.
    void importedProfileAppliedChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("tag");
        QTest::addRow("robots noindex") << QByteArray("<meta name=\"robots\" content=\"noindex\">");
        QTest::addRow("distribution global") << QByteArray("<meta name=\"distribution\" content=\"global\">");
        QTest::addRow("cache-control of two items")
            << QByteArray("<meta http-equiv=\"cache-control\" content=\"no-cache,no-store\">");
        QTest::addRow("rating that begins an item") << QByteArray("<meta name=\"rating\" content=\"Mat\">");
    }
    void importedProfileAppliedChangesNothing()
    {
        QFETCH(QByteArray, tag);
        QTemporaryDir dir;
        const QString page = dir.filePath(u"page.html"_s);
        const QString profile = dir.filePath(u"page.wmp"_s);
        const QByteArray bytes = "<html><head>\n<title>T</title>\n" + tag + "\n</head><body></body></html>\n";
        QVERIFY(test::writeFile(page, bytes));
        const test::CliRun import = runCli({u"import"_s, page, u"--save-profile"_s, profile});
        QVERIFY2(import.status == 0, import.err.constData());
        const test::CliRun apply = runCli({u"apply"_s, u"--profile"_s, profile, page});
        QVERIFY2(apply.status == 0, apply.err.constData());
        QCOMPARE(readFile(page), bytes);
    }

    // A page with the head tags, imported into a profile: applied to the
    // page with other addresses and another language, it gives the page
    // back byte for byte, and applied again it changes nothing.
    void headTagsThroughAProfile_data()
    {
        QTest::addColumn<QString>("file");
        const QDir dir(QStringLiteral(BRINDLE_TEST_DATA "/pagehead/head"));
        for (const QString &page : dir.entryList({u"*.html"_s}, QDir::Files, QDir::Name))
            QTest::addRow("%s", qPrintable(page)) << dir.filePath(page);
    }
    void headTagsThroughAProfile()
    {
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QString profile = dir.filePath(u"page.wmp"_s);
        const QString page = dir.filePath(u"page.html"_s);
        const QByteArray original = readFile(file);
        const test::CliRun import = runCli({u"import"_s, file, u"--save-profile"_s, profile});
        QVERIFY2(import.status == 0, import.err.constData());
        QVERIFY2(!import.err.contains("left"), import.err.constData());

        QByteArray other = original;
        other.replace("https://example.", "https://old.example.");
        QString text = QString::fromUtf8(other);
        text.replace(QRegularExpression(u"lang=\"[^\"]*\""_s), u"lang=\"fr\""_s);
        other = text.toUtf8();
        QVERIFY(other != original);
        QVERIFY(test::writeFile(page, other));
        const test::CliRun apply = runCli({u"apply"_s, u"--profile"_s, profile, page});
        QVERIFY2(apply.status == 0, apply.err.constData());
        QCOMPARE(readFile(page), original);
        const test::CliRun again = runCli({u"apply"_s, u"--profile"_s, profile, page});
        QCOMPARE(again.err, QByteArray("0 pages changed, 1 unchanged, 0 failed\n"));
    }

    void importReport()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"p.html"_s);
        QVERIFY(test::writeFile(
            path,
            "<!DOCTYPE html>\n<html>\n<head>\n<title>T</title>\n<meta name=\"Description\" content=\"d\">\n"
            "<meta name=description content=again>\n<meta charset=x-foo>\n</head>"));
        const test::CliRun r = runCli({u"import"_s, path});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out,
                 QByteArray("<title>T</title>\r\n<meta name=\"description\" content=\"d\">\r\n"
                            "<meta http-equiv=\"content-type\" content=\"text/html; charset=x-foo\">\r\n"));
        const QByteArray p = path.toUtf8();
        QCOMPARE(r.err, p + ":4: title\n" + p + ":5: description\n" + p +
                            ":6: description again; the first one is used\n" + p + ":7: charset\n" + p +
                            ":7: charset \"x-foo\" is not in the charset table; kept as typed\n");
    }

    void importFailures_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("message");
        QTest::addRow("binary") << QByteArray("\x7f"
                                              "ELF\0\0\0",
                                              7)
                                << QByteArray("contains NUL bytes");
        QTest::addRow("no head") << QByteArray("plain text") << QByteArray("has no head");
        QTest::addRow("no tags") << QByteArray("<head><link rel=x></head>")
                                 << QByteArray("none of the thirteen tags found");
    }
    void importFailures()
    {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"p.html"_s);
        QVERIFY(test::writeFile(path, page));
        const test::CliRun r = runCli({u"import"_s, path});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.startsWith(path.toUtf8() + ": ") && r.err.contains(message), r.err.constData());
        QCOMPARE(r.out, QByteArray());
    }

    // Some pages change, some are fine already, some cannot be used: every
    // usable page is done, the others reported, and the status says so.
    void applySummary()
    {
        QTemporaryDir dir;
        const QString profile = dir.filePath(u"p.wmp"_s);
        QVERIFY(test::writeFile(profile, test::kExampleProfile));
        const QString a = dir.filePath(u"a.html"_s), b = dir.filePath(u"b.html"_s),
                      c = dir.filePath(u"c.html"_s), d = dir.filePath(u"d.html"_s),
                      bin = dir.filePath(u"bin.html"_s);
        const QByteArray done =
            "<head>\n<title>Home & garden</title>\n"
            "<meta name=\"description\" content=\"Tips for small gardens\">\n"
            "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">\n</head>\n";
        QVERIFY(test::writeFile(a, "<head>\n<title>Old</title>\n</head>\n"));
        QVERIFY(test::writeFile(b, "<head>\n</head>\n"));
        QVERIFY(test::writeFile(c, done));
        QVERIFY(test::writeFile(bin, QByteArray("\0\1\2\3", 4)));
        const test::CliRun r = runCli({u"apply"_s, u"--profile"_s, profile, a, b, c, d, bin});
        QCOMPARE(r.status, 1);
        QCOMPARE(readFile(a), done);
        QCOMPARE(readFile(b), done);
        QCOMPARE(readFile(bin), QByteArray("\0\1\2\3", 4));
        const QList<QByteArray> err = r.err.split('\n');
        QCOMPARE(err.size(), 4);
        QVERIFY(err[0].startsWith(d.toUtf8() + ": cannot be opened"));
        QVERIFY(err[1].startsWith(bin.toUtf8() + ": contains NUL bytes"));
        QCOMPARE(err[2], QByteArray("2 pages changed, 1 unchanged, 2 failed"));
        QCOMPARE(r.out, QByteArray());

        const test::CliRun again = runCli({u"apply"_s, u"--profile"_s, profile, a, b, c});
        QCOMPARE(again.status, 0);
        QCOMPARE(again.err, QByteArray("0 pages changed, 3 unchanged, 0 failed\n"));
    }

    // A profile whose robots choice has no text never empties a page's
    // robots tag: that page is reported and left alone.
    void applyNeverEmptiesAValue()
    {
        QTemporaryDir dir;
        const QString profile = dir.filePath(u"p.wmp"_s);
        QByteArray bytes = test::kExampleProfile;
        // Robots ticked, no item and no text: what a profile from an older
        // version holds for a typed robots text.
        bytes.replace("<tagname content=\"0\" isused=\"N\"/><tagname content=\"0\" isused=\"N\"/><tagname "
                      "content=\"28\"",
                      "<tagname content=\"-1\" isused=\"Y\"/><tagname content=\"0\" isused=\"N\"/><tagname "
                      "content=\"28\"");
        QVERIFY(test::writeFile(profile, bytes));
        const QString kept = dir.filePath(u"kept.html"_s), changed = dir.filePath(u"changed.html"_s);
        const QByteArray noindex =
            "<head>\n<title>Old</title>\n<meta name=\"robots\" content=\"noindex\">\n</head>\n";
        QVERIFY(test::writeFile(kept, noindex));
        QVERIFY(test::writeFile(changed, "<head>\n<title>Old</title>\n</head>\n"));
        const test::CliRun r = runCli({u"apply"_s, u"--profile"_s, profile, kept, changed});
        QCOMPARE(r.status, 1);
        QCOMPARE(readFile(kept), noindex);
        QVERIFY(!readFile(changed).contains("robots"));
        QCOMPARE(r.err, kept.toUtf8() +
                            ": its robots tag would be emptied: the profile's Robots has no text\n"
                            "1 page changed, 0 unchanged, 1 failed\n");
    }

    // More pages than go into one batch, in folders of uneven size, some
    // failing in between, with backups, under a limit of open files: every
    // page done or reported in the order given, nothing left behind.
    void applyManyPages_data()
    {
        QTest::addColumn<int>("openFileLimit");
        QTest::addRow("the usual limit") << 1024;
        QTest::addRow("a low limit") << 200;
    }
    void applyManyPages()
    {
        QFETCH(int, openFileLimit);
        QTemporaryDir dir;
        const QString profile = dir.filePath(u"p.wmp"_s);
        QVERIFY(test::writeFile(profile, test::kExampleProfile));
        QDir root(dir.path());
        QVERIFY(root.mkpath(u"site/big"_s));
        QVERIFY(root.mkpath(u"site/small"_s));
        const QByteArray page = "<head>\n<title>Old</title>\n</head>\n";
        const QByteArray done =
            "<head>\n<title>Home & garden</title>\n"
            "<meta name=\"description\" content=\"Tips for small gardens\">\n"
            "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">\n</head>\n";
        const QByteArray binary("\0\1", 2);
        const auto fails = [](int i) { return i == 100 || i == 300 || i == 450; };
        const auto unchanged = [&](int i) { return !fails(i) && i % 7 == 0; };
        QStringList pages;
        for (int i = 0; i < 500; ++i) {
            const QString folder = i < 400 ? u"site/big/"_s : i < 499 ? u"site/small/"_s : u"site/"_s;
            pages << dir.filePath(folder + u"p%1.html"_s.arg(i, 4, 10, QChar(u'0')));
            QVERIFY(test::writeFile(pages.last(), fails(i) ? binary : unchanged(i) ? done : page));
        }
        test::CliOptions options;
        options.args = {u"apply"_s, u"--profile"_s,         profile, u"--recursive"_s, u"--backup"_s,
                        u".orig"_s, dir.filePath(u"site"_s)};
        options.openFileLimit = rlim_t(openFileLimit);
        const test::CliRun r = runCliWith(options);
        QCOMPARE(r.status, 1);
        // Reported in the order the walk found them, across batches.
        QCOMPARE(r.err, pages[100].toUtf8() + ": contains NUL bytes: not a text page\n" +
                            pages[300].toUtf8() + ": contains NUL bytes: not a text page\n" +
                            pages[450].toUtf8() + ": contains NUL bytes: not a text page\n" +
                            "425 pages changed, 72 unchanged, 3 failed\n");
        int backups = 0;
        for (int i = 0; i < 500; ++i) {
            QCOMPARE(readFile(pages[i]), fails(i) ? binary : done);
            QCOMPARE(QFileInfo::exists(pages[i] + u".orig"_s), !fails(i) && !unchanged(i));
            backups += QFileInfo::exists(pages[i] + u".orig"_s);
        }
        QCOMPARE(backups, 425);
        // Pages and backups only: no temporary file left.
        QCOMPARE(QDir(dir.filePath(u"site/big"_s)).entryList(QDir::Files | QDir::Hidden).size(), 400 + 340);
    }

    void applyDryRunAndBackup()
    {
        QTemporaryDir dir;
        const QString profile = dir.filePath(u"p.wmp"_s);
        QVERIFY(test::writeFile(profile, test::kExampleProfile));
        const QString page = dir.filePath(u"a.html"_s);
        const QByteArray original = "<head>\r\n<title>Old</title>\r\n</head>\r\n";
        QVERIFY(test::writeFile(page, original));
        const test::CliRun dry = runCli({u"apply"_s, u"--profile"_s, profile, u"--dry-run"_s, page});
        QCOMPARE(dry.status, 0);
        QCOMPARE(readFile(page), original);
        QVERIFY2(
            dry.out.startsWith("--- " + page.toUtf8() + "\n+++ " + page.toUtf8() + "\n@@ -1,3 +1,5 @@\n"),
            dry.out.constData());
        QVERIFY(dry.out.contains("-<title>Old</title>\r\n+<title>Home & garden</title>\r\n"));
        QCOMPARE(dry.err, QByteArray("1 page would change, 0 unchanged, 0 failed\n"));

        QCOMPARE(runCli({u"apply"_s, u"--profile"_s, profile, u"--backup"_s, u".orig"_s, page}).status, 0);
        QCOMPARE(readFile(page + u".orig"_s), original);
        QVERIFY(readFile(page).contains(
            "\r\n<meta name=\"description\" content=\"Tips for small gardens\">\r\n"));
    }

    void applyWalksFolders()
    {
        QTemporaryDir dir;
        const QString profile = dir.filePath(u"p.wmp"_s);
        QVERIFY(test::writeFile(profile, test::kExampleProfile));
        QDir root(dir.path());
        QVERIFY(root.mkpath(u"site/sub/deeper"_s));
        const QByteArray page = "<head><title>x</title></head>";
        for (const char16_t *name : {u"site/a.html", u"site/b.HTM", u"site/c.xhtml", u"site/notes.txt",
                                     u"site/sub/d.html", u"site/sub/deeper/e.htm"})
            QVERIFY(test::writeFile(dir.filePath(QString::fromUtf16(name)), page));
        // A link back up would walk forever; a second name for a page must not count twice.
        QVERIFY(QFile::link(dir.filePath(u"site"_s), dir.filePath(u"site/sub/loop"_s)));
        QVERIFY(QFile::link(dir.filePath(u"site/a.html"_s), dir.filePath(u"site/sub/same.html"_s)));

        const test::CliRun flat = runCli({u"apply"_s, u"--profile"_s, profile, dir.filePath(u"site"_s)});
        QCOMPARE(flat.status, 0);
        QCOMPARE(flat.err, QByteArray("3 pages changed, 0 unchanged, 0 failed\n"));
        QCOMPARE(readFile(dir.filePath(u"site/notes.txt"_s)), page);
        QCOMPARE(readFile(dir.filePath(u"site/sub/d.html"_s)), page);

        const test::CliRun deep =
            runCli({u"apply"_s, u"--profile"_s, profile, u"--recursive"_s, dir.filePath(u"site"_s)});
        QCOMPARE(deep.status, 0);
        QCOMPARE(deep.err, QByteArray("2 pages changed, 3 unchanged, 0 failed\n"));
        QVERIFY(QFileInfo(dir.filePath(u"site/sub/same.html"_s)).isSymLink());
    }

    void applyUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("message");
        QTest::addRow("no profile") << QStringList{u"apply"_s, u"x.html"_s}
                                    << QByteArray("--profile is required");
        QTest::addRow("no page") << QStringList{u"apply"_s, u"--profile"_s, u"p.wmp"_s}
                                 << QByteArray("missing PAGE");
        QTest::addRow("empty suffix")
            << QStringList{u"apply"_s, u"--profile"_s, u"p.wmp"_s, u"--backup"_s, u""_s, u"x.html"_s}
            << QByteArray("--backup needs a suffix");
        QTest::addRow("--backup-replace without --backup")
            << QStringList{u"apply"_s, u"--profile"_s, u"p.wmp"_s, u"--backup-replace"_s, u"x.html"_s}
            << QByteArray("--backup-replace goes with --backup");
        QTest::addRow("import of two pages")
            << QStringList{u"import"_s, u"a.html"_s, u"b.html"_s} << QByteArray("unexpected argument");
    }
    void applyUsage()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, message);
        const test::CliRun r = runCli(args);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(message), r.err.constData());
    }

    void help()
    {
        const test::CliRun top = runCli({u"--help"_s});
        QVERIFY(top.out.contains("  import") && top.out.contains("  apply"));
        const test::CliRun import = runCli({u"import"_s, u"--help"_s});
        QCOMPARE(import.status, 0);
        QVERIFY(import.out.contains("--save-profile"));
        const test::CliRun apply = runCli({u"apply"_s, u"--help"_s});
        QCOMPARE(apply.status, 0);
        for (const char *option : {"--profile", "--dry-run", "--backup", "--backup-replace", "--recursive"})
            QVERIFY2(apply.out.contains(option), option);
    }
};

QTEST_GUILESS_MAIN(TestPageCli)
#include "tst_pagehead_cli.moc"
