// File > Import from Web Page... in the real main window, with scripted dialogs.

#include "common/fakedialogs.h"
#include "common/mainwindowfixture.h"
#include "common/testfiles.h"
#include "ui/mainwindow.h"
#include "widgets/imagebutton.h"
#include "widgets/tagchecklist.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brindle;
using brindle::ui::Tovalinform;

namespace {

struct Window : test::MainWindowFixture
{
    void importPage() { main.findChild<QAction *>(u"ImportfromWebPage1"_s)->trigger(); }
    QList<int> tickedRows() const
    {
        QList<int> rows;
        for (int row = 0; row < 16; ++row) {
            if (main.tagList()->IsRowChecked(row))
                rows << row;
        }
        return rows;
    }
};

const QByteArray kPage = "<!DOCTYPE html>\n<html><head>\n<title>Fish &amp; Chips</title>\n"
                         "<meta name=\"description\" content=\"Say &quot;hi&quot;\">\n"
                         "<meta name=\"robots\" content=\"noindex\">\n"
                         "<meta name=\"revisit-after\" content=\"30 days\">\n"
                         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\n"
                         "</head><body></body></html>\n";

} // namespace

class TestMainImport : public QObject
{
    Q_OBJECT

private slots:
    void menuItemAfterOpenProfile()
    {
        Window w;
        QStringList texts;
        for (QAction *action : w.main.findChild<QMenu *>(u"File1"_s)->actions())
            texts << (action->isSeparator() ? u"-"_s : action->text());
        QCOMPARE(texts, (QStringList{u"&New Profile"_s, u"&Open Profile"_s, u"&Import from Web Page..."_s,
                                     u"-"_s, u"&Save Profile"_s, u"Save Profile &As"_s, u"-"_s, u"E&xit"_s}));
    }

    void importFillsTheWindowAsANewModifiedProfile()
    {
        Window w;
        const QString page = w.path(u"page.html");
        QVERIFY(test::writeFile(page, kPage));
        w.fake.chooseFile(page);
        w.importPage();
        QCOMPARE(w.fake.kinds(), QStringList{u"open"_s});
        const FileDialogOptions &options = w.fake.last().options;
        QCOMPARE(options.title, u"Import from Web Page"_s);
        QCOMPARE(options.pattern, u"*.html *.htm *.xhtml"_s);

        QCOMPARE(w.edit(u"eTitle")->text(), u"Fish &amp; Chips"_s);
        QCOMPARE(w.edit(u"eDescription")->text(), u"Say \"hi\""_s);
        QCOMPARE(w.combo(u"cbRobots")->currentIndex(), -1); // typed text
        QCOMPARE(w.combo(u"cbRobots")->currentText(), u"noindex"_s);
        QCOMPARE(w.combo(u"cbRevisitAfter")->currentIndex(), 3);
        QCOMPARE(w.combo(u"cbCharset")->currentIndex(), 16);
        QCOMPARE(w.main.charsetCodeLabel()->text(), u"windows-1251"_s);
        QVERIFY(w.main.charsetResetButton()->isVisibleTo(&w.main));
        QCOMPARE(w.combo(u"cbDistribution")->currentText(), u"Global"_s); // not in the page: a new profile's
        QCOMPARE(w.tickedRows(), (QList<int>{1, 3, 10, 11, 14}));
        QCOMPARE(w.main.statusText(), u"Profile : Untitled"_s);
        QVERIFY(w.main.workflow().ProfileUntitled());

        // It counts as modified: closing asks first.
        w.fake.answerNo();
        QVERIFY(w.main.close());
        QCOMPARE(w.fake.kinds(), (QStringList{u"open"_s, u"confirm"_s}));
        QVERIFY2(w.fake.problems().isEmpty(), qPrintable(w.fake.problems()));
    }

    void cancelChangesNothing()
    {
        Window w;
        w.edit(u"eTitle")->setText(u"Kept"_s);
        w.main.tagList()->SetRowChecked(1, true);
        w.fake.answerNo();
        w.fake.cancelFile();
        w.importPage();
        QCOMPARE(w.fake.kinds(), (QStringList{u"confirm"_s, u"open"_s}));
        QCOMPARE(w.edit(u"eTitle")->text(), u"Kept"_s);
        QCOMPARE(w.tickedRows(), QList<int>{1});
        QVERIFY2(w.fake.problems().isEmpty(), qPrintable(w.fake.problems()));
    }

    // As with Open: the save prompt first, and Yes saves before the page is chosen.
    void modifiedProfileIsOfferedForSaving()
    {
        Window w;
        w.edit(u"eTitle")->setText(u"Home & garden"_s);
        w.edit(u"eDescription")->setText(u"Tips for small gardens"_s);
        for (int row : {1, 3, 14})
            w.main.tagList()->SetRowChecked(row, true);
        const QString page = w.path(u"page.html");
        QVERIFY(test::writeFile(page, kPage));
        w.fake.answerYes();
        w.fake.chooseFile(w.path(u"home.wmp"));
        w.fake.chooseFile(page);
        w.importPage();
        QCOMPARE(w.fake.kinds(), (QStringList{u"confirm"_s, u"save"_s, u"open"_s}));
        QCOMPARE(w.fake.shown().front().text, u"Do you want to save the changes to \"Untitled\" ?"_s);
        QCOMPARE(test::readFile(w.path(u"home.wmp")), test::kExampleProfile);
        QCOMPARE(w.edit(u"eTitle")->text(), u"Fish &amp; Chips"_s);
        QVERIFY2(w.fake.problems().isEmpty(), qPrintable(w.fake.problems()));
    }

    void brokenPageIsReportedAndChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::addRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
                                << u"contains NUL bytes: not a text page."_s;
        QTest::addRow("not decodable") << QByteArray("<head><title>\xe9t\xe9</title></head>")
                                       << u"is not UTF-8 and declares no charset."_s;
        QTest::addRow("no head") << QByteArray("Just text.") << u"has no head: not an HTML page."_s;
        QTest::addRow("missing") << QByteArray() << u"cannot be opened (No such file or directory)."_s;
    }
    void brokenPageIsReportedAndChangesNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        Window w;
        w.edit(u"eKeywords")->setText(u"kept"_s);
        w.main.tagList()->SetRowChecked(4, true);
        const QString page = w.path(u"broken.html");
        if (!bytes.isEmpty())
            QVERIFY(test::writeFile(page, bytes));
        w.fake.answerNo();
        w.fake.chooseFile(page);
        w.importPage();
        QCOMPARE(w.fake.kinds(), (QStringList{u"confirm"_s, u"open"_s, u"error"_s}));
        QCOMPARE(w.fake.last().text, page + u": "_s + reason);
        QCOMPARE(w.edit(u"eKeywords")->text(), u"kept"_s);
        QCOMPARE(w.tickedRows(), QList<int>{4});
        // Still the profile that was there: modified, so closing asks.
        w.fake.answerNo();
        QVERIFY(w.main.close());
        QCOMPARE(w.fake.kinds().last(), u"confirm"_s);
    }
};

QTEST_MAIN(TestMainImport)
#include "tst_mainimport.moc"
