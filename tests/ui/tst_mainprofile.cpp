// The profile flows driven through the real main window: its buttons, menu
// items and close box, with scripted dialogs.

#include "common/fakedialogs.h"
#include "common/mainwindowfixture.h"
#include "common/testfiles.h"
#include "tags/tagcatalogue.h"
#include "ui/mainwindow.h"
#include "ui/tagsviewer.h"
#include "widgets/imagebutton.h"
#include "widgets/tagchecklist.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using brindle::test::kExampleProfile;
using namespace brindle;
using brindle::ui::Tovalinform;

namespace {

struct Window : test::MainWindowFixture
{
    void click(const char16_t *button)
    {
        QTest::mouseClick(main.findChild<QAbstractButton *>(QString::fromUtf16(button)), Qt::LeftButton);
    }
    void trigger(const char16_t *action) { main.findChild<QAction *>(QString::fromUtf16(action))->trigger(); }
};

} // namespace

class TestMainProfile : public QObject
{
    Q_OBJECT

private slots:
    void saveWritesTheExampleFile()
    {
        Window w;
        w.edit(u"eTitle")->setText(u"Home & garden"_s);
        w.edit(u"eDescription")->setText(u"Tips for small gardens"_s);
        for (int row : {1, 3, 14})
            w.main.tagList()->SetRowChecked(row, true);
        w.fake.chooseFile(w.path(u"home"));
        w.click(u"btSave");
        QCOMPARE(brindle::test::readFile(w.path(u"home.wmp")), kExampleProfile);
        QCOMPARE(w.fake.last().options.title, u"Save Meta Tags Profile"_s);
        // An untitled profile stays untitled after Save; closing now asks nothing.
        QCOMPARE(w.main.statusText(), u"Profile : Untitled"_s);
        QVERIFY(w.main.close());
        QCOMPARE(w.fake.kinds(), QStringList{u"save"_s});
        QVERIFY2(w.fake.problems().isEmpty(), qPrintable(w.fake.problems()));
    }

    void openAppliesToTheInputs()
    {
        Window w;
        QByteArray file = kExampleProfile;
        file.replace("<tagname content=\"28\" isused=\"Y\"/>", "<tagname content=\"17\" isused=\"Y\"/>");
        QVERIFY(test::writeFile(w.path(u"shop.wmp"), file));
        w.fake.chooseFile(w.path(u"shop.wmp"));
        w.trigger(u"OpenProfile1");
        QCOMPARE(w.edit(u"eTitle")->text(), u"Home & garden"_s);
        QCOMPARE(w.combo(u"cbCharset")->currentText(), u"Greek (ISO)"_s);
        QCOMPARE(w.main.charsetCodeLabel()->text(), u"iso-8859-7"_s);
        QVERIFY(w.main.charsetResetButton()->isVisible());
        QVERIFY(w.main.tagList()->IsRowChecked(14));
        QCOMPARE(w.main.statusText(), u"Profile : shop"_s);
        QCOMPARE(w.fake.last().options.title, u"Open Meta Tags Profile"_s);

        // A change, then New: the prompt names the profile; Yes saves without a dialog.
        w.edit(u"eKeywords")->setText(u"plants"_s);
        w.fake.answerYes();
        w.click(u"btNew");
        QCOMPARE(w.fake.last().text, u"Do you want to save the changes to \"shop\" ?"_s);
        QVERIFY(brindle::test::readFile(w.path(u"shop.wmp")).contains("content=\"plants\""));
        QCOMPARE(w.main.statusText(), u"Profile : Untitled"_s);
        QCOMPARE(w.main.charsetCodeLabel()->text(), u"utf-8"_s);
        QVERIFY(!w.main.charsetResetButton()->isVisible());
        QCOMPARE(w.edit(u"eTitle")->text(), QString());
        QVERIFY2(w.fake.problems().isEmpty(), qPrintable(w.fake.problems()));
    }

    void closeAsksOnlyAfterARealChange()
    {
        Window w;
        w.edit(u"eOwner")->setText(u"me"_s);
        w.edit(u"eOwner")->clear();
        w.main.tagList()->SetRowChecked(5, true);
        w.main.tagList()->SetRowChecked(5, false);
        QVERIFY(w.main.close());
        QVERIFY(w.fake.shown().empty());
    }

    void closeYesWithCancelledDialogKeepsTheWindowOpen()
    {
        Window w;
        w.edit(u"eAuthor")->setText(u"Ann"_s);
        w.fake.answerYes();
        w.fake.cancelFile();
        QVERIFY(!w.main.close());
        QVERIFY(w.main.isVisible());
        QCOMPARE(w.fake.kinds(), (QStringList{u"confirm"_s, u"save"_s}));
        QCOMPARE(w.fake.shown().front().text, u"Do you want to save the changes to \"Untitled\" ?"_s);
        // No ends the program without writing.
        w.fake.answerNo();
        QVERIFY(w.main.close());
        QVERIFY2(w.fake.problems().isEmpty(), qPrintable(w.fake.problems()));
    }

    void failedWriteIsReportedAndChangesNothing()
    {
        Window w;
        QVERIFY(test::writeFile(w.path(u"a.wmp"), kExampleProfile));
        w.fake.chooseFile(w.path(u"a.wmp"));
        w.click(u"btOpen");
        w.edit(u"eTitle")->setText(u"changed"_s);
        // Save Profile As into a folder that does not exist (root may write anywhere else).
        w.fake.chooseFile(w.path(u"missing/b.wmp"));
        w.trigger(u"SaveProfileAs1");
        QCOMPARE(w.fake.kinds(), (QStringList{u"open"_s, u"save"_s, u"error"_s}));
        QVERIFY(w.fake.last().text.endsWith(u'.'));
        QCOMPARE(w.main.statusText(), u"Profile : a"_s);
        QCOMPARE(w.main.workflow().ProfilePath(), w.path(u"a.wmp"));
        QCOMPARE(brindle::test::readFile(w.path(u"a.wmp")), kExampleProfile);
        QCOMPARE(w.edit(u"eTitle")->text(), u"changed"_s);
        QVERIFY2(w.fake.problems().isEmpty(), qPrintable(w.fake.problems()));
    }

    void loadedTextLongerThanTheLimitIsShownWhole_data()
    {
        QTest::addColumn<int>("tagIndex");
        QTest::addColumn<QString>("name");
        QTest::addRow("title") << 0 << u"eTitle"_s;
        QTest::addRow("description") << 1 << u"eDescription"_s;
        QTest::addRow("owner") << 5 << u"eOwner"_s;
    }
    void loadedTextLongerThanTheLimitIsShownWhole()
    {
        QFETCH(int, tagIndex);
        QFETCH(QString, name);
        const int limit = tags::tagInfo(tagIndex).maxLength;
        QString text;
        for (int i = 0; text.size() < limit + 30; ++i)
            text += QString::number(i % 10);
        Window w;
        // A new profile's entries, with the long text in its place.
        const char *const entries[] = {"", "", "", "", "", "", "0", "0", "1", "0", "0", "28", "28"};
        QByteArray file = "<OvalinBrindleProfile Author=\"OvalinBrindle\">";
        for (int t = 0; t < tags::kTagCount; ++t) {
            const QByteArray content = t == tagIndex ? text.toUtf8() : QByteArray(entries[t]);
            file += "<tagname content=\"" + content + "\" isused=\"N\"/>";
        }
        file += "</OvalinBrindleProfile>";
        QVERIFY(test::writeFile(w.path(u"long.wmp"), file));
        w.fake.chooseFile(w.path(u"long.wmp"));
        w.click(u"btOpen");
        QLineEdit *edit = w.main.findChild<QLineEdit *>(name);
        QCOMPARE(edit->text(), text);
        QVERIFY(!w.main.workflow().TestModified());

        // Editing keeps the rest, and the text cannot grow while it is over the limit.
        edit->setFocus();
        edit->setCursorPosition(5);
        QTest::keyClick(edit, Qt::Key_Delete);
        QCOMPARE(edit->text(), text.left(5) + text.mid(6));
        QCOMPARE(edit->cursorPosition(), 5);
        QTest::keyClick(edit, Qt::Key_X);
        QCOMPARE(edit->text(), text.left(5) + text.mid(6));
        // Back under the limit, typing works up to the limit again.
        edit->setText(text.left(limit - 1));
        QTest::keyClicks(edit, u"ab"_s);
        QCOMPARE(edit->text(), text.left(limit - 1) + u'a');
        QVERIFY2(w.fake.problems().isEmpty(), qPrintable(w.fake.problems()));
    }

    // Text typed into a choice input is saved with the profile and shown
    // again as typed when it is opened.
    void typedChoiceTextsSurviveSaveAndOpen_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("typed");
        QTest::addRow("robots") << u"cbRobots"_s << u"noindex, nofollow"_s;
        QTest::addRow("rating") << u"cbRating"_s << u"Family"_s;
        QTest::addRow("charset") << u"cbCharset"_s << u"windows-1252"_s;
        QTest::addRow("cache-control") << u"cbCacheControl"_s << u"max-age=600"_s;
    }
    void typedChoiceTextsSurviveSaveAndOpen()
    {
        QFETCH(QString, input);
        QFETCH(QString, typed);
        Window w;
        auto *combo = w.main.findChild<QComboBox *>(input);
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), typed);
        QCOMPARE(combo->currentText(), typed);
        QCOMPARE(combo->currentIndex(), -1);
        w.fake.chooseFile(w.path(u"r.wmp"));
        w.trigger(u"SaveProfileAs1");
        QVERIFY(brindle::test::readFile(w.path(u"r.wmp")).contains("content=\"-1\" isused=\"N\" text=\""));
        combo->setCurrentIndex(1);
        w.fake.answerNo();
        w.fake.chooseFile(w.path(u"r.wmp"));
        w.click(u"btOpen");
        QCOMPARE(combo->currentText(), typed);
        QCOMPARE(combo->currentIndex(), -1);
        QCOMPARE(w.main.statusText(), u"Profile : r"_s);
        // Opened as saved: closing asks nothing.
        QVERIFY(w.main.close());
        QCOMPARE(w.fake.kinds(), (QStringList{u"save"_s, u"confirm"_s, u"open"_s}));
        QVERIFY2(w.fake.problems().isEmpty(), qPrintable(w.fake.problems()));
    }
};

QTEST_MAIN(TestMainProfile)
#include "tst_mainprofile.moc"
