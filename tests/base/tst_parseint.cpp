// parseInt32, the one reader of whole numbers behind the placement store,
// the profile's choice entries and the RTF reader's parameters.

#include "base/parseint.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace brindle;

Q_DECLARE_METATYPE(brindle::ParseStatus)

class TestParseInt : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<ParseStatus>("status");
        QTest::addColumn<int>("value");
        QTest::addRow("zero") << u"0"_s << ParseStatus::Ok << 0;
        QTest::addRow("leading zeros") << u"007"_s << ParseStatus::Ok << 7;
        QTest::addRow("plus sign") << u"+12"_s << ParseStatus::Ok << 12;
        QTest::addRow("largest") << u"2147483647"_s << ParseStatus::Ok << 2147483647;
        QTest::addRow("smallest") << u"-2147483648"_s << ParseStatus::Ok << int(-2147483648LL);
        QTest::addRow("one past the largest") << u"2147483648"_s << ParseStatus::OutOfRange << 0;
        QTest::addRow("one past the smallest") << u"-2147483649"_s << ParseStatus::OutOfRange << 0;
        QTest::addRow("beyond 64 bits") << u"99999999999999999999999"_s << ParseStatus::OutOfRange << 0;
        QTest::addRow("a letter after an overflow") << u"99999999999x"_s << ParseStatus::NotANumber << 0;
        QTest::addRow("empty") << QString() << ParseStatus::NotANumber << 0;
        QTest::addRow("sign alone") << u"-"_s << ParseStatus::NotANumber << 0;
        QTest::addRow("two signs") << u"--1"_s << ParseStatus::NotANumber << 0;
        QTest::addRow("leading blank") << u" 1"_s << ParseStatus::NotANumber << 0;
        QTest::addRow("trailing blank") << u"1 "_s << ParseStatus::NotANumber << 0;
        QTest::addRow("Arabic-Indic digit") << u"\u0661"_s << ParseStatus::NotANumber << 0;
        QTest::addRow("hexadecimal") << u"0x10"_s << ParseStatus::NotANumber << 0;
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(ParseStatus, status);
        QFETCH(int, value);
        const ParsedInt32 wide = parseInt32(QStringView(text));
        QCOMPARE(wide.status, status);
        QCOMPARE(wide.value, value);
        if (text.isEmpty() || text.front().unicode() < 0x80) {
            const QByteArray bytes = text.toLatin1();
            const ParsedInt32 narrow =
                parseInt32(std::string_view(bytes.constData(), std::size_t(bytes.size())));
            QCOMPARE(narrow.status, status);
            QCOMPARE(narrow.value, value);
        }
    }
};

QTEST_GUILESS_MAIN(TestParseInt)
#include "tst_parseint.moc"
