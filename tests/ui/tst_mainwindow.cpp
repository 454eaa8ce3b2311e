#include "common/clirun.h"
#include "common/fakedialogs.h"
#include "common/modal.h"
#include "common/testfiles.h"
#include "tags/metataggenerator.h"
#include "tags/tagcatalogue.h"
#include "ui/aboutbox.h"
#include "ui/hintpopup.h"
#include "ui/mainwindow.h"
#include "ui/pagebuilderwindow.h"
#include "ui/tagsviewer.h"
#include "widgets/fadinglinklabel.h"
#include "widgets/imagebutton.h"
#include "widgets/tagchecklist.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;
using brindle::test::onNextModal;
using namespace brindle;
using brindle::ui::Tfview;
using brindle::ui::Tovalinform;

namespace {

struct Window
{
    test::FakeDialogs fake;
    Tovalinform main;
    Tfview viewer{&main};

    Window()
    {
        main.setViewer(&viewer);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
    }
    QLineEdit *edit(const char16_t *name) { return main.findChild<QLineEdit *>(QString::fromUtf16(name)); }
    QComboBox *combo(const char16_t *name) { return main.findChild<QComboBox *>(QString::fromUtf16(name)); }
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void layout()
    {
        Window w;
        QCOMPARE(w.main.windowTitle(), u"Ovalin Brindle"_s);
        QCOMPARE(w.main.centralWidget()->size(), QSize(680, 485));
        QVERIFY(!(w.main.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(w.main.statusText(), u"Profile : Untitled"_s);
        const QWidget *title = w.edit(u"eTitle");
        QCOMPARE(title->geometry(), QRect(143, 26, 490, 19));
        QCOMPARE(w.combo(u"cbContentLanguage")->geometry(), QRect(143, 362, 186, 21));
        QCOMPARE(w.combo(u"cbContentLanguage")->currentText(), u"English"_s);
        QCOMPARE(w.combo(u"cbRevisitAfter")->currentText(), u"7 days"_s);
        QCOMPARE(w.edit(u"eDescription")->maxLength(), 250);
        QCOMPARE(w.main.findChild<QWidget *>(u"btHintChars"_s)->geometry(), QRect(335, 339, 20, 20));
        QCOMPARE(w.main.tagList()->Count(), 16);
    }

    void enterChain()
    {
        Window w;
        const QStringList order = {u"eTitle"_s,
                                   u"eDescription"_s,
                                   u"eKeywords"_s,
                                   u"eAuthor"_s,
                                   u"eCopyright"_s,
                                   u"eOwner"_s,
                                   u"cbDistribution"_s,
                                   u"cbRating"_s,
                                   u"cbRevisitAfter"_s,
                                   u"cbRobots"_s,
                                   u"cbCacheControl"_s,
                                   u"cbCharset"_s,
                                   u"cbContentLanguage"_s,
                                   u"eTitle"_s};
        QWidget *first = w.main.findChild<QWidget *>(order.first());
        first->setFocus();
        for (qsizetype i = 1; i < order.size(); ++i) {
            QWidget *focused = QApplication::focusWidget();
            QTest::keyClick(focused, Qt::Key_Return);
            QWidget *now = QApplication::focusWidget();
            QWidget *expected = w.main.findChild<QWidget *>(order.at(i));
            QVERIFY2(now == expected || now->parentWidget() == expected || expected->isAncestorOf(now),
                     qPrintable(order.at(i)));
        }
        QCOMPARE(w.edit(u"eTitle")->text(), QString()); // nothing inserted
    }

    void focusHighlightsRowWithoutTicking()
    {
        Window w;
        w.combo(u"cbCharset")->setFocus();
        QCOMPARE(w.main.tagList()->ItemIndex(), 14);
        QVERIFY(!w.main.tagList()->IsRowChecked(14));
        w.edit(u"eKeywords")->setFocus();
        QCOMPARE(w.main.tagList()->ItemIndex(), 4);
        QCOMPARE(w.main.tagList()->CountCheckedRows(), 0);
    }

    void charsetLabelAndReset()
    {
        Window w;
        QComboBox *charset = w.combo(u"cbCharset");
        QCOMPARE(w.main.charsetCodeLabel()->text(), u"utf-8"_s);
        QVERIFY(!w.main.charsetResetButton()->isVisible());
        charset->setCurrentIndex(charset->findText(u"Arabic (DOS)"_s));
        QCOMPARE(w.main.charsetCodeLabel()->text(), u"DOS-720"_s);
        QVERIFY(w.main.charsetResetButton()->isVisible());
        QTest::mouseClick(w.main.charsetResetButton(), Qt::LeftButton);
        QCOMPARE(charset->currentText(), u"Unicode (UTF-8)"_s);
        QCOMPARE(w.main.charsetCodeLabel()->text(), u"utf-8"_s);
        QVERIFY(!w.main.charsetResetButton()->isVisible());
    }

    // For text that selects no item, the label shows at once the charset
    // the tags will name, or that they will not be made.
    void charsetLabelForTypedText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<bool>("refused");
        QTest::addRow("label") << u"windows-1252"_s << u"windows-1252"_s << QString() << false;
        QTest::addRow("label of another name")
            << u"latin1"_s << u"latin1"_s << u"Browsers read latin1 as windows-1252."_s << false;
        const QString choose = u": choose one of the list or type a charset name browsers know, such as "
                               u"windows-1252."_s;
        QTest::addRow("unknown") << u"zzz"_s << u"unknown charset"_s << u"Unknown charset \"zzz\""_s + choose
                                 << true;
        QTest::addRow("emptied") << QString() << u"no charset"_s << u"No charset given"_s + choose << true;
    }
    void charsetLabelForTypedText()
    {
        QFETCH(QString, typed);
        QFETCH(QString, label);
        QFETCH(QString, toolTip);
        QFETCH(bool, refused);
        Window w;
        QComboBox *charset = w.combo(u"cbCharset");
        QLabel *code = w.main.charsetCodeLabel();
        const QColor normal = code->palette().color(QPalette::WindowText);
        charset->lineEdit()->selectAll();
        if (typed.isEmpty())
            QTest::keyClick(charset->lineEdit(), Qt::Key_Delete);
        else
            QTest::keyClicks(charset->lineEdit(), typed);
        QCOMPARE(charset->currentIndex(), -1);
        QCOMPARE(code->text(), label);
        QCOMPARE(code->toolTip(), toolTip);
        QCOMPARE(code->palette().color(QPalette::WindowText) != normal, refused);
        QVERIFY(w.main.charsetResetButton()->isVisible());
        // The reset brings the code and its colour back.
        QTest::mouseClick(w.main.charsetResetButton(), Qt::LeftButton);
        QCOMPARE(code->text(), u"utf-8"_s);
        QCOMPARE(code->palette().color(QPalette::WindowText), normal);
    }

    // A charset the tags cannot name stops "For HTML" with the message; a
    // typed label is written.
    void typedCharsetInTheTags_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("error"); // empty: the viewer shows the line
        QTest::addRow("label") << u"windows-1252"_s << QString();
        QTest::addRow("unknown")
            << u"x-mac-unknown"_s
            << u"Unknown charset \"x-mac-unknown\": choose one of the list or type a charset "
               u"name browsers know, such as windows-1252."_s;
    }
    void typedCharsetInTheTags()
    {
        QFETCH(QString, typed);
        QFETCH(QString, error);
        Window w;
        QComboBox *charset = w.combo(u"cbCharset");
        charset->lineEdit()->selectAll();
        QTest::keyClicks(charset->lineEdit(), typed);
        w.main.tagList()->SetRowChecked(14, true);
        if (!error.isEmpty()) {
            guarded(&w.main, [&] { w.main.CreateTags(tags::TagMode::Html); });
            QCOMPARE(w.fake.kinds(), QStringList{u"error"_s});
            QCOMPARE(w.fake.last().text, error);
            QVERIFY(!w.viewer.isVisible());
            return;
        }
        QString shown;
        onNextModal([&](QWidget *) { shown = w.viewer.text(); });
        w.main.CreateTags(tags::TagMode::Html);
        QCOMPARE(shown,
                 u"<meta http-equiv=\"content-type\" content=\"text/html; charset=%1\">\r\n"_s.arg(typed));
        QVERIFY2(w.fake.problems().isEmpty(), qPrintable(w.fake.problems()));
    }

    void selectBasicOnlyAfterSelectAll()
    {
        Window w;
        w.main.SelectAll1Click();
        QCOMPARE(w.main.tagList()->CountCheckedRows(), 13);
        w.main.SelectBasicOnly1Click();
        QList<int> ticked;
        for (int row = 0; row < 16; ++row) {
            if (w.main.tagList()->IsRowChecked(row))
                ticked << row;
        }
        QCOMPARE(ticked, (QList<int>{1, 3, 4, 10, 11, 14, 15}));
        w.main.DeselectAll1Click();
        QCOMPARE(w.main.tagList()->CountCheckedRows(), 0);
    }

    void createTagsHomePageExample_data()
    {
        QTest::addColumn<tags::TagMode>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("pageMode");
        QTest::addRow("HTML")
            << tags::TagMode::Html
            << u"<title>Home Page</title>\r\n"
               "<meta name=\"description\" content=\"Fish & Chips\">\r\n"
               "<meta name=\"robots\" content=\"index,follow\">\r\n"
               "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">\r\n"_s
            << u"Meta Tags For HTML Documents"_s << 1;
        QTest::addRow("XHTML")
            << tags::TagMode::Xhtml
            << u"<title>Home Page</title>\r\n"
               "<meta name=\"description\" content=\"Fish & Chips\" />\r\n"
               "<meta name=\"robots\" content=\"index,follow\" />\r\n"
               "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\" />\r\n"_s
            << u"Meta Tags For XHTML Documents"_s << 2;
    }
    void createTagsHomePageExample()
    {
        QFETCH(tags::TagMode, mode);
        Window w;
        w.edit(u"eTitle")->setText(u"Home Page"_s);
        w.edit(u"eDescription")->setText(u"Fish & Chips"_s);
        for (int row : {1, 3, 4, 11, 14})
            w.main.tagList()->SetRowChecked(row, true);
        QString shownText, shownPlain;
        bool wasModal = false;
        onNextModal([&](QWidget *modal) {
            wasModal = modal == &w.viewer;
            shownText = w.viewer.text();
            shownPlain = w.viewer.textArea()->toPlainText();
        });
        w.main.CreateTags(mode);
        QVERIFY(wasModal);
        QTEST(shownText, "text");
        QCOMPARE(shownPlain, QString(shownText).replace(u"\r\n"_s, u"\n"_s));
        QTEST(w.viewer.windowTitle(), "caption");
        QTEST(w.viewer.pageMode(), "pageMode");
        QVERIFY(!w.main.tagList()->IsRowChecked(4));
        QVERIFY(w.main.tagList()->IsRowChecked(3));
        QVERIFY(w.fake.shown().empty());
    }

    void noticeWhenNothingTicked()
    {
        Window w;
        w.main.tagList()->SetRowChecked(1, true); // Title, but empty: unticked first
        w.main.CreateTags(tags::TagMode::Xhtml);
        QCOMPARE(w.fake.kinds(), QStringList{u"information"_s});
        QCOMPARE(w.fake.last().caption, u"Information"_s);
        QCOMPARE(w.fake.last().text, u"Plese select tag(s) to be used!"_s);
        QVERIFY(!w.viewer.isVisible());
        QVERIFY(!w.main.tagList()->IsRowChecked(1));
        QCOMPARE(w.viewer.windowTitle(), u"Meta Tags For XHTML Documents"_s);
        QCOMPARE(w.viewer.text(), QString());
    }

    void copyAllLeavesCaretAtStart()
    {
        test::FakeDialogs fake;
        Tfview viewer;
        viewer.appendLine(u"<title>Grüße</title>"_s);
        viewer.appendLine(u"<meta name=\"a\" content=\"b\">"_s);
        viewer.ColorizeTags();
        QApplication::clipboard()->clear();
        viewer.CopyAll1Click();
        QTextCursor cursor = viewer.textArea()->textCursor();
        QCOMPARE(cursor.position(), 0);
        QVERIFY(!cursor.hasSelection());
        const QMimeData *mime = QApplication::clipboard()->mimeData();
        QVERIFY(mime);
        QCOMPARE(mime->text(), viewer.text());
        for (const QString &type : {u"text/rtf"_s, u"text/richtext"_s, u"application/rtf"_s}) {
            const QByteArray rtf = mime->data(type);
            QVERIFY2(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252"), qPrintable(type));
            QVERIFY(rtf.contains("\\cf"));
            QVERIFY(rtf.contains("Gr\\u252?\\u223?e"));
        }
    }

    void everyWayOfCopyingGivesTheButtonsForms_data()
    {
        QTest::addColumn<QList<QKeyCombination>>("keys");
        QTest::addColumn<bool>("whole");
        QTest::addRow("Ctrl+C") << QList<QKeyCombination>{Qt::ControlModifier | Qt::Key_C} << false;
        QTest::addRow("Ctrl+Insert") << QList<QKeyCombination>{Qt::ControlModifier | Qt::Key_Insert} << false;
        QTest::addRow("Ctrl+A then Ctrl+C")
            << QList<QKeyCombination>{Qt::ControlModifier | Qt::Key_A, Qt::ControlModifier | Qt::Key_C}
            << true;
    }
    void everyWayOfCopyingGivesTheButtonsForms()
    {
        QFETCH(QList<QKeyCombination>, keys);
        QFETCH(bool, whole);
        test::FakeDialogs fake;
        Tfview viewer;
        viewer.appendLine(u"<title>Grüße</title>"_s);
        viewer.appendLine(u"<meta name=\"a\" content=\"b\">"_s);
        viewer.ColorizeTags();
        viewer.show();
        QVERIFY(QTest::qWaitForWindowActive(&viewer));
        QTextEdit *area = viewer.textArea();
        area->setFocus();
        // From inside the first line to just before the last ">".
        QTextCursor cursor = area->textCursor();
        cursor.setPosition(7);
        cursor.setPosition(int(area->toPlainText().lastIndexOf(u'>')), QTextCursor::KeepAnchor);
        area->setTextCursor(cursor);

        // What the buttons give: Copy All, or the menu's Copy Selected.
        QApplication::clipboard()->clear();
        if (whole)
            viewer.CopyAll1Click();
        else
            viewer.Copy1Click();
        const QMimeData *byButton = QApplication::clipboard()->mimeData();
        QVERIFY(byButton);
        const QString expectedText = byButton->text();
        const QByteArray expectedRtf = byButton->data(u"text/rtf"_s);
        QCOMPARE(expectedText, whole ? viewer.text() : u"Grüße</title>\r\n<meta name=\"a\" content=\"b\""_s);
        QVERIFY(expectedRtf.contains("\\par"));
        area->setTextCursor(cursor);

        QApplication::clipboard()->clear();
        for (const QKeyCombination key : keys)
            QTest::keyClick(area, key.key(), key.keyboardModifiers());
        const QMimeData *mime = QApplication::clipboard()->mimeData();
        QVERIFY(mime);
        QStringList formats = mime->formats();
        formats.sort();
        QCOMPARE(formats,
                 (QStringList{u"application/rtf"_s, u"text/plain"_s, u"text/richtext"_s, u"text/rtf"_s}));
        QCOMPARE(mime->text(), expectedText);
        for (const QString &type : {u"text/rtf"_s, u"text/richtext"_s, u"application/rtf"_s})
            QCOMPARE(mime->data(type), expectedRtf);
    }

    // What leaves the viewer is what brindle-cli prints for the same
    // profile, whatever the values hold; the colouring drops a line feed
    // inside a value from what the viewer shows.
    void everyWayOutCarriesTheCliCharacters_data()
    {
        QTest::addColumn<QStringList>("options"); // of brindle-cli tags: values and --use
        QTest::addRow("a line feed in a value")
            << QStringList{u"--author"_s, u"Ann\nBob"_s, u"--use"_s, u"author"_s};
        QTest::addRow("CR LF and a lone CR") << QStringList{u"--title"_s,      u"T\r\nx\ry"_s, u"--use"_s,
                                                            u"title,author"_s, u"--author"_s,  u"z"_s};
        QTest::addRow("tab and letters beyond Latin-1")
            << QStringList{u"--description"_s, u"Zo\u00eb\tcaf\u00e9 \u4e2d\u6587 \U0001F41F"_s, u"--use"_s,
                           u"description"_s};
        QTest::addRow("line feeds at the ends")
            << QStringList{u"--keywords"_s, u"\nfish, chips\n"_s, u"--use"_s, u"keywords"_s};
        QTest::addRow("quotes and ampersands")
            << QStringList{u"--owner"_s, u"A \"B\" & C <d>"_s, u"--use"_s, u"owner"_s};
        QTest::addRow("social card lines")
            << QStringList{u"--title"_s, u"Home"_s,        u"--og-description"_s, u"Line one\nline two"_s,
                           u"--use"_s,   u"title,social"_s};
    }
    void everyWayOutCarriesTheCliCharacters()
    {
        QFETCH(QStringList, options);
        Window w;
        ui::Tfcreaht builder(&w.main);
        w.viewer.setPageBuilder(
            [&](int mode, QWidget *over) { builder.showFor(mode, w.viewer.text(), over); });
        QTemporaryDir dir;
        const QString profile = dir.filePath(u"p.wmp"_s);
        QCOMPARE(
            test::runCli(QStringList{u"tags"_s} + options + QStringList{u"--save-profile"_s, profile}).status,
            0);
        const test::CliRun tags = test::runCli({u"tags"_s, u"--profile"_s, profile});
        QCOMPARE(tags.status, 0);
        const test::CliRun page =
            test::runCli(QStringList{u"page"_s, u"--doctype"_s, u"HTML 4.01 Transitional"_s} + options);
        QCOMPARE(page.status, 0);
        const QString expected = QString::fromUtf8(tags.out);

        w.main.openProfile(profile);
        const QString txt = dir.filePath(u"tags.txt"_s), html = dir.filePath(u"page.html"_s);
        w.fake.chooseFile(txt);
        w.fake.chooseFile(html);
        QStringList copied;
        const auto clipboardText = [] { return QApplication::clipboard()->text(); };
        onNextModal([&](QWidget *) {
            QTextEdit *area = w.viewer.textArea();
            QApplication::clipboard()->clear();
            w.viewer.CopyAll1Click();
            copied << clipboardText();
            area->setFocus();
            QApplication::clipboard()->clear();
            QTest::keyClick(area, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(area, Qt::Key_C, Qt::ControlModifier);
            copied << clipboardText();
            QApplication::clipboard()->clear();
            w.viewer.Copy1Click();
            copied << clipboardText();
            w.viewer.btTxtClick();
            onNextModal([&](QWidget *modal) {
                QTest::mouseClick(modal->findChild<QPushButton *>(u"btoke"_s), Qt::LeftButton);
            });
            w.viewer.btHtmlClick();
        });
        w.main.CreateTags(tags::TagMode::Html);
        QCOMPARE(copied.size(), 3);
        for (const QString &text : std::as_const(copied))
            QCOMPARE(text, expected);
        QCOMPARE(test::readFile(txt), tags.out);
        QCOMPARE(test::readFile(html), page.out);
        QCOMPARE(w.fake.problems(), QString());
    }

    void f1OpensTheInputsHint_data()
    {
        QTest::addColumn<int>("tag");
        for (int t = 0; t < tags::kTagCount; ++t)
            QTest::addRow("%s", std::string(tags::tagInfo(t).rowText).c_str()) << t;
    }
    void f1OpensTheInputsHint()
    {
        QFETCH(int, tag);
        Window w;
        ui::Thintf hint(&w.main);
        w.main.setHintPopup(&hint);
        QApplication::setActiveWindow(&w.main);
        QWidget *input = w.main.input(tag);
        if (auto *combo = qobject_cast<QComboBox *>(input))
            input = combo->lineEdit();
        input->setFocus();
        QTest::keyClick(input, Qt::Key_F1);
        QVERIFY(hint.isVisible());
        const std::string_view row = tags::tagInfo(tag).rowText;
        QCOMPARE(hint.captionText(), QString::fromLatin1(row.data(), qsizetype(row.size())));
        // The input keeps the focus and its text.
        QVERIFY(input->hasFocus());
        QCOMPARE(w.main.tagText(tags::Title), QString());
    }

    void shiftF10OpensTheViewersMenu()
    {
        test::FakeDialogs fake;
        Tfview viewer;
        viewer.appendLine(u"<title>Home</title>"_s);
        viewer.ColorizeTags();
        viewer.show();
        QVERIFY(QTest::qWaitForWindowActive(&viewer));
        auto *menu = viewer.findChild<QMenu *>(u"popht"_s);
        QVERIFY(!menu->isVisible());
        QTest::keyClick(viewer.textArea(), Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(menu->isVisible());
        // Over the text area, where the caret is.
        QVERIFY(viewer.textArea()->rect().contains(viewer.textArea()->mapFromGlobal(menu->pos())));
        menu->close();
        // F10 alone is not the menu's key.
        QTest::keyClick(viewer.textArea(), Qt::Key_F10);
        QVERIFY(!menu->isVisible());
    }

    void aboutLinkStartsEachShowingInItsNormalColour_data()
    {
        QTest::addColumn<int>("closeBy"); // 0 Enter on OK, 1 a click on the link, 2 the close box
        QTest::addRow("closed by Enter") << 0;
        QTest::addRow("closed after a click on the link") << 1;
        QTest::addRow("closed by the close box") << 2;
    }
    void aboutLinkStartsEachShowingInItsNormalColour()
    {
        QFETCH(int, closeBy);
        Window w;
        ui::Tfinfo about(&w.main);
        w.main.setAboutBox(&about);
        widgets::FadingLinkLabel *link = about.link();
        link->setUrlOpener([](const QUrl &) {});
        const QColor normal(0x17, 0x45, 0xAE);
        onNextModal([&](QWidget *) {
            // The pointer comes over the link and stays there until the box closes.
            const QPointF at(2, 2);
            QEnterEvent enter(at, link->mapTo(&about, at), link->mapToGlobal(at));
            QApplication::sendEvent(link, &enter);
            while (link->isFading())
                link->tick();
            QCOMPARE(link->level(), 255);
            if (closeBy == 0)
                QTest::keyClick(about.focusWidget(), Qt::Key_Return);
            else if (closeBy == 1)
                QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(240, 6));
        });
        w.main.findChild<QAction *>(u"About1"_s)->trigger();
        QVERIFY(about.isHidden());
        QCOMPARE(link->currentColor(), normal);
        QVERIFY(!link->isFading());

        QColor shown;
        onNextModal([&](QWidget *) { shown = link->currentColor(); });
        w.main.findChild<QAction *>(u"About1"_s)->trigger();
        QCOMPARE(shown, normal);
    }

    void saveToText()
    {
        test::FakeDialogs fake;
        QTemporaryDir dir;
        Tfview viewer;
        for (const QString &line : {u"<title>a</title>"_s, u"<meta name=\"b\" content=\"ü\">"_s, u"x"_s})
            viewer.appendLine(line);
        fake.chooseFile(dir.filePath(u"tags"_s));
        viewer.btTxtClick();
        QFile file(dir.filePath(u"tags.txt"_s));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QByteArray("<title>a</title>\r\n<meta name=\"b\" content=\"\xc3\xbc\">\r\nx\r\n"));
        QCOMPARE(fake.last().options.title, u"Save Meta Tags as Text File"_s);
        // The name chosen last is offered again.
        fake.cancelFile();
        viewer.btTxtClick();
        QCOMPARE(fake.last().text, dir.filePath(u"tags.txt"_s));
        QVERIFY2(fake.problems().isEmpty(), qPrintable(fake.problems()));
    }

    void failingSaveReportsAndKeepsViewerOpen()
    {
        test::FakeDialogs fake;
        QTemporaryDir dir;
        // A folder that does not exist: fails also for root, who may write anywhere.
        const QString locked = dir.filePath(u"missing"_s);
        Tfview viewer;
        viewer.appendLine(u"x"_s);
        viewer.show();
        const QString path = locked + u"/tags.txt"_s;
        fake.chooseFile(path);
        QAbstractButton *btTxt = viewer.findChild<QAbstractButton *>(u"btTxt"_s);
        QTest::mouseClick(btTxt, Qt::LeftButton);
        QCOMPARE(fake.kinds(), (QStringList{u"save"_s, u"error"_s}));
        QVERIFY2(fake.last().text.startsWith(u"Cannot create file \""_s + path + u"\". "_s),
                 qPrintable(fake.last().text));
        QVERIFY(fake.last().text.endsWith(u'.'));
        QVERIFY(viewer.isVisible());
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
