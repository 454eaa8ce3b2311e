// File names kept byte for byte through a QString, and shown with their
// odd bytes escaped.

#include "base/filename.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace brindle;

class TestFileName : public QObject
{
    Q_OBJECT

private slots:
    void bytesSurviveAString_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::addRow("ASCII") << QByteArray("site/index.html") << u"site/index.html"_s;
        QTest::addRow("UTF-8") << QByteArray("caf\xc3\xa9/\xe6\x97\xa5.html") << u"café/日.html"_s;
        QTest::addRow("Latin-1 bytes") << QByteArray("bad\xff\xfename.html") << u"bad\\xff\\xfename.html"_s;
        QTest::addRow("a sequence cut short") << QByteArray("a\xe6\x97") << u"a\\xe6\\x97"_s;
        QTest::addRow("an overlong form") << QByteArray("\xc0\xaf") << u"\\xc0\\xaf"_s;
        QTest::addRow("an encoded surrogate") << QByteArray("\xed\xb3\xbf") << u"\\xed\\xb3\\xbf"_s;
        QTest::addRow("a lone continuation before a valid one") << QByteArray("\x80\xc3\xa9") << u"\\x80é"_s;
        QTest::addRow("control characters are shown, not sent")
            << QByteArray("new\nline\x1b[1m.html") << u"new\\x0aline\\x1b[1m.html"_s;
    }
    void bytesSurviveAString()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const QString name = fileNameFromBytes(bytes);
        QCOMPARE(fileNameBytes(name), bytes);
        QCOMPARE(displayFileName(name), shown);
        // Text that is UTF-8 is the same text either way.
        if (bytes.isValidUtf8())
            QCOMPARE(name, QString::fromUtf8(bytes));
    }
};

QTEST_GUILESS_MAIN(TestFileName)
#include "tst_filename.moc"
