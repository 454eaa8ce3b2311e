// The folder walk: which pages it finds, that it never leaves the folders
// named, and that it takes names as the file system holds them.

#include "common/testfiles.h"

#include "base/filename.h"
#include "pagehead/pagewalk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace brindle;
using namespace brindle::pagehead;

namespace {

// outside/ and other/ beside site/, and links in site/ to all three.
void makeTree(const QString &root)
{
    QDir dir(root);
    for (const char16_t *folder : {u"outside/deep", u"other", u"site/sub/deeper"})
        QVERIFY(dir.mkpath(QString::fromUtf16(folder)));
    for (const char16_t *file :
         {u"outside/page.html", u"outside/deep/x.html", u"other/e.html", u"site/a.html", u"site/b.HTM",
          u"site/notes.txt", u"site/sub/c.html", u"site/sub/deeper/d.xhtml"})
        QVERIFY(test::writeFile(dir.filePath(QString::fromUtf16(file)), "<head></head>"));
    // QFile would turn the name's odd bytes into U+FFFD.
    const int fd = ::creat(
        fileNameBytes(dir.filePath(fileNameFromBytes("site/bad\xff\xfename.html"))).constData(), 0644);
    QVERIFY(fd >= 0);
    ::close(fd);
    const std::pair<const char *, const char *> links[] = {
        {"../outside/page.html", "site/about.html"}, // a page outside
        {"../outside", "site/rootlink"},             // a folder outside
        {"sub", "site/alias"},                       // a folder inside
        {"a.html", "site/same.html"},                // a page inside
        {"..", "site/sub/loop"},                     // back up: walked once
        {"nowhere", "site/dangling.html"},
        {"../other", "site/toother"}, // inside only when other/ is named too
    };
    for (const auto &[target, name] : links)
        QCOMPARE(::symlink(target, QFile::encodeName(dir.filePath(QString::fromLatin1(name))).constData()),
                 0);
}

} // namespace

class TestPageWalk : public QObject
{
    Q_OBJECT

private slots:
    void walk_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("recursive");
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<QStringList>("outside"); // links reported, and where they lead
        const QString bad = fileNameFromBytes("site/bad\xff\xfename.html");
        QTest::addRow("a folder: its pages, any bytes in their names, a link to a page inside once")
            << QStringList{u"site"_s} << false << QStringList{u"site/a.html"_s, u"site/b.HTM"_s, bad}
            << QStringList{u"site/about.html>outside/page.html"_s};
        QTest::addRow("recursive: links inside followed once, links outside skipped")
            << QStringList{u"site/"_s} << true
            << QStringList{u"site/a.html"_s, u"site/alias/c.html"_s, u"site/alias/deeper/d.xhtml"_s,
                           u"site/b.HTM"_s, bad}
            << QStringList{u"site/about.html>outside/page.html"_s, u"site/rootlink>outside"_s,
                           u"site/toother>other"_s};
        QTest::addRow("a link from one folder named into another is inside")
            << QStringList{u"site"_s, u"other"_s} << true << QStringList{u"site/a.html"_s,
                                                                         u"site/alias/c.html"_s,
                                                                         u"site/alias/deeper/d.xhtml"_s,
                                                                         u"site/b.HTM"_s,
                                                                         bad,
                                                                         u"site/toother/e.html"_s}
            << QStringList{u"site/about.html>outside/page.html"_s, u"site/rootlink>outside"_s};
        QTest::addRow("a page named may lead anywhere")
            << QStringList{u"site/about.html"_s, u"site/same.html"_s, u"site/a.html"_s} << false
            << QStringList{u"site/about.html"_s, u"site/same.html"_s} << QStringList{};
        QTest::addRow("a folder named through a link is itself the boundary")
            << QStringList{u"site/rootlink"_s} << true
            << QStringList{u"site/rootlink/deep/x.html"_s, u"site/rootlink/page.html"_s} << QStringList{};
        QTest::addRow("a name that is no file is kept, to be reported")
            << QStringList{u"site/missing.html"_s, u"site/dangling.html"_s} << false
            << QStringList{u"site/missing.html"_s, u"site/dangling.html"_s} << QStringList{};
    }
    void walk()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, recursive);
        QFETCH(QStringList, pages);
        QFETCH(QStringList, outside);
        QTemporaryDir dir;
        makeTree(dir.path());
        const QString root = QFileInfo(dir.path()).canonicalFilePath() + u'/';
        QVERIFY(QDir::setCurrent(dir.path()));
        const PageWalk walk(arguments, recursive);
        QStringList found, skipped;
        for (const PageWalk::Page &page : walk.pages())
            found << page.path;
        for (const PageWalk::Skipped &s : walk.skipped()) {
            QVERIFY(!s.failure);
            skipped << s.message;
        }
        QStringList expected;
        for (const QString &link : outside) {
            const QStringList parts = link.split(u'>');
            expected << parts[0] + u": a symbolic link to "_s + root + parts[1] +
                            u", outside the folders given; skipped"_s;
        }
        QCOMPARE(found, pages);
        QCOMPARE(skipped, expected);
        QVERIFY(!walk.stopped());
    }

    // Each folder once, for the clean-up of what a stopped run left: those
    // walked, and those of the pages named.
    void folders()
    {
        QTemporaryDir dir;
        makeTree(dir.path());
        QVERIFY(QDir::setCurrent(dir.path()));
        const PageWalk walk({u"site/sub"_s, u"site/a.html"_s, u"site/b.HTM"_s, u"other/e.html"_s}, true);
        QCOMPARE(walk.folders(), (QStringList{u"site/sub"_s, u"site/sub/deeper"_s, u"site"_s, u"other"_s}));
    }

    void stopsWhenAsked()
    {
        QTemporaryDir dir;
        makeTree(dir.path());
        QVERIFY(QDir::setCurrent(dir.path()));
        int asked = 0;
        const PageWalk walk({u"site"_s}, true, [&] { return ++asked > 3; });
        QVERIFY(walk.stopped());
        QCOMPARE(walk.pages().size(), std::size_t(1)); // a.html; then about.html, alias, and stop
    }
};

QTEST_GUILESS_MAIN(TestPageWalk)
#include "tst_pagewalk.moc"
