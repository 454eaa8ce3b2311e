#include "check/checker.h"
#include "common/clirun.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;
using namespace brindle;

namespace {

QByteArray pageWith(const QByteArray &head)
{
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head><meta name=\"viewport\" "
           "content=\"width=device-width\">\n" +
           head + "\n</head>\n<body></body>\n</html>\n";
}

// A description long enough to pass; `when` tells them apart.
QByteArray description(const QByteArray &when = "in the morning")
{
    return "<meta name=\"description\" content=\"Fresh fish and hand-cut chips, fried to order every day "
           "from "
           "eleven " +
           when + ".\">";
}

} // namespace

class TestCheckCli : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // Writes a page into the test's folder; the name the tool is given is
    // relative to it, as a user would type it.
    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile f(m_dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(name));
        return f.fileName();
    }

    brindle::test::CliRun run(const QStringList &args)
    {
        QDir::setCurrent(m_dir.path());
        return brindle::test::runCli(QStringList{u"check"_s} + args);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        write(u"a.html"_s, pageWith("<title>Fish and Chips</title>\n" + description()));
        write(u"b.html"_s, pageWith("<title>Fish and Chips</title>\n" + description("till late")));
        write(u"c.html"_s,
              pageWith("<meta name=\"keywords\" content=\"fish\">\n<title>Fish and Chips</title>\n" +
                       description()));
        write(u"d.html"_s, pageWith("<title>Opening hours</title>\n" + description("on Sundays")));
        write(u"notitle.html"_s, pageWith(description("at noon")));
    }

    void siteCheckOverThreePages()
    {
        const auto r = run({u"a.html"_s, u"b.html"_s, u"c.html"_s, u"d.html"_s});
        QCOMPARE(r.err, QByteArray());
        // Warnings and notes alone do not fail the run.
        QCOMPARE(r.status, 0);
        const QList<QByteArray> lines = r.out.split('\n');
        QCOMPARE(lines,
                 (QList<QByteArray>{
                     "a.html:4:1: warning: same title as b.html:4 and 1 other page [title-duplicate]",
                     "a.html:5:1: warning: same description as c.html:6 [description-duplicate]",
                     "b.html:4:1: warning: same title as a.html:4 and 1 other page [title-duplicate]",
                     "c.html:4:1: info: major search engines ignore the keywords tag [keywords-ignored]",
                     "c.html:5:1: warning: same title as a.html:4 and 1 other page [title-duplicate]",
                     "c.html:6:1: warning: same description as a.html:5 [description-duplicate]",
                     "",
                 }));
    }

    void errorsSetTheExitStatus()
    {
        const auto r = run({u"d.html"_s, u"notitle.html"_s, u"missing.html"_s});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.out, QByteArray("notitle.html: error: page has no <title> [title-missing]\n"
                                   "missing.html: error: cannot be opened (No such file or directory) "
                                   "[page-unreadable]\n"));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("message");
        QTest::addRow("no page") << QStringList() << QByteArray("brindle-cli check: missing PAGE\n");
        QTest::addRow("unknown format")
            << QStringList{u"--format"_s, u"xml"_s, u"a.html"_s}
            << QByteArray("brindle-cli check: unknown format \"xml\"; text, json or sarif\n");
        QTest::addRow("--rules with a page") << QStringList{u"--rules"_s, u"a.html"_s}
                                             << QByteArray("brindle-cli check: --rules takes no PAGE\n");
        QTest::addRow("unknown option") << QStringList{u"--strict"_s, u"a.html"_s}
                                        << QByteArray("brindle-cli check: Unknown option 'strict'.\n");
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, message);
        const auto r = run(args);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.err, message);
        QCOMPARE(r.out, QByteArray());
    }

    void jsonReadsBack()
    {
        const auto r = run({u"--format"_s, u"json"_s, u"a.html"_s, u"notitle.html"_s, u"missing.html"_s});
        QCOMPARE(r.status, 1);
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(r.out, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonObject root = doc.object();
        QCOMPARE(root[u"errors"_s].toInt(), 2);
        QCOMPARE(root[u"warnings"_s].toInt(), 0);
        QCOMPARE(root[u"infos"_s].toInt(), 0);

        const QJsonArray pages = root[u"pages"_s].toArray();
        QCOMPARE(pages.size(), 3);
        const QJsonObject a = pages[0].toObject();
        QCOMPARE(a[u"file"_s].toString(), u"a.html"_s);
        const QJsonObject title = a[u"title"_s].toObject();
        QCOMPARE(title[u"characters"_s].toInt(), 14);
        const double width = check::FontMeasure::liberationSans().width(u"Fish and Chips", 20);
        QVERIFY(qAbs(title[u"pixels"_s].toDouble() - width) < 0.01);
        QCOMPARE(title[u"maxPixels"_s].toDouble(), 600.0);
        QCOMPARE(a[u"description"_s].toObject()[u"characters"_s].toInt(), 83);
        QVERIFY(pages[1].toObject()[u"title"_s].isNull());
        QVERIFY(pages[2].toObject()[u"description"_s].isNull());

        const QJsonArray findings = root[u"findings"_s].toArray();
        QCOMPARE(findings.size(), 2);
        const QJsonObject first = findings[0].toObject();
        QCOMPARE(first[u"file"_s].toString(), u"notitle.html"_s);
        QVERIFY(first[u"line"_s].isNull());
        QVERIFY(first[u"column"_s].isNull());
        QCOMPARE(first[u"rule"_s].toString(), u"title-missing"_s);
        QCOMPARE(first[u"level"_s].toString(), u"error"_s);
        QCOMPARE(first[u"message"_s].toString(), u"page has no <title>"_s);
        const QJsonObject second = findings[1].toObject();
        QCOMPARE(second[u"rule"_s].toString(), u"page-unreadable"_s);
        QCOMPARE(second[u"file"_s].toString(), u"missing.html"_s);
    }

    // Folders are walked as apply walks them: their pages, with -r those
    // of their subfolders, and never past the folders given.
    void folders()
    {
        QVERIFY(QDir(m_dir.path()).mkpath(u"site/sub"_s));
        QVERIFY(QDir(m_dir.path()).mkpath(u"outside"_s));
        write(u"site/top.html"_s, pageWith("<title>Top</title>\n" + description("at the top")));
        write(u"site/notes.txt"_s, "<title></title>");
        write(u"site/sub/deep.htm"_s, pageWith(description("deep down")));
        write(u"outside/far.html"_s, pageWith(description("far away")));
        QVERIFY(QFile::link(m_dir.filePath(u"outside/far.html"_s), m_dir.filePath(u"site/far.html"_s)));

        const auto flat = run({u"site"_s});
        QCOMPARE(flat.status, 0);
        QCOMPARE(flat.out, QByteArray());
        QCOMPARE(flat.err, QByteArray("site/far.html: a symbolic link to " +
                                      m_dir.filePath(u"outside/far.html"_s).toUtf8() +
                                      ", outside the folders given; skipped\n"));

        const auto deep = run({u"--recursive"_s, u"site/"_s});
        QCOMPARE(deep.status, 1);
        QCOMPARE(deep.out, QByteArray("site/sub/deep.htm: error: page has no <title> [title-missing]\n"));
    }

    // A name or a value holding control characters must not drive the
    // terminal: each is escaped, as is a byte that is not UTF-8.
    void controlCharactersAreEscaped()
    {
        const QString name = QString::fromUtf8("red\x1b[31m\xc2\x9b.html");
        write(name, pageWith("<title>Fish</title>\n" + description("\x07") +
                             "\n<meta name=\"robots\" content=\"noindex,\x1b]0;owned\x07\">"));
        const auto r = run({name, QString::fromUtf8("bad\x1b.html")});
        QVERIFY2(!r.out.contains('\x1b') && !r.out.contains('\x07') && !r.out.contains("\xc2\x9b"),
                 r.out.constData());
        QVERIFY2(!r.err.contains('\x1b'), r.err.constData());
        QCOMPARE(
            r.out,
            QByteArray("red\\x1b[31m\\u009b.html:6:1: info: robots \"noindex,\\x1b]0;owned\\x07\": search "
                       "engines leave this page out of their results [robots-noindex]\n"
                       "bad\\x1b.html: error: cannot be opened (No such file or directory) "
                       "[page-unreadable]\n"));
    }

    void sarif()
    {
        QVERIFY(QDir(m_dir.path()).mkpath(u"s p"_s));
        const QString absolute =
            write(u"s p/c:d.html"_s, pageWith("<meta name=\"keywords\" content=\"x\">\n<title>T</title>"));
        const auto r = run({u"--format"_s, u"sarif"_s, u"./notitle.html"_s, absolute});
        QCOMPARE(r.status, 1);
        QJsonParseError error;
        const QJsonObject log = QJsonDocument::fromJson(r.out, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(log[u"version"_s].toString(), u"2.1.0"_s);
        const QJsonObject run0 = log[u"runs"_s].toArray()[0].toObject();
        const QJsonObject driver = run0[u"tool"_s][u"driver"_s].toObject();
        QCOMPARE(driver[u"name"_s].toString(), u"brindle-cli"_s);
        const QJsonArray rules = driver[u"rules"_s].toArray();
        QCOMPARE(rules.size(), qsizetype(check::kRules.size()));
        for (const QJsonValue &rule : rules) {
            QVERIFY(check::findRule(rule[u"id"_s].toString()));
            QVERIFY(!rule[u"help"_s][u"text"_s].toString().isEmpty());
        }
        QVERIFY(run0[u"invocations"_s][0][u"executionSuccessful"_s].toBool());

        QStringList seen;
        for (const QJsonValue &v : run0[u"results"_s].toArray()) {
            const QJsonObject result = v.toObject();
            const QString id = result[u"ruleId"_s].toString();
            // ruleIndex points at the rule, and info is SARIF's note.
            QCOMPARE(rules[result[u"ruleIndex"_s].toInt()][u"id"_s].toString(), id);
            const QJsonObject where = result[u"locations"_s][0][u"physicalLocation"_s].toObject();
            // Not through arg(): the addresses hold percent signs.
            seen << where[u"artifactLocation"_s][u"uri"_s].toString() + u' ' + id + u' ' +
                        result[u"level"_s].toString() + u' ' +
                        QString::number(where[u"region"_s][u"startLine"_s].toInt()) + u':' +
                        QString::number(where[u"region"_s][u"startColumn"_s].toInt());
        }
        const QString uri = u"file://"_s + QString::fromLatin1(QUrl::toPercentEncoding(m_dir.path(), "/")) +
                            u"/s%20p/c%3Ad.html"_s;
        QCOMPARE(seen, (QStringList{u"notitle.html title-missing error 1:0"_s,
                                    uri + u" description-missing warning 1:0"_s,
                                    uri + u" keywords-ignored note 4:1"_s}));
    }

    void rulesList()
    {
        const auto text = run({u"--rules"_s});
        QCOMPARE(text.status, 0);
        const QList<QByteArray> lines = text.out.trimmed().split('\n');
        QCOMPARE(lines.size(), qsizetype(check::kRules.size()));
        QVERIFY(lines[0].startsWith("page-unreadable "));
        QVERIFY(lines[4].contains(" warning "));

        const auto json = run({u"--rules"_s, u"--format"_s, u"json"_s});
        QCOMPARE(json.status, 0);
        const QJsonArray rules = QJsonDocument::fromJson(json.out).array();
        QCOMPARE(rules.size(), qsizetype(check::kRules.size()));
        for (const QJsonValue &rule : rules) {
            const QString id = rule[u"id"_s].toString();
            QVERIFY2(check::findRule(id), qPrintable(id));
            QCOMPARE(rule[u"level"_s].toString(), check::levelName(check::findRule(id)->level));
            QVERIFY(!rule[u"summary"_s].toString().isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestCheckCli)
#include "tst_check_cli.moc"
