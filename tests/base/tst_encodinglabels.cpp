// Labels of the WHATWG Encoding Standard as browsers resolve them.

#include "base/encodinglabels.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace brindle;

class TestEncodingLabels : public QObject
{
    Q_OBJECT

private slots:
    void resolve_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("encoding"); // empty: no label
        QTest::addRow("utf-8") << u"utf-8"_s << u"UTF-8"_s;
        QTest::addRow("upper case and blanks") << u" \tUTF8\r\n"_s << u"UTF-8"_s;
        QTest::addRow("Latin-1 is windows-1252") << u"iso-8859-1"_s << u"windows-1252"_s;
        QTest::addRow("latin1") << u"latin1"_s << u"windows-1252"_s;
        QTest::addRow("us-ascii") << u"us-ascii"_s << u"windows-1252"_s;
        QTest::addRow("utf-16 is little-endian") << u"utf-16"_s << u"UTF-16LE"_s;
        QTest::addRow("utf-16be") << u"UTF-16BE"_s << u"UTF-16BE"_s;
        QTest::addRow("ks_c_5601-1987") << u"ks_c_5601-1987"_s << u"EUC-KR"_s;
        QTest::addRow("hz-gb-2312 is replacement") << u"hz-gb-2312"_s << u"replacement"_s;
        QTest::addRow("x-user-defined") << u"x-user-defined"_s << u"x-user-defined"_s;
        QTest::addRow("longest label") << u"cseucpkdfmtjapanese"_s << u"EUC-JP"_s;
        QTest::addRow("koi8-ru is KOI8-U") << u"koi8-ru"_s << u"KOI8-U"_s;
        QTest::addRow("ms932 is Shift_JIS") << u"MS932"_s << u"Shift_JIS"_s;
        QTest::addRow("utf-7 is none") << u"utf-7"_s << QString();
        QTest::addRow("utf-32 is none") << u"utf-32"_s << QString();
        QTest::addRow("blank inside") << u"utf -8"_s << QString();
        QTest::addRow("non-breaking space around") << u"\u00a0utf-8"_s << QString();
        QTest::addRow("Kelvin sign is no k") << u"\u212aoi8-r"_s << QString();
        QTest::addRow("empty") << QString() << QString();
        QTest::addRow("longer than any label") << u"cseucpkdfmtjapanesex-x-x-x"_s << QString();
    }
    void resolve()
    {
        QFETCH(QString, label);
        QFETCH(QString, encoding);
        const auto found = encodingOfLabel(label);
        QCOMPARE(found ? QString(*found) : QString(), encoding);
    }
};

QTEST_GUILESS_MAIN(TestEncodingLabels)
#include "tst_encodinglabels.moc"
