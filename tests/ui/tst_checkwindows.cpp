#include "app/appwindows.h"
#include "check/textmeasure.h"
#include "common/fakedialogs.h"
#include "ui/checkwindow.h"
#include "ui/hintpopup.h"
#include "ui/mainwindow.h"
#include "ui/searchpreviewwindow.h"
#include "ui/taginputs.h"
#include "ui/tagsviewer.h"
#include "ui/toolwindow.h"
#include "widgets/tagchecklist.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;
using namespace brindle;

namespace {

QStringList column(const QTreeWidget *list, int col)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(col);
    return texts;
}

// The main window with its windows as the program makes them.
struct Program
{
    test::FakeDialogs fake;
    std::unique_ptr<ui::Tovalinform> main = app::createWindows();

    Program()
    {
        main->move(40, 40);
        main->show();
        if (!QTest::qWaitForWindowExposed(main.get()))
            qFatal("main window not shown");
    }
    QLineEdit *edit(int tag) const { return static_cast<QLineEdit *>(main->input(tag)); }
    QComboBox *combo(int tag) const { return static_cast<QComboBox *>(main->input(tag)); }
    void tick(int tag, bool on = true) { main->tagList()->SetRowChecked(tags::listRowOfTag(tag), on); }
    QAction *menuItem(const QString &name) const
    {
        auto *menu = app::windows().fview->findChild<QMenu *>(u"popht"_s);
        return menu ? menu->findChild<QAction *>(name) : nullptr;
    }
};

} // namespace

class TestCheckWindows : public QObject
{
    Q_OBJECT

private slots:
    // Where a window beside the main window goes: right, else left, else
    // below; on the main window's screen, clear of the main window and of
    // the others already there, as far as the screen allows.
    void besidePosition_data()
    {
        QTest::addColumn<QRect>("main");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QList<QRect>>("others");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QPoint>("expected");
        const QRect screen(0, 0, 1280, 1024);
        QTest::addRow("right") << QRect(0, 0, 600, 500) << QSize(400, 300) << QList<QRect>{} << screen
                               << QPoint(600, 0);
        QTest::addRow("right, moved up to stay on the screen")
            << QRect(0, 900, 600, 100) << QSize(400, 300) << QList<QRect>{} << screen << QPoint(600, 724);
        QTest::addRow("left when the right is short")
            << QRect(700, 100, 500, 400) << QSize(400, 300) << QList<QRect>{} << screen << QPoint(300, 100);
        QTest::addRow("below when neither side has room")
            << QRect(0, 0, 682, 522) << QSize(634, 132) << QList<QRect>{} << screen << QPoint(0, 522);
        QTest::addRow("right, below another one there")
            << QRect(0, 0, 600, 500) << QSize(400, 300) << QList<QRect>{QRect(600, 0, 400, 300)} << screen
            << QPoint(600, 300);
        QTest::addRow("below, beside another one there")
            << QRect(0, 0, 682, 522) << QSize(620, 200) << QList<QRect>{QRect(0, 522, 634, 132)} << screen
            << QPoint(634, 522);
        QTest::addRow("below, under another one there")
            << QRect(0, 0, 682, 522) << QSize(762, 254) << QList<QRect>{QRect(0, 522, 634, 132)} << screen
            << QPoint(0, 654);
        QTest::addRow("on the main window's own screen")
            << QRect(1280, 0, 682, 522) << QSize(634, 132) << QList<QRect>{} << QRect(1280, 0, 1920, 1080)
            << QPoint(1962, 0);
        // No room anywhere: on the screen, over as little of the main window as can be.
        QTest::addRow("no room: the least covered")
            << QRect(100, 100, 1080, 824) << QSize(300, 200) << QList<QRect>{} << screen << QPoint(100, 824);
    }
    void besidePosition()
    {
        QFETCH(QRect, main);
        QFETCH(QSize, size);
        QFETCH(QList<QRect>, others);
        QFETCH(QRect, area);
        QFETCH(QPoint, expected);
        const QPoint at = ui::besidePosition(main, size, area, others);
        QCOMPARE(at, expected);
        QVERIFY(area.contains(QRect(at, size)));
    }

    void widthsAgreeWithQt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pixelSize");
        const QStringList texts = {
            u"Home Page"_s,
            u"AVATAR To Wa Yo Te, kerned pairs"_s,
            u"Fish & Chips | Best in Town, since 1972 \u2014 open every day from 11 am to late"_s,
            u"Zo\u00eb's caf\u00e9 \u2013 \u201cquoted\u201d r\u00e9sum\u00e9 na\u00efve \u00fcber \u00df"_s,
            QString(70, u'W'),
            QString(250, u'i'),
            u"The Description Meta Tag should contain a coherent description of the page, and should contain "
            u"words that are located within the page content. This tag tells search engines the description."_s,
            // Drawn in fallback fonts, which the checker measures the same way.
            u"家居与园艺：小花园和阳台的实用建议"_s,
            u"집과 정원: 작은 정원과 발코니를 위한 팁"_s,
            u"บ้านและสวน: เคล็ดลับสำหรับสวนขนาดเล็ก"_s,
        };
        for (int size : {check::kTitlePixelSize, check::kDescriptionPixelSize}) {
            for (const QString &text : texts)
                QTest::addRow("%d px: %s", size, qPrintable(text.left(24))) << text << size;
        }
    }
    void widthsAgreeWithQt()
    {
        QFETCH(QString, text);
        QFETCH(int, pixelSize);
        QFont font(QString::fromUtf16(check::kMeasureFamily));
        font.setPixelSize(pixelSize);
        QCOMPARE(QFontInfo(font).family(), QString::fromUtf16(check::kMeasureFamily));
        const double qt = QFontMetricsF(font).horizontalAdvance(text);
        const double ours = check::FontMeasure::liberationSans().width(text, pixelSize);
        QVERIFY2(qAbs(qt - ours) <= 2.0, qPrintable(u"Qt %1 px, checker %2 px"_s.arg(qt).arg(ours)));
    }

    void hintShowsTheLengthWhileTyping()
    {
        QWidget main;
        main.setGeometry(100, 100, 700, 500);
        QLineEdit title(&main), description(&main), keywords(&main);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        ui::Thintf hint(&main);
        hint.setMeasuredInputs(&title, &description);
        title.setText(u"Home Page"_s);

        hint.showHint(1, &main);
        QCOMPARE(hint.size(), QSize(515, 111));
        QCOMPARE(hint.lengthText(), u"Length: 9 characters, 106 of about 600 px a search result shows."_s);
        auto *line = hint.findChild<QLabel *>(u"lengthLabel"_s);
        QVERIFY(line->isVisible());
        // Below the hint text, inside the frame.
        QVERIFY(line->geometry().top() >= hint.findChild<QLabel *>(u"lbhint"_s)->geometry().bottom());
        QVERIFY(line->geometry().bottom() < hint.height() - 1);

        // Typing while the popup is open.
        title.setText(u"Fish and Chips in Leeds: fresh fish, hand-cut chips and mushy peas, daily"_s);
        QCOMPARE(hint.lengthText(),
                 u"Length: 73 characters, 652 of about 600 px a search result shows: too long."_s);

        hint.showHint(3, &main);
        QCOMPARE(hint.captionText(), u"Description"_s);
        QCOMPARE(
            hint.lengthText(),
            u"Length: 0 characters, 0 of about 920 px a search result shows: too short (50 characters at "
            u"least)."_s);
        QVERIFY(line->sizeHint().width() <= line->width());
        description.setText(QString(60, u'a'));
        QCOMPARE(hint.lengthText(), u"Length: 60 characters, 467 of about 920 px a search result shows."_s);
        // The longest line there can be still fits.
        description.setText(QString(250, u'W'));
        QVERIFY(hint.lengthText().endsWith(u"too long."_s));
        QVERIFY(line->sizeHint().width() <= line->width());

        // Tags without a length keep the popup's own size.
        hint.showHint(4, &main);
        QCOMPARE(hint.size(), QSize(515, 95));
        QCOMPARE(hint.lengthText(), QString());
        QVERIFY(!line->isVisible());
        hint.hide();
    }

    void viewerMenuEndsWithPreviewAndCheck()
    {
        Program p;
        auto *menu = app::windows().fview->findChild<QMenu *>(u"popht"_s);
        QStringList texts;
        for (const QAction *action : menu->actions())
            texts << (action->isSeparator() ? u"-"_s : action->text());
        QCOMPARE(texts, (QStringList{u"Copy &Selected"_s, u"-"_s, u"Copy &All"_s, u"-"_s, u"Search Preview"_s,
                                     u"Check"_s}));
        // Neither window is made before it is asked for.
        QVERIFY(!app::windows().searchPreview && !app::windows().checkWindow);
    }

    void previewFollowsTheInputs()
    {
        Program p;
        p.edit(tags::Title)->setText(u"Fish & Chips"_s);
        p.edit(tags::Description)->setText(u"Fresh fish and hand-cut chips, fried to order."_s);
        p.edit(tags::Owner)->setText(u"https://fish.example.org/leeds/"_s);
        p.tick(tags::Title);
        p.tick(tags::Description);
        p.menuItem(u"SearchPreview1"_s)->trigger();
        ui::SearchPreviewWindow *preview = app::windows().searchPreview;
        QVERIFY(preview && preview->isVisible());
        QCOMPARE(preview->windowTitle(), u"Search Preview"_s);
        QCOMPARE(preview->titleText(), u"Fish & Chips"_s);
        QCOMPARE(preview->addressText(), u"https://fish.example.org › leeds"_s);
        QCOMPARE(preview->descriptionText(), u"Fresh fish and hand-cut chips, fried to order."_s);
        // Beside the main window, not over its inputs.
        QVERIFY(!preview->frameGeometry().intersects(p.main->frameGeometry()) ||
                preview->frameGeometry().width() + p.main->frameGeometry().width() >
                    QApplication::primaryScreen()->availableGeometry().width());

        // Typing: a title too wide for the result is cut with an ellipsis.
        p.edit(tags::Title)
            ->setText(u"Fish and Chips in Leeds: fresh fish, hand-cut chips and mushy peas, daily"_s);
        QVERIFY(preview->titleText().endsWith(u'\u2026'));
        QVERIFY(
            preview->titleText().startsWith(u"Fish and Chips in Leeds: fresh fish, hand-cut chips and"_s));
        QFont titleFont(QString::fromUtf16(check::kMeasureFamily));
        titleFont.setPixelSize(check::kTitlePixelSize);
        QVERIFY(QFontMetricsF(titleFont).horizontalAdvance(preview->titleText()) <= check::kTitleMaxPixels);

        // The owner is a name, the description unticked, the title unticked.
        p.edit(tags::Owner)->setText(u"Jane Doe"_s);
        QCOMPARE(preview->addressText(), u"example.com"_s);
        p.tick(tags::Description, false);
        QVERIFY(preview->descriptionText().startsWith(u"No description"_s));
        p.tick(tags::Title, false);
        QCOMPARE(preview->titleText(), u"Untitled Document"_s);

        // Closed, it follows nothing; shown again, it is up to date and where it was.
        const QPoint at = preview->pos();
        preview->close();
        p.tick(tags::Title);
        QCOMPARE(preview->titleText(), u"Untitled Document"_s);
        p.menuItem(u"SearchPreview1"_s)->trigger();
        QCOMPARE(app::windows().searchPreview, preview);
        QVERIFY(preview->titleText().startsWith(u"Fish and Chips"_s));
        QCOMPARE(preview->pos(), at);
    }

    void checkListsTheFindings()
    {
        Program p;
        p.edit(tags::Title)->setText(u"Fish & Chips"_s);
        p.tick(tags::Title);
        p.tick(tags::Keywords); // empty: no line, as "For HTML" would leave it out
        p.tick(tags::ContentLanguage);
        p.menuItem(u"Check1"_s)->trigger();
        ui::CheckWindow *check = app::windows().checkWindow;
        QVERIFY(check && check->isVisible());
        QCOMPARE(check->windowTitle(), u"Check"_s);
        const QTreeWidget *list = check->list();
        QCOMPARE(column(list, 3), (QStringList{u"description-missing"_s, u"content-language-tag"_s}));
        QCOMPARE(column(list, 0), (QStringList{u"warning"_s, u"info"_s}));
        QCOMPARE(column(list, 1), (QStringList{QString(), u"2"_s})); // the viewer's second line
        QVERIFY(column(list, 2)[1].contains(u"\"en\""_s));

        // It follows the inputs: a description, a charset that does not fit the text.
        p.edit(tags::Description)
            ->setText(u"Fresh fish and hand-cut chips, fried to order every day of the week."_s);
        p.tick(tags::Description);
        p.combo(tags::ContentLanguage)->setEditText(u"en-GB"_s);
        p.edit(tags::Title)->setText(u"Zo\u00eb's Fish & Chips"_s);
        p.combo(tags::Charset)->setCurrentIndex(30); // iso-8859-1
        p.tick(tags::Charset);
        QCOMPARE(column(list, 3), QStringList{u"charset-mismatch"_s});

        p.combo(tags::Charset)->setCurrentIndex(28); // utf-8
        QCOMPARE(column(list, 2), QStringList{u"No findings."_s});

        // A charset the tags would refuse is checked as typed.
        p.combo(tags::Charset)->setCurrentIndex(-1);
        p.combo(tags::Charset)->setEditText(u"x-foo"_s);
        QCOMPARE(column(list, 3), QStringList{u"charset-unknown"_s});
    }
};

QTEST_MAIN(TestCheckWindows)
#include "tst_checkwindows.moc"
