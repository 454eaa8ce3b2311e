#include "common/clirun.h"

#include "render/colorize.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brindle::render;

namespace {

using Run = brindle::test::CliRun;

Run cli(const QStringList &args, const QByteArray &input = {})
{
    return brindle::test::runCli(args, input);
}

const QByteArray kMetaLineRtf =
    R"({\rtf1\ansi\ansicpg1252\deff0\deftab720{\fonttbl{\f0\fmodern\fcharset0 Courier New;}})"
    "\r\n"
    R"({\colortbl\red0\green0\blue0;\red255\green0\blue0;\red0\green128\blue0;\red128\green0\blue128;)"
    R"(\red128\green0\blue128;\red255\green0\blue0;\red0\green0\blue255;\red0\green0\blue128;)"
    R"(\red0\green0\blue255;\red255\green0\blue0;\red255\green0\blue0;\red255\green0\blue0;})"
    "\r\n"
    R"(\deflang1033\pard\plain\f0\fs20\f0 \cf7 <\cf4 meta\cf5  \cf3 name\cf7 =\cf6 "a"\cf5  \cf3 content)"
    R"(\cf7 =\cf6 "b"\cf5  \cf3 /\cf7 >)";

// The document of an empty text.
const QByteArray kEmptyRtf = kMetaLineRtf.left(kMetaLineRtf.indexOf("\\cf7")) + " }";

constexpr bool kSanitized =
#if defined(__SANITIZE_ADDRESS__)
    true;
#else
    false;
#endif

// Hands out `total` bytes of HTML in pieces: ordinary markup, then runs that
// make single tokens of many megabytes (an attribute value, a text that
// starts with blanks and settles its colour only at the "//" after them).
class LargeHtml
{
public:
    explicit LargeHtml(qsizetype total) : m_total(total) {}

    qsizetype read(char *to, qsizetype capacity)
    {
        qsizetype n = std::min(capacity, m_total - m_offset);
        const qsizetype longRuns = m_total / 5;
        for (qsizetype i = 0; i < n; ++i) {
            const qsizetype at = m_offset + i;
            char c;
            if (at < m_total - 2 * longRuns) {
                c = kUnit[std::size_t(at % qsizetype(sizeof kUnit - 1))];
            } else if (at < m_total - longRuns) {
                const qsizetype in = at - (m_total - 2 * longRuns);
                c = in < 9 ? "<a href=\""[in] : 'x';
            } else {
                const qsizetype in = at - (m_total - longRuns);
                c = in < 3 ? "\">T"[in] : at >= m_total - 3 ? "//x"[at - (m_total - 3)] : ' ';
            }
            to[i] = c;
        }
        m_offset += n;
        return n;
    }

private:
    static constexpr char kUnit[] = "<p class=\"x\" id=y>Gr\xc3\xbc\xc3\x9f"
                                    "e &amp; {more} &#9;</p>\r\n<!-- note --><%= x %>\n";
    qsizetype m_total;
    qsizetype m_offset = 0;
};

} // namespace

class TestColorizeCli : public QObject
{
    Q_OBJECT

private slots:
    void oneMetaLine_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<bool>("fromFile");
        const QByteArray line = R"(<meta name="a" content="b" />)";
        const QByteArray crlf = line + "\r\n";
        QTest::addRow("standard input") << line << kMetaLineRtf + " }" << false;
        QTest::addRow("file") << line << kMetaLineRtf + " }" << true;
        QTest::addRow("file, CR LF variant") << crlf << kMetaLineRtf + "\\par\\cf5 \r\n }" << true;
    }
    void oneMetaLine()
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

    // A file converts exactly like the same bytes on a pipe, whatever its size.
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

    // An endless input of NUL bytes is an empty text: the command ends at
    // once with its document instead of reading until memory runs out.
    void endlessZeroes_data()
    {
        QTest::addColumn<bool>("asArgument");
        QTest::addRow("named on the command line") << true;
        QTest::addRow("as standard input") << false;
    }
    void endlessZeroes()
    {
        QFETCH(bool, asArgument);
        brindle::test::CliOptions options;
        options.args = {u"colorize"_s};
        if (asArgument)
            options.args << u"/dev/zero"_s;
        else
            options.inputFile = u"/dev/zero"_s;
        if (!kSanitized) // the sanitizer reserves terabytes of address space
            options.addressSpaceLimit = rlim_t(64) << 20;
        options.timeoutMs = 10000;
        const Run r = brindle::test::runCliWith(options);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.out, kEmptyRtf);
        QCOMPARE(r.status, 0);
    }

    // A long piped input is converted in a window: memory stays small while
    // the document comes out whole.
    void largePipeTakesLittleMemory()
    {
        const qsizetype size = kSanitized ? qsizetype(30) << 20 : qsizetype(200) << 20;
        QCryptographicHash expected(QCryptographicHash::Sha256);
        qsizetype expectedSize = 0;
        {
            LargeHtml html(size);
            QByteArray buffer;
            RtfStream stream(buffer, [&](QByteArrayView slice) {
                expected.addData(slice);
                expectedSize += slice.size();
            });
            colorizeHtml([&](char *to, qsizetype capacity) { return html.read(to, capacity); }, stream);
        }

        LargeHtml html(size);
        QCryptographicHash received(QCryptographicHash::Sha256);
        qsizetype receivedSize = 0;
        QByteArray tail;
        brindle::test::CliOptions options;
        options.args = {u"colorize"_s};
        options.moreInput = [&](char *to, qsizetype capacity) { return html.read(to, capacity); };
        options.outputSink = [&](QByteArrayView bytes) {
            received.addData(bytes);
            receivedSize += bytes.size();
            tail = (tail + bytes.toByteArray()).right(64);
        };
        if (!kSanitized)
            options.addressSpaceLimit = rlim_t(64) << 20;
        options.timeoutMs = 240000;
        const Run r = brindle::test::runCliWith(options);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.status, 0);
        QCOMPARE(receivedSize, expectedSize);
        QCOMPARE(received.result(), expected.result());
        QVERIFY2(tail.endsWith("    //x }"), tail.constData());
        if (!kSanitized)
            QVERIFY2(r.maxResidentKb < 64 * 1024, qPrintable(QString::number(r.maxResidentKb)));
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
