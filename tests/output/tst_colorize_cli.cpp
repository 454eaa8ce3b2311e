#include "common/clirun.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Run = brindle::test::CliRun;

Run cli(const QStringList &args, const QByteArray &input = {})
{
    return brindle::test::runCli(args, input);
}

const QByteArray kWorkedExampleRtf =
    R"({\rtf1\ansi\ansicpg1252\deff0\deftab720{\fonttbl{\f0\fmodern\fcharset0 Courier New;}})"
    "\r\n"
    R"({\colortbl\red0\green0\blue0;\red255\green0\blue0;\red0\green128\blue0;\red128\green0\blue128;)"
    R"(\red128\green0\blue128;\red255\green0\blue0;\red0\green0\blue255;\red0\green0\blue128;)"
    R"(\red0\green0\blue255;\red255\green0\blue0;\red255\green0\blue0;\red255\green0\blue0;})"
    "\r\n"
    R"(\deflang1033\pard\plain\f0\fs20\f0 \cf7 <\cf4 meta\cf5  \cf3 name\cf7 =\cf6 "a"\cf5  \cf3 content)"
    R"(\cf7 =\cf6 "b"\cf5  \cf3 /\cf7 >)";

} // namespace

class TestColorizeCli : public QObject
{
    Q_OBJECT

private slots:
    void workedExample_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<bool>("fromFile");
        const QByteArray line = R"(<meta name="a" content="b" />)";
        const QByteArray crlf = line + "\r\n";
        QTest::addRow("standard input") << line << kWorkedExampleRtf + " }" << false;
        QTest::addRow("file") << line << kWorkedExampleRtf + " }" << true;
        QTest::addRow("file, CR LF variant") << crlf << kWorkedExampleRtf + "\\par\\cf5 \r\n }" << true;
    }
    void workedExample()
    {
        QFETCH(QByteArray, html);
        QFETCH(QByteArray, rtf);
        QFETCH(bool, fromFile);
        Run r;
        if (fromFile) {
            QTemporaryDir dir;
            QVERIFY(dir.isValid());
            QFile file(dir.filePath(u"in.html"_s));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(html);
            file.close();
            r = cli({u"colorize"_s, file.fileName()});
        } else {
            r = cli({u"colorize"_s}, html);
        }
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.out, rtf);
        QCOMPARE(r.status, 0);
    }

    // A file is mapped into memory unless its size is a whole number of
    // pages; either way it converts exactly like the same bytes on a pipe.
    void fileAndPipeAgree_data()
    {
        QTest::addColumn<qsizetype>("size");
        for (const qsizetype size :
             {qsizetype(1), qsizetype(4095), qsizetype(4096), qsizetype(4097), qsizetype(65536)})
            QTest::addRow("%lld bytes", qlonglong(size)) << size;
    }
    void fileAndPipeAgree()
    {
        QFETCH(qsizetype, size);
        const QByteArray html =
            QByteArray("<p class=x>T\xc3\xa9xt &amp; more</p>\r\n").repeated(size / 20 + 1).left(size);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile file(dir.filePath(u"in.html"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(html);
        file.close();
        const Run fromFile = cli({u"colorize"_s, file.fileName()});
        const Run fromPipe = cli({u"colorize"_s}, html);
        QCOMPARE(fromFile.status, 0);
        QCOMPARE(fromFile.out, fromPipe.out);
        QVERIFY(fromFile.out.endsWith(" }"));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("errContains");
        QTest::addRow("missing file") << QStringList{u"colorize"_s, u"/nonexistent/x.html"_s} << 1
                                      << QByteArray("Cannot open file \"/nonexistent/x.html\"");
        QTest::addRow("two files") << QStringList{u"colorize"_s, u"a"_s, u"b"_s} << 2 << QByteArray("\"b\"");
    }
    void failures()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, errContains);
        const Run r = cli(args);
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(errContains), r.err.constData());
        QCOMPARE(r.out, QByteArray());
    }

    // A full disk is an error, not a silently short document.
    void writeFailure()
    {
        if (!QFile::exists(u"/dev/full"_s))
            QSKIP("no /dev/full");
        QProcess p;
        p.setStandardOutputFile(u"/dev/full"_s);
        p.start(QStringLiteral(BRINDLE_CLI), {u"colorize"_s});
        p.write("<p>x</p>");
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardError().startsWith("Cannot write the RTF document to standard output."));
    }
};

QTEST_GUILESS_MAIN(TestColorizeCli)
#include "tst_colorize_cli.moc"
