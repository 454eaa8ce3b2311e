#include "common/clirun.h"
#include "common/devices.h"
#include "common/errorof.h"
#include "common/testfiles.h"

#include "base/error.h"
#include "base/filewriter.h"
#include "render/webpage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <sys/resource.h>

using namespace Qt::StringLiterals;
using namespace brindle;
using brindle::test::errorOf;
using namespace brindle::render;

namespace {

// The home page example's lines as the viewer holds them.
const QByteArray kHtmlTags = "<title>Home Page</title>\r\n"
                             "<meta name=\"description\" content=\"Fish & Chips\">\r\n"
                             "<meta name=\"robots\" content=\"index,follow\">\r\n"
                             "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">\r\n";
const QByteArray kXhtmlTags = "<title>Home Page</title>\r\n"
                              "<meta name=\"description\" content=\"Fish & Chips\" />\r\n"
                              "<meta name=\"robots\" content=\"index,follow\" />\r\n"
                              "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\" />\r\n";
const QByteArray kXhtmlStart = "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n";

QByteArray skeletonAround(const QByteArray &declarationLines, const QByteArray &tags)
{
    return declarationLines + "<head>\r\n" + tags +
           "\r\n</head>\r\n\r\n<body>\r\n\r\n<!--insert your contents here-->\r\n\r\n</body>\r\n</html>\r\n";
}

using Run = brindle::test::CliRun;

Run cli(const QStringList &args)
{
    return brindle::test::runCli(QStringList{u"page"_s} + args);
}

const QStringList kExampleArgs = {u"--title"_s,       u"Home Page"_s,
                                  u"--description"_s, u"Fish & Chips"_s,
                                  u"--use"_s,         u"title,description,keywords,robots,charset"_s};

} // namespace

class TestPages : public QObject
{
    Q_OBJECT

private slots:
    void homePageExamplePage_data()
    {
        QTest::addColumn<bool>("xhtml");
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("listText");
        QTest::addColumn<QByteArray>("page");
        QTest::addRow("XHTML 1.0 Transitional")
            << true << 0 << u"XHTML 1.0 Transitional"_s
            << skeletonAround("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                              "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n" +
                                  kXhtmlStart,
                              kXhtmlTags);
        QTest::addRow("XHTML 1.0 Strict")
            << true << 1 << u"XHTML 1.0 Strict"_s
            << skeletonAround("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
                              "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\r\n" +
                                  kXhtmlStart,
                              kXhtmlTags);
        QTest::addRow("XHTML 1.1") << true << 2 << u"XHTML 1.1"_s
                                   << skeletonAround("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.1//EN\" "
                                                     "\"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd\">\r\n" +
                                                         kXhtmlStart,
                                                     kXhtmlTags);
        QTest::addRow("XHTML Mobile 1.0")
            << true << 3 << u"XHTML Mobile 1.0"_s
            << skeletonAround("<!DOCTYPE html PUBLIC \"-//WAPFORUM//DTD XHTML Mobile 1.0//EN\" "
                              "\"http://www.wapforum.org/DTD/xhtml-mobile10.dtd\">\r\n" +
                                  kXhtmlStart,
                              kXhtmlTags);
        QTest::addRow("None is the bare html start tag")
            << false << 0 << u"None"_s << skeletonAround("<html>\r\n", kHtmlTags);
        QTest::addRow("HTML 4.01 Transitional")
            << false << 1 << u"HTML 4.01 Transitional"_s
            << skeletonAround("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
                              "\"http://www.w3.org/TR/html4/loose.dtd\">\r\n<html>\r\n",
                              kHtmlTags);
        QTest::addRow("HTML 4.01 Strict")
            << false << 2 << u"HTML 4.01 Strict"_s
            << skeletonAround("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
                              "\"http://www.w3.org/TR/html4/strict.dtd\">\r\n<html>\r\n",
                              kHtmlTags);
        QTest::addRow("HTML 5 is the short declaration and the HTML lines")
            << false << 3 << u"HTML 5"_s << skeletonAround("<!DOCTYPE html>\r\n<html>\r\n", kHtmlTags);
    }
    void homePageExamplePage()
    {
        QFETCH(bool, xhtml);
        QFETCH(int, item);
        QFETCH(QString, listText);
        QFETCH(QByteArray, page);
        const int row = documentTypeRow(xhtml, item);
        QCOMPARE(documentTypeRow(listText), row);
        QCOMPARE(documentTypeRow(listText.toUpper()), row);
        const QByteArray tags = xhtml ? kXhtmlTags : kHtmlTags;
        const QByteArray built = pageBytes(declarationText(row), QString::fromUtf8(tags));
        QCOMPARE(built, page);
        // Every line end is CR LF: no CR or LF stands alone.
        QCOMPARE(built.count('\r'), built.count("\r\n"));
        QCOMPARE(built.count('\n'), built.count("\r\n"));
    }

    void rowsOutsideTheLists_data()
    {
        QTest::addColumn<bool>("xhtml");
        QTest::addColumn<int>("item");
        QTest::addRow("no item selected") << true << -1;
        QTest::addRow("past the XHTML list") << true << 4;
        QTest::addRow("past the HTML list") << false << 4;
    }
    void rowsOutsideTheLists()
    {
        QFETCH(bool, xhtml);
        QFETCH(int, item);
        QCOMPARE(documentTypeRow(xhtml, item), -1);
        QCOMPARE(declarationText(documentTypeRow(xhtml, item)), QString());
    }

    void language_data()
    {
        QTest::addColumn<QString>("listText");
        QTest::addColumn<QString>("startTag");
        const QString xmlns = u"<html xmlns=\"http://www.w3.org/1999/xhtml\""_s;
        QTest::addRow("None") << u"None"_s << u"<html lang=\"en-GB\">"_s;
        QTest::addRow("HTML 5") << u"HTML 5"_s << u"<html lang=\"en-GB\">"_s;
        QTest::addRow("HTML 4.01") << u"HTML 4.01 Strict"_s << u"<html lang=\"en-GB\">"_s;
        QTest::addRow("XHTML 1.0") << u"XHTML 1.0 Transitional"_s
                                   << xmlns + u" xml:lang=\"en-GB\" lang=\"en-GB\">"_s;
        QTest::addRow("XHTML 1.1") << u"XHTML 1.1"_s << xmlns + u" xml:lang=\"en-GB\" lang=\"en-GB\">"_s;
        QTest::addRow("XHTML Mobile")
            << u"XHTML Mobile 1.0"_s << xmlns + u" xml:lang=\"en-GB\" lang=\"en-GB\">"_s;
    }
    void language()
    {
        QFETCH(QString, listText);
        QFETCH(QString, startTag);
        const int row = documentTypeRow(listText);
        const QString plain = declarationText(row);
        const QString withLanguage = declarationText(row, u"en-GB"_s);
        QVERIFY(withLanguage.endsWith(startTag));
        // Only the start tag changes, and only with a language.
        QCOMPARE(withLanguage.left(withLanguage.size() - startTag.size()),
                 plain.left(plain.lastIndexOf(u"<html"_s)));
        QCOMPARE(pageText(plain, u"<title>T</title>\r\n"_s, u"en-GB"_s),
                 pageText(withLanguage, u"<title>T</title>\r\n"_s));
        QCOMPARE(pageText(plain, u"<title>T</title>\r\n"_s, {}), pageText(plain, u"<title>T</title>\r\n"_s));
        // A declaration of no row is written as it is.
        QCOMPARE(pageText(u"<html>x"_s, {}, u"en"_s), pageText(u"<html>x"_s, {}));
    }

    void titleRule_data()
    {
        QTest::addColumn<QString>("tags");
        QTest::addColumn<bool>("placeholder");
        QTest::addRow("no title") << u"<meta name=\"robots\" content=\"index,follow\">\r\n"_s << true;
        QTest::addRow("upper-case end tag does not count") << u"<TITLE>Home</TITLE>\r\n"_s << true;
        QTest::addRow("no tags at all") << QString() << true;
        QTest::addRow("title line") << u"<title>Home</title>\r\n"_s << false;
        QTest::addRow("end tag inside a value counts")
            << u"<meta name=\"description\" content=\"a</title>b\">\r\n"_s << false;
    }
    void titleRule()
    {
        QFETCH(QString, tags);
        QFETCH(bool, placeholder);
        const QString page = pageText(declarationText(documentTypeRow(false, 0)), tags);
        const QString start = u"<html>\r\n<head>\r\n"_s;
        QVERIFY(page.startsWith(start));
        const QString expectedTags = placeholder ? u"<title>Untitled Document</title>\r\n"_s + tags : tags;
        QCOMPARE(page.mid(start.size(), expectedTags.size() + 2), expectedTags + u"\r\n"_s);
        QVERIFY(page.endsWith(u"</body>\r\n</html>\r\n"_s));
    }

    void valuesAreNotRescanned()
    {
        // Markers typed into a value reach the page as typed.
        const QString tags = u"<title>#DTD# and #TAGS#</title>\r\n"_s;
        const QString page = pageText(declarationText(documentTypeRow(false, 0)), tags);
        QCOMPARE(page,
                 u"<html>\r\n<head>\r\n<title>#DTD# and #TAGS#</title>\r\n\r\n</head>\r\n\r\n<body>\r\n\r\n"
                 u"<!--insert your contents here-->\r\n\r\n</body>\r\n</html>\r\n"_s);
    }

    void lineEndsOfOtherSourcesBecomeCrLf()
    {
        const QString page = pageText(u"<html>"_s, u"<title>a</title>\n<meta>\r<meta>\r\n"_s);
        QVERIFY(page.contains(u"<title>a</title>\r\n<meta>\r\n<meta>\r\n\r\n</head>"_s));
    }

    void nonAsciiValuesAreUtf8()
    {
        const QByteArray page = pageBytes(u"<html>"_s, u"<title>Zoë</title>\r\n"_s);
        QVERIFY(page.contains("<title>Zo\xc3\xab</title>\r\n"));
        QVERIFY(!page.startsWith("\xef\xbb\xbf"));
    }

    void writeReplacesTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"page.html"_s);
        QVERIFY(test::writeFile(path, QByteArray(4000, 'x')));
        writeFileSafely(path, "new\r\n");
        QCOMPARE(brindle::test::readFile(path), QByteArray("new\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"page.html"_s});
    }

    void writeFailures_data()
    {
        QTest::addColumn<QString>("relativePath");
        QTest::addColumn<QString>("message");
        QTest::addRow("folder does not exist") << u"missing/page.html"_s << u"Path not found"_s;
        QTest::addRow("name of a folder") << u"folder"_s << u"Invalid filename"_s;
    }
    void writeFailures()
    {
        QFETCH(QString, relativePath);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
        const QString path = dir.filePath(relativePath);
        QCOMPARE(errorOf([&] { writeFileSafely(path, "page"); }), message);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{u"folder"_s});
    }

    void failedWriteKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"page.html"_s);
        const QByteArray old = "old page\r\n";
        QVERIFY(test::writeFile(path, old));

        // A file size limit makes the write fail half-way, as a full disk does.
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 64;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const QString message = errorOf([&] { writeFileSafely(path, QByteArray(100000, 'p')); });
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(message, u"Disk full"_s);
        QCOMPARE(brindle::test::readFile(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"page.html"_s});
    }

    void ioErrorTexts_data()
    {
        QTest::addColumn<int>("errnoValue");
        QTest::addColumn<QString>("text");
        QTest::addRow("permission") << EACCES << u"File access denied"_s;
        QTest::addRow("read-only file system") << EROFS << u"File access denied"_s;
        QTest::addRow("no space") << ENOSPC << u"Disk full"_s;
        QTest::addRow("quota") << EDQUOT << u"Disk full"_s;
        QTest::addRow("missing folder") << ENOENT << u"Path not found"_s;
        QTest::addRow("too many files") << EMFILE << u"Too many open files"_s;
        QTest::addRow("other errors keep the system's text") << EIO << QString::fromLocal8Bit(strerror(EIO));
    }
    void ioErrorTexts()
    {
        QFETCH(int, errnoValue);
        QFETCH(QString, text);
        QCOMPARE(ioErrorText(errnoValue), text);
    }

    void cliPage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("page");
        QTest::addRow("XHTML type takes XHTML lines")
            << (QStringList{u"--doctype"_s, u"XHTML 1.0 Strict"_s} + kExampleArgs)
            << skeletonAround("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
                              "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\r\n" +
                                  kXhtmlStart,
                              kXhtmlTags);
        QTest::addRow("--xhtml with an XHTML type changes nothing")
            << (QStringList{u"--doctype"_s, u"xhtml 1.1"_s, u"--xhtml"_s} + kExampleArgs)
            << skeletonAround("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.1//EN\" "
                              "\"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd\">\r\n" +
                                  kXhtmlStart,
                              kXhtmlTags);
        QTest::addRow("None takes HTML lines") << (QStringList{u"--doctype"_s, u"None"_s} + kExampleArgs)
                                               << skeletonAround("<html>\r\n", kHtmlTags);
        QTest::addRow("HTML 5 takes HTML lines")
            << (QStringList{u"--doctype"_s, u"html 5"_s} + kExampleArgs)
            << skeletonAround("<!DOCTYPE html>\r\n<html>\r\n", kHtmlTags);
        QTest::addRow("no title gets the placeholder")
            << QStringList{u"--doctype"_s, u"None"_s, u"--robots"_s, u"noindex"_s}
            << skeletonAround("<html>\r\n", "<title>Untitled Document</title>\r\n"
                                            "<meta name=\"robots\" content=\"noindex\">\r\n");
    }
    void cliPage()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, page);
        const Run r = cli(args);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, page);

        QTemporaryDir dir;
        const QString path = dir.filePath(u"out.html"_s);
        QVERIFY(test::writeFile(path, "old"));
        const Run toFile = cli(args + QStringList{u"-o"_s, path});
        QCOMPARE(toFile.status, 0);
        QCOMPARE(toFile.out, QByteArray());
        QCOMPARE(brindle::test::readFile(path), page);
    }

    // "-" is standard output, as for most commands, not a file of that name.
    void cliPageDashIsStandardOutput()
    {
        QTemporaryDir dir;
        brindle::test::CliOptions options;
        options.args = QStringList{u"page"_s, u"--doctype"_s, u"None"_s, u"-o"_s, u"-"_s} + kExampleArgs;
        options.workingDirectory = dir.path();
        const Run r = brindle::test::runCliWith(options);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, skeletonAround("<html>\r\n", kHtmlTags));
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    // Pages of every size that cannot be written whole are reported, and the
    // old file stays byte for byte.
    void cliPageFailedWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<qsizetype>("size");
        for (const qsizetype size : {0, 3000, 20000, 100000})
            QTest::addRow("%lld bytes", qlonglong(size)) << size;
    }
    void cliPageFailedWriteKeepsTheOldFile()
    {
        QFETCH(qsizetype, size);
        const QStringList args = {u"page"_s, u"--doctype"_s, u"None"_s, u"--use"_s, u"title"_s, u"--title"_s};
        const qsizetype base = cli(args.mid(1) + QStringList{u"x"_s}).out.size() - 1;
        const QString title(std::max<qsizetype>(size - base, 1), u'x');
        QTemporaryDir dir;
        const QString path = dir.filePath(u"out.html"_s);
        QVERIFY(test::writeFile(path, "old\r\n"));
        brindle::test::CliOptions options;
        options.args = args + QStringList{title, u"-o"_s, path};
        options.fileSizeLimit = rlim_t(std::max<qsizetype>(size, base) / 2);
        const Run r = brindle::test::runCliWith(options);
        QCOMPARE(r.err, "Cannot write " + path.toUtf8() + ": Disk full.\n");
        QCOMPARE(r.status, 1);
        QCOMPARE(brindle::test::readFile(path), QByteArray("old\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"out.html"_s});
    }

    // A device is written into, never replaced by a file.
    void cliPageIntoDevices_data()
    {
        QTest::addColumn<unsigned>("minor");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("err"); // after "Cannot write DEVICE: "
        QTest::addRow("null device") << 3u << u"null"_s << 0 << QByteArray();
        QTest::addRow("full device") << 7u << u"full"_s << 1 << QByteArray("Disk full.\n");
    }
    void cliPageIntoDevices()
    {
        QFETCH(unsigned, minor);
        QFETCH(QString, name);
        QFETCH(int, status);
        QFETCH(QByteArray, err);
        QTemporaryDir dir;
        const QString device = brindle::test::memoryDevice(dir, minor, name);
        if (device.isEmpty())
            QSKIP("no device node can be used in the temporary folder");
        const Run r = cli(QStringList{u"--doctype"_s, u"None"_s, u"-o"_s, device} + kExampleArgs);
        QCOMPARE(r.err, err.isEmpty() ? err : "Cannot write " + device.toUtf8() + ": " + err);
        QCOMPARE(r.status, status);
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(brindle::test::fileTypeOf(device), mode_t(S_IFCHR));
    }

    void cliPageFailures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("errContains");
        QTest::addRow("no document type") << kExampleArgs << 2 << QByteArray("--doctype");
        QTest::addRow("unknown document type lists the names")
            << (QStringList{u"--doctype"_s, u"HTML 3.2"_s} + kExampleArgs) << 2
            << QByteArray("\"HTML 4.01 Strict\", \"HTML 5\"");
        QTest::addRow("--xhtml with an HTML type")
            << (QStringList{u"--doctype"_s, u"HTML 4.01 Strict"_s, u"--xhtml"_s} + kExampleArgs) << 2
            << QByteArray("--xhtml");
        QTest::addRow("nothing ticked")
            << QStringList{u"--doctype"_s, u"None"_s} << 1 << QByteArray("Plese select tag(s) to be used!\n");
        QTest::addRow("folder does not exist")
            << (QStringList{u"--doctype"_s, u"None"_s, u"-o"_s, u"/nonexistent-brindle/x.html"_s} +
                kExampleArgs)
            << 1 << QByteArray("Path not found.\n");
        // The same text as "tags --save-profile" gives for a folder.
        QTest::addRow("output is a folder")
            << (QStringList{u"--doctype"_s, u"None"_s, u"-o"_s, u"/"_s} + kExampleArgs) << 1
            << QByteArray("Invalid filename.\n");
    }
    void cliPageFailures()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, errContains);
        const Run r = cli(args);
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(errContains), r.err.constData());
        QCOMPARE(r.out, QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestPages)
#include "tst_webpage.moc"
