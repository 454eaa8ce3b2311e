#include "base/dialogs.h"
#include "base/error.h"
#include "common/fakedialogs.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestError : public QObject
{
    Q_OBJECT

private slots:
    void fullStopRule_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::addRow("letter gets a full stop") << u"Disk full"_s << u"Disk full."_s;
        QTest::addRow("digit") << u"Line: 3"_s << u"Line: 3."_s;
        QTest::addRow("closing quote sorts after the stop")
            << u"Invalid data type for 'Left'"_s << u"Invalid data type for 'Left'."_s;
        QTest::addRow("closing bracket")
            << u"List index out of bounds (5)"_s << u"List index out of bounds (5)."_s;
        QTest::addRow("already a full stop") << u"Done."_s << u"Done."_s;
        QTest::addRow("question mark") << u"Why?"_s << u"Why?"_s;
        QTest::addRow("exclamation") << u"Stop!"_s << u"Stop!"_s;
        QTest::addRow("colon") << u"Reason:"_s << u"Reason:"_s;
        QTest::addRow("trailing blank") << u"text "_s << u"text "_s;
        QTest::addRow("trailing line break") << u"text\r\n"_s << u"text\r\n"_s;
        QTest::addRow("non-ASCII letter") << u"Größe"_s << u"Größe."_s;
        QTest::addRow("letter with a combining accent") << u"cafe\u0301"_s << u"cafe\u0301."_s;
        QTest::addRow("character beyond 16 bits") << u"Smile \U0001F600"_s << u"Smile \U0001F600."_s;
        QTest::addRow("guillemet sorts after the stop") << u"Name «x»"_s << u"Name «x»."_s;
        QTest::addRow("empty") << QString() << QString();
        // Punctuation beyond ASCII sorts with its ASCII kin, so it gets no stop either.
        QTest::addRow("inverted question mark") << u"Ends in ¿"_s << u"Ends in ¿"_s;
        QTest::addRow("inverted exclamation mark") << u"Ends in ¡"_s << u"Ends in ¡"_s;
        QTest::addRow("em dash") << u"Wait —"_s << u"Wait —"_s;
        QTest::addRow("en dash") << u"Wait –"_s << u"Wait –"_s;
        QTest::addRow("fullwidth question mark") << u"なぜ？"_s << u"なぜ？"_s;
        QTest::addRow("fullwidth exclamation mark") << u"止まれ！"_s << u"止まれ！"_s;
        QTest::addRow("fullwidth full stop") << u"終わり．"_s << u"終わり．"_s;
        QTest::addRow("fullwidth colon") << u"理由："_s << u"理由："_s;
        QTest::addRow("ideographic comma") << u"一、"_s << u"一、"_s;
        QTest::addRow("ellipsis, like three stops") << u"Loading…"_s << u"Loading…"_s;
        QTest::addRow("no-break space") << u"text\u00A0"_s << u"text\u00A0"_s;
        QTest::addRow("tab") << u"text\t"_s << u"text\t"_s;
    }
    void fullStopRule()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(brindle::errorReportText(message), shown);
    }

    void messageOfKeepsExactText()
    {
        const brindle::Error e(u"'%1' is not a valid integer value"_s.arg(u"ä1"_s));
        QCOMPARE(brindle::messageOf(e), u"'ä1' is not a valid integer value"_s);
        const std::runtime_error plain("File access denied");
        QCOMPARE(brindle::messageOf(plain), u"File access denied"_s);
    }

    void guardedShowsTheReportOnce()
    {
        brindle::test::FakeDialogs fake;
        int after = 0;
        const bool ok = brindle::guarded(nullptr, [&] {
            throw brindle::Error(u"Invalid data type for 'Left'"_s);
            ++after;
        });
        QVERIFY(!ok);
        QCOMPARE(after, 0);
        QCOMPARE(fake.kinds(), QStringList{u"error"_s});
        QCOMPARE(fake.last().caption, u"Brindle"_s);
        QCOMPARE(fake.last().text, u"Invalid data type for 'Left'."_s);
        QVERIFY(brindle::guarded(nullptr, [] {}));
        QCOMPARE(fake.shown().size(), std::size_t(1));
    }

    void fileDialogRemembersNameAndAddsSuffix_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("chosen");
        QTest::addRow("no extension") << u"/tmp/shop"_s << u"/tmp/shop.wmp"_s;
        QTest::addRow("own extension kept") << u"/tmp/shop.xml"_s << u"/tmp/shop.xml"_s;
        QTest::addRow("dot in folder only") << u"/tmp/a.b/shop"_s << u"/tmp/a.b/shop.wmp"_s;
    }
    void fileDialogRemembersNameAndAddsSuffix()
    {
        QFETCH(QString, typed);
        QFETCH(QString, chosen);
        brindle::test::FakeDialogs fake;
        brindle::FileDialog dialog(
            {u"Save Meta Tags Profile"_s, u"Meta Tags Profile"_s, u"*.wmp"_s, u"wmp"_s, true});
        fake.chooseFile(typed);
        QCOMPARE(dialog.askSave(nullptr), std::optional<QString>(chosen));
        fake.cancelFile();
        QCOMPARE(dialog.askSave(nullptr), std::optional<QString>());
        QCOMPARE(fake.last().text, chosen); // offered again, also after a cancel
        QCOMPARE(dialog.lastFile(), chosen);
        QVERIFY2(fake.problems().isEmpty(), qPrintable(fake.problems()));
    }
};

QTEST_GUILESS_MAIN(TestError)
#include "tst_error.moc"
