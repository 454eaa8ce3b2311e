// The social card options of brindle-cli: the lines of tags and page, the
// refused values, and round trips through --save-profile, --profile,
// import and apply.

#include "common/clirun.h"
#include "common/testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using brindle::test::readFile;
using brindle::test::runCli;
using brindle::test::writeFile;

namespace {

const QStringList kCardOptions = {
    u"--og-type"_s,      u"article"_s, u"--og-image"_s,     u"https://example.org/c.png"_s,
    u"--og-locale"_s,    u"en_GB"_s,   u"--twitter-card"_s, u"summary_large_image"_s,
    u"--twitter-site"_s, u"@site"_s};

} // namespace

class TestSocialCli : public QObject
{
    Q_OBJECT

private slots:
    void tagLines_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("out");
        QTest::addRow("given social options are used, after the classic lines, title falling back")
            << QStringList{u"tags"_s, u"--title"_s, u"Home & \"garden\""_s} + kCardOptions
            << QByteArray("<title>Home & \"garden\"</title>\r\n"
                          "<meta property=\"og:title\" content=\"Home & &quot;garden&quot;\">\r\n"
                          "<meta property=\"og:type\" content=\"article\">\r\n"
                          "<meta property=\"og:image\" content=\"https://example.org/c.png\">\r\n"
                          "<meta property=\"og:locale\" content=\"en_GB\">\r\n"
                          "<meta name=\"twitter:card\" content=\"summary_large_image\">\r\n"
                          "<meta name=\"twitter:site\" content=\"@site\">\r\n");
        QTest::addRow("XHTML, own description")
            << QStringList{u"tags"_s,
                           u"--xhtml"_s,
                           u"--description"_s,
                           u"classic"_s,
                           u"--og-description"_s,
                           u"own"_s,
                           u"--twitter-creator"_s,
                           u"@me"_s}
            << QByteArray("<meta name=\"description\" content=\"classic\" />\r\n"
                          "<meta property=\"og:description\" content=\"own\" />\r\n"
                          "<meta name=\"twitter:creator\" content=\"@me\" />\r\n");
        QTest::addRow("all is the thirteen tags, without the social group")
            << QStringList{u"tags"_s,    u"--title"_s, u"T"_s,    u"--og-type"_s,
                           u"website"_s, u"--use"_s,   u"title"_s}
            << QByteArray("<title>T</title>\r\n");
        QTest::addRow("social in --use: the fallbacks alone")
            << QStringList{u"tags"_s, u"--title"_s, u"T"_s,     u"--description"_s,
                           u"D"_s,    u"--use"_s,   u"social"_s}
            << QByteArray("<meta property=\"og:title\" content=\"T\">\r\n"
                          "<meta property=\"og:description\" content=\"D\">\r\n");
        QTest::addRow("basic and social together")
            << QStringList{u"tags"_s, u"--og-site-name"_s, u"S"_s, u"--use"_s, u"charset, social"_s}
            << QByteArray("<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">\r\n"
                          "<meta property=\"og:site_name\" content=\"S\">\r\n");
    }
    void tagLines()
    {
        QFETCH(QStringList, args);
        const auto r = runCli(args);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.status, 0);
        QTEST(r.out, "out");
    }

    void pageCarriesTheSocialLines()
    {
        const auto r = runCli(
            {u"page"_s, u"--doctype"_s, u"XHTML 1.1"_s, u"--title"_s, u"T"_s, u"--og-type"_s, u"website"_s});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains("<title>T</title>\r\n<meta property=\"og:title\" content=\"T\" />\r\n"
                               "<meta property=\"og:type\" content=\"website\" />\r\n\r\n</head>"));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("err");
        QTest::addRow("relative og:url")
            << QStringList{u"tags"_s, u"--og-url"_s, u"about.html"_s}
            << QByteArray("brindle-cli tags: og:url: \"about.html\" is not an absolute http:// or https:// "
                          "address\n");
        QTest::addRow("og:image without scheme, even when not used")
            << QStringList{u"page"_s,  u"--doctype"_s, u"None"_s, u"--og-image"_s, u"example.org/c.png"_s,
                           u"--use"_s, u"title"_s}
            << QByteArray("brindle-cli page: og:image: \"example.org/c.png\" is not an absolute http:// or "
                          "https:// address\n");
        QTest::addRow("og:locale")
            << QStringList{u"tags"_s, u"--og-locale"_s, u"english"_s}
            << QByteArray("brindle-cli tags: og:locale: \"english\" does not look like en_US (language, "
                          "underscore, country)\n");
        QTest::addRow("social in --use of another command is unknown")
            << QStringList{u"tags"_s, u"--use"_s, u"titel"_s}
            << QByteArray("brindle-cli tags: unknown tag name in --use: \"titel\"\n");
    }
    void refusals()
    {
        QFETCH(QStringList, args);
        const auto r = runCli(args);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.out, QByteArray());
        QTEST(r.err, "err");
    }

    void profileRoundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"card.wmp"_s);
        const QStringList given =
            QStringList{u"--title"_s,          u"Home"_s,     u"--og-title"_s,
                        u"Card & \"title\""_s, u"--og-url"_s, u"https://example.org/"_s} +
            kCardOptions;
        const auto direct = runCli(QStringList{u"tags"_s} + given);
        QCOMPARE(direct.status, 0);
        QCOMPARE(runCli(QStringList{u"tags"_s} + given + QStringList{u"--save-profile"_s, path}).status, 0);
        const QByteArray file = readFile(path);
        QVERIFY(file.contains("<social og-title=\"Card &amp; &quot;title&quot;\" og-description=\"\" "
                              "og-type=\"article\" og-url=\"https://example.org/\""));
        QVERIFY(file.endsWith("isused=\"Y\"/></OvalinBrindleProfile>"));

        for (const bool xhtml : {false, true}) {
            QStringList args{u"tags"_s, u"--profile"_s, path};
            QStringList againDirect = QStringList{u"tags"_s} + given;
            if (xhtml) {
                args << u"--xhtml"_s;
                againDirect << u"--xhtml"_s;
            }
            const auto fromProfile = runCli(args);
            QCOMPARE(fromProfile.status, 0);
            QCOMPARE(fromProfile.out, runCli(againDirect).out);
        }

        // --use overrides the ticks of the profile, the group's included.
        const auto classicOnly = runCli({u"tags"_s, u"--profile"_s, path, u"--use"_s, u"title"_s});
        QCOMPARE(classicOnly.out, QByteArray("<title>Home</title>\r\n"));

        // Saved again from the profile, the file is the same.
        const QString again = dir.filePath(u"again.wmp"_s);
        QCOMPARE(runCli({u"tags"_s, u"--profile"_s, path, u"--save-profile"_s, again}).status, 0);
        QCOMPARE(readFile(again), file);
    }

    void refusedValueInAProfile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"bad.wmp"_s);
        QByteArray file = brindle::test::kExampleProfile;
        file.insert(file.indexOf("</Ovalin"),
                    "<social og-title=\"\" og-description=\"\" og-type=\"\" og-url=\"\" "
                    "og-image=\"card.png\" og-image-alt=\"\" og-site-name=\"\" "
                    "og-locale=\"\" twitter-card=\"\" twitter-site=\"\" "
                    "twitter-creator=\"\" isused=\"Y\"/>");
        QVERIFY(writeFile(path, file));
        const auto r = runCli({u"tags"_s, u"--profile"_s, path});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err,
                 QByteArray("og:image: \"card.png\" is not an absolute http:// or https:// address.\n"));
        const auto apply = runCli({u"apply"_s, u"--profile"_s, path, dir.path()});
        QCOMPARE(apply.status, 1);
        QCOMPARE(apply.err, r.err);
        // Not used, the value is not looked at.
        QCOMPARE(runCli({u"tags"_s, u"--profile"_s, path, u"--use"_s, u"title"_s}).status, 0);
    }

    void importAndApplyRoundTrip()
    {
        QTemporaryDir dir;
        const QString page = dir.filePath(u"index.html"_s);
        QVERIFY(writeFile(page, "<html>\n<head>\n  <title>Home</title>\n"
                                "  <meta property=\"og:title\" content=\"Card &quot;title&quot;\">\n"
                                "  <meta name=\"twitter:card\" content=\"summary\">\n"
                                "  <meta property=\"og:image\" content=\"https://example.org/c.png\">\n"
                                "</head>\n<body></body>\n</html>\n"));
        const auto imported = runCli({u"import"_s, page});
        QCOMPARE(imported.status, 0);
        QCOMPARE(imported.out,
                 QByteArray("<title>Home</title>\r\n"
                            "<meta property=\"og:title\" content=\"Card &quot;title&quot;\">\r\n"
                            "<meta property=\"og:image\" content=\"https://example.org/c.png\">\r\n"
                            "<meta name=\"twitter:card\" content=\"summary\">\r\n"));
        QCOMPARE(imported.err, (page + u":3: title\n"_s + page + u":4: og:title\n"_s + page +
                                u":5: twitter:card\n"_s + page + u":6: og:image\n"_s)
                                   .toUtf8());

        const QString profile = dir.filePath(u"site.wmp"_s);
        QCOMPARE(runCli({u"import"_s, page, u"--save-profile"_s, profile}).status, 0);
        QCOMPARE(runCli({u"tags"_s, u"--profile"_s, profile}).out, imported.out);

        // Applied to the page it came from, nothing changes; to another page the lines go in.
        QCOMPARE(runCli({u"apply"_s, u"--profile"_s, profile, page}).err,
                 QByteArray("0 pages changed, 1 unchanged, 0 failed\n"));
        const QString other = dir.filePath(u"other.xhtml"_s);
        QVERIFY(writeFile(other,
                          "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>\r\n<title>Old</title>\r\n"
                          "<meta property=\"og:title\" content=\"Old\" />\r\n</head></html>\r\n"));
        QCOMPARE(runCli({u"apply"_s, u"--profile"_s, profile, other}).status, 0);
        QCOMPARE(readFile(other),
                 QByteArray("<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>\r\n<title>Home</title>\r\n"
                            "<meta property=\"og:title\" content=\"Card &quot;title&quot;\" />\r\n"
                            "<meta property=\"og:image\" content=\"https://example.org/c.png\" />\r\n"
                            "<meta name=\"twitter:card\" content=\"summary\" />\r\n</head></html>\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestSocialCli)
#include "tst_social_cli.moc"
