// brindle-cli import, check and apply reading pages as a user's pages come:
// odd values, huge tags and files, charsets they cannot write into, and
// markup that the parser once leaked on (the sanitizer build runs these
// too, where a leak fails the command).

#include "common/clirun.h"
#include "common/testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brindle;
using brindle::test::readFile;
using brindle::test::runCli;
using brindle::test::writeFile;

namespace {

// The sanitizers' shadow memory and quarantine make any measure of memory meaningless.
constexpr bool kSanitized =
#if defined(__SANITIZE_ADDRESS__)
    true;
#else
    false;
#endif

// Long enough for a run that has to read no more than a head, short enough
// that one reading a whole huge file or spending quadratic time never ends.
constexpr int kHangGuardMs = 30000;

test::CliRun runGuarded(const QStringList &args)
{
    test::CliOptions options;
    options.args = args;
    options.timeoutMs = kHangGuardMs;
    return test::runCliWith(options);
}

// A profile that writes a title and a description.
QString writeProfile(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(u"p.wmp"_s);
    const test::CliRun r = runCli({u"tags"_s, u"--title"_s, u"Neu é"_s, u"--description"_s, u"Fresh"_s,
                                   u"--use"_s, u"title,description"_s, u"--save-profile"_s, path});
    return r.status == 0 ? path : QString();
}

} // namespace

class TestReadingCli : public QObject
{
    Q_OBJECT

private slots:
    void oneOddSocialValueIsAWarning()
    {
        QTemporaryDir dir;
        const QString page = dir.filePath(u"shop.html"_s);
        QVERIFY(writeFile(page, "<head><title>Shop</title>\n"
                                "<meta property=\"og:title\" content=\"Our shop\">\n"
                                "<meta property=\"og:url\" content=\"//example.org/shop\">\n"
                                "<meta property=\"og:image\" content=\"img/card.png\">\n"
                                "<meta property=\"og:locale\" content=\"en-US\">\n</head>"));
        const test::CliRun r = runCli({u"import"_s, page});
        QVERIFY2(r.status == 0, r.err.constData());
        QCOMPARE(r.out,
                 QByteArray("<title>Shop</title>\r\n<meta property=\"og:title\" content=\"Our shop\">\r\n"));
        QVERIFY2(r.err.contains(page.toUtf8() +
                                ":3: og:url: \"//example.org/shop\" is not an absolute http:// or "
                                "https:// address; left empty\n"),
                 r.err.constData());
        QVERIFY(r.err.contains(":4: og:image: \"img/card.png\""));
        QVERIFY(r.err.contains(":5: og:locale: \"en-US\" does not look like en_US"));

        // The profile it saves is one the other commands take.
        const QString profile = dir.filePath(u"shop.wmp"_s);
        QCOMPARE(runCli({u"import"_s, page, u"--save-profile"_s, profile}).status, 0);
        QCOMPARE(runCli({u"tags"_s, u"--profile"_s, profile}).status, 0);
    }

    // Linear in the attributes of a tag, and within bounded memory.
    void aTagOfAMillionAttributes_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addRow("import") << QStringList{u"import"_s};
        QTest::addRow("check") << QStringList{u"check"_s};
        QTest::addRow("apply") << QStringList{u"apply"_s, u"--dry-run"_s, u"--profile"_s};
    }
    void aTagOfAMillionAttributes()
    {
        QFETCH(QStringList, command);
        QTemporaryDir dir;
        const QString page = dir.filePath(u"wide.html"_s);
        QByteArray bytes = "<head><meta";
        for (int i = 0; i < 1000000; ++i)
            bytes += " a" + QByteArray::number(i);
        bytes += " name=description content=\"Wide\"><title>T</title></head><body>";
        QVERIFY(writeFile(page, bytes));
        if (command.last() == u"--profile"_s)
            command << writeProfile(dir);
        test::CliOptions options;
        options.args = command << page;
        options.timeoutMs = kHangGuardMs;
        const test::CliRun r = test::runCliWith(options);
        QVERIFY2(r.status == 0, r.err.constData());
        QVERIFY2(kSanitized || r.maxResidentKb < 200 * 1024, QByteArray::number(qlonglong(r.maxResidentKb)));
        if (command.first() == u"import"_s)
            QVERIFY(r.out.contains("<meta name=\"description\" content=\"Wide\">"));
    }

    // check reads a page as import and apply do: its head, not the whole file.
    void checkReadsTheHeadOfAHugeFile()
    {
        QTemporaryDir dir;
        const QString page = dir.filePath(u"huge.html"_s);
        QVERIFY(writeFile(page, "<html lang=en><head><title>Huge</title><meta name=viewport "
                                "content=width=device-width><meta name=description content=\"" +
                                    QByteArray(60, 'd') + "\"></head><body>\n"));
        QFile file(page);
        if (!file.resize(qint64(100) << 30))
            QSKIP("no sparse file of 100 GB here");
        const test::CliRun r = runGuarded({u"check"_s, page});
        QVERIFY2(r.status == 0, r.out.constData());
        QCOMPARE(r.out, QByteArray());
    }

    // Lines go only into charsets that keep ASCII bytes as they are.
    void pagesApplyLeavesAlone_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("reason");
        QByteArray utf16 = "\xff\xfe";
        for (char c : QByteArray("<head><title>Old</title></head>"))
            utf16 += QByteArray(1, c) + '\0';
        QTest::addRow("UTF-16") << utf16 << QByteArray("is in UTF-16LE (it begins with a byte-order mark)");
        QTest::addRow("utf-7") << QByteArray("<head><meta charset=\"utf-7\"><title>Old</title></head>")
                               << QByteArray("declares the charset \"utf-7\"; Brindle writes lines only in "
                                             "charsets that keep ASCII bytes as they are");
        QTest::addRow("hz-gb-2312")
            << QByteArray("<head><meta charset=\"hz-gb-2312\"><title>Old</title></head>")
            << QByteArray("declares the charset \"hz-gb-2312\", which browsers do not decode");
    }
    void pagesApplyLeavesAlone()
    {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"page.html"_s);
        QVERIFY(writeFile(path, page));
        const test::CliRun r = runCli({u"apply"_s, u"--profile"_s, writeProfile(dir), path});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(path.toUtf8() + ": " + reason), r.err.constData());
        QCOMPARE(readFile(path), page);
    }

    // A DOCTYPE the parser ignores, in every place of a head.
    void doctypesOutOfPlace_data()
    {
        QTest::addColumn<QByteArray>("page");
        const QByteArray d = "<!DOCTYPE html>";
        QTest::addRow("in the head's noscript")
            << "<html><head><noscript>" + d + "</noscript></head><body></body></html>";
        QTest::addRow("in the head") << "<html><head><title>T</title>" + d + "</head>";
        QTest::addRow("before <head>") << "<html>" + d + "<head><title>T</title></head>";
        QTest::addRow("a second at the start") << d + d + "<title>T</title>";
        QTest::addRow("after </head>") << "<head><title>T</title></head>" + d + "<body>";
        QTest::addRow("in a template") << "<head><template>" + d + "</template><title>T</title></head>";
    }
    void doctypesOutOfPlace()
    {
        QFETCH(QByteArray, page);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"page.html"_s);
        QVERIFY(writeFile(path, page));
        const QString profile = writeProfile(dir);
        for (const QStringList &args :
             {QStringList{u"import"_s, path}, QStringList{u"check"_s, path},
              QStringList{u"apply"_s, u"--dry-run"_s, u"--profile"_s, profile, path}}) {
            const test::CliRun r = runCli(args);
            QVERIFY2(r.status == 0 || r.status == 1, qPrintable(args.join(u' ')));
            QVERIFY2(!r.err.contains("Sanitizer"), r.err.constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestReadingCli)
#include "tst_reading_cli.moc"
