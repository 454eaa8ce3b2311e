// The Head window: reached from the Tags menu, its fields tied to their
// labels, every refused value named at once, the preview of the lines, and
// its values in the tags the main window makes.

#include "base/textutil.h"
#include "common/mainwindowfixture.h"
#include "ui/headwindow.h"
#include "ui/hintpopup.h"
#include "ui/mainwindow.h"
#include "ui/socialcards.h"
#include "ui/taginputs.h"
#include "ui/tagsviewer.h"
#include "widgets/checkedtextedit.h"
#include "widgets/tagchecklist.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace brindle;
using namespace brindle::tags;
using brindle::ui::HeadWindow;
using brindle::ui::Tovalinform;

namespace {

struct Window : test::MainWindowWithViewer
{
    HeadWindow *open()
    {
        main.findChild<QAction *>(u"Head1"_s)->trigger();
        return main.headWindow();
    }
    QLineEdit *edit(int field) { return qobject_cast<QLineEdit *>(main.headWindow()->input(field)); }
    void type(int field, const QString &text) { QTest::keyClicks(main.headWindow()->input(field), text); }
    // The lines the viewer shows for a mode, or what went wrong.
    QString createTags(const char16_t *action)
    {
        // The viewer shows modally inside the action; when it does not, the
        // poll ends with the action.
        QString shown;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                poll.stop();
                shown = viewer.text();
                modal->close();
            }
        });
        poll.start();
        main.findChild<QAction *>(QString::fromUtf16(action))->trigger();
        if (!fake.shown().empty())
            return fake.last().kind + u": "_s + fake.last().text;
        return shown;
    }
};

QAccessibleInterface *accessible(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget);
}

} // namespace

class TestHeadWindow : public QObject
{
    Q_OBJECT

private slots:
    void rightAfterSocialCardsInTheTagsMenu()
    {
        Window w;
        QStringList texts;
        for (const QAction *action : w.main.findChild<QMenu *>(u"Tags1"_s)->actions())
            texts << (action->isSeparator() ? u"-"_s : action->text());
        QCOMPARE(texts,
                 (QStringList{u"Create for &HTML Documents"_s, u"-"_s, u"Create for &XHTML Documents"_s,
                              u"-"_s, u"&Social Cards..."_s, u"H&ead..."_s}));
        QVERIFY(!w.main.headWindow()); // made when first asked for
        HeadWindow *window = w.open();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->windowTitle(), u"Head"_s);
        window->close();
        QCOMPARE(w.open(), window);
    }

    // Each input is named by its label, for the keyboard (the label's key)
    // and for assistive technology; a tick for each field that has a line.
    void labelsAndTicks()
    {
        Window w;
        HeadWindow *window = w.open();
        for (int f = 0; f < kHeadFieldCount; ++f) {
            const QString label = toQString(headFieldInfo(f).label);
            QWidget *input = window->input(f);
            QLabel *buddyOf = nullptr;
            for (QLabel *l : window->findChildren<QLabel *>()) {
                if (l->buddy() == input)
                    buddyOf = l;
            }
            QVERIFY2(buddyOf, qPrintable(label));
            QCOMPARE(QString(buddyOf->text()).remove(u'&'), label);
            QCOMPARE(accessible(input)->text(QAccessible::Name), label);
            QCOMPARE(window->tick(f) != nullptr, headFieldInfo(f).tickable);
        }
        QCOMPARE(window->typeChoice()->count(), 3);
        QCOMPARE(window->typeChoice()->currentText(), QString());
        QVERIFY(accessible(window->alternatesInput())->state().multiLine);
    }

    void everyRefusedValueIsNamedAtOnce()
    {
        Window w;
        HeadWindow *window = w.open();
        window->tick(Canonical)->setChecked(true);
        window->tick(ThemeColor)->setChecked(true);
        window->tick(Icon)->setChecked(true);
        w.type(Canonical, u"www.example.org/fish"_s);
        w.type(ThemeColor, u"sea blue"_s);
        w.type(Icon, u"/favicon.png"_s);
        w.type(DatePublished, u"10.12.2026"_s);
        window->setInputText(Alternates, u"de=https://www.example.org/de/\nfr:https://www.example.org/fr/"_s);
        const QString canonical = headValueProblem(Canonical, u"www.example.org/fish"_s);
        const QString alternates = headValueProblem(Alternates, u"fr:https://www.example.org/fr/"_s);
        const QString colour = headValueProblem(ThemeColor, u"sea blue"_s);
        const QString date = headValueProblem(DatePublished, u"10.12.2026"_s);
        for (const QString &problem : {canonical, alternates, colour, date})
            QVERIFY(!problem.isEmpty());
        auto *label = window->findChild<QLabel *>(u"lbproblem"_s);
        QCOMPARE(label->text().split(u'\n'), (QStringList{canonical, alternates, colour, date}));
        QVERIFY(label->isVisible());
        QCOMPARE(accessible(label)->role(), QAccessible::Notification);

        // Each refused input marked, for the eye and for assistive technology.
        const auto labelColour = [&](int f) {
            return window->findChild<QLabel *>(u"lb"_s + window->input(f)->objectName().mid(1))
                ->palette()
                .color(QPalette::WindowText);
        };
        for (const auto &[f, message] : {std::pair{int(Canonical), canonical},
                                         {int(Alternates), alternates},
                                         {int(ThemeColor), colour},
                                         {int(DatePublished), date}}) {
            QVERIFY2(accessible(window->input(f))->state().invalid, qPrintable(message));
            QCOMPARE(accessible(window->input(f))->text(QAccessible::Description), message);
            QCOMPARE(labelColour(f), QColor(192, 0, 0));
        }
        QVERIFY(!accessible(window->input(Icon))->state().invalid);
        QCOMPARE(labelColour(Icon), window->palette().color(QPalette::WindowText));
        // The preview holds the lines of the values taken.
        QCOMPARE(window->previewText(), u"<link rel=\"icon\" href=\"/favicon.png\">\r\n"_s);

        // Put right, a value leaves the list, loses its mark and shows its line.
        w.edit(Canonical)->setText(u"https://www.example.org/fish"_s);
        QCOMPARE(label->text().split(u'\n'), (QStringList{alternates, colour, date}));
        QVERIFY(!accessible(window->input(Canonical))->state().invalid);
        QCOMPARE(accessible(window->input(Canonical))->text(QAccessible::Description), QString());
        QVERIFY(window->previewText().startsWith(u"<link rel=\"canonical\""_s));
        window->setInputText(Alternates, QString());
        w.edit(ThemeColor)->setText(u"#336699"_s);
        w.edit(DatePublished)->setText(u"2026-12-10"_s);
        QCOMPARE(label->text(), QString());
        QVERIFY(!label->isVisible());
    }

    // CSS puts the alpha last, where Qt's own reading puts it first.
    void themeColourShown_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("shown");
        QTest::addRow("six digits") << u"#336699"_s << QColor(0x33, 0x66, 0x99);
        QTest::addRow("three digits") << u"#369"_s << QColor(0x33, 0x66, 0x99);
        QTest::addRow("eight digits, alpha last") << u"#33669980"_s << QColor(0x33, 0x66, 0x99, 0x80);
        QTest::addRow("four digits, alpha last") << u"#3698"_s << QColor(0x33, 0x66, 0x99, 0x88);
        QTest::addRow("a name in capitals") << u"Teal"_s << QColor(0, 0x80, 0x80);
        QTest::addRow("refused: none") << u"sea blue"_s << QColor();
        QTest::addRow("empty: none") << QString() << QColor();
    }
    void themeColourShown()
    {
        QFETCH(QString, text);
        QFETCH(QColor, shown);
        Window w;
        HeadWindow *window = w.open();
        w.edit(ThemeColor)->setText(text);
        QCOMPARE(window->shownThemeColour(), shown);
    }

    void typeChoiceRefusesOtherTypes()
    {
        Window w;
        HeadWindow *window = w.open();
        QComboBox *type = window->typeChoice();
        type->lineEdit()->setText(u"Recipe"_s);
        const QString problem = headValueProblem(StructuredData, u"Recipe"_s);
        QCOMPARE(window->problemText(), problem);
        QVERIFY(accessible(type->lineEdit())->state().invalid);
        QCOMPARE(accessible(type)->text(QAccessible::Description), problem);
        type->setCurrentIndex(2);
        QCOMPARE(window->values()[StructuredData], u"Article"_s);
        QCOMPARE(window->problemText(), QString());
        QVERIFY(!accessible(type->lineEdit())->state().invalid);
    }

    // The structured data refuses what it borrows too; the preview keeps
    // the other lines and the window says why the script is missing.
    void borrowedValueRefused()
    {
        Window w;
        w.main.findChild<QLineEdit *>(u"eTitle"_s)->setText(u"Home"_s);
        w.main.findChild<QAction *>(u"SocialCards1"_s)->trigger();
        w.main.socialCardsWindow()->lineEdit(OgUrl)->setText(u"fish.html"_s);
        HeadWindow *window = w.open();
        window->tick(Viewport)->setChecked(true);
        window->tick(StructuredData)->setChecked(true);
        window->typeChoice()->setCurrentIndex(0);
        QCOMPARE(window->previewText(),
                 u"<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n"_s);
        QVERIFY2(window->problemText().startsWith(u"og:url:"_s), qPrintable(window->problemText()));

        // Put right in Social Cards, the script follows at once.
        w.main.socialCardsWindow()->lineEdit(OgUrl)->setText(u"https://www.example.org/"_s);
        QCOMPARE(window->problemText(), QString());
        QCOMPARE(window->previewText().split(u"\r\n"_s).at(1),
                 u"<script type=\"application/ld+json\">{\"@context\":\"https://schema.org\",\"@type\":"
                 u"\"WebSite\",\"name\":\"Home\",\"url\":\"https://www.example.org/\"}</script>"_s);
    }

    void createTagsWritesTheHeadLines()
    {
        Window w;
        HeadWindow *window = w.open();
        w.main.findChild<QLineEdit *>(u"eTitle"_s)->setText(u"Fish & Chips"_s);
        w.main.tagList()->SetRowChecked(1, true);
        for (int f : {Viewport, Canonical, Alternates, ThemeColor, Language, StructuredData})
            window->tick(f)->setChecked(true);
        w.type(Canonical, u"https://www.example.org/"_s);
        // One a line: Return starts the next in the alternates.
        window->alternatesInput()->setFocus();
        w.type(Alternates, u"en=https://www.example.org/"_s);
        QTest::keyClick(window->alternatesInput(), Qt::Key_Return);
        w.type(Alternates, u"de=https://www.example.org/de/"_s);
        QCOMPARE(window->alternatesInput()->toPlainText(),
                 u"en=https://www.example.org/\nde=https://www.example.org/de/"_s);
        w.type(ThemeColor, u"teal"_s);
        w.type(Language, u"en-GB"_s);
        window->typeChoice()->setCurrentIndex(0);
        w.type(Icon, u"/favicon.png"_s); // not ticked: no line

        const QString json = u"<script type=\"application/ld+json\">{\"@context\":\"https://schema.org\","
                             u"\"@type\":\"WebSite\",\"name\":\"Fish & Chips\","
                             u"\"url\":\"https://www.example.org/\"}</script>"_s;
        QCOMPARE(w.createTags(u"CreateforHTMLDocuments1"),
                 u"<title>Fish & Chips</title>\r\n"
                 u"<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n"
                 u"<link rel=\"canonical\" href=\"https://www.example.org/\">\r\n"
                 u"<link rel=\"alternate\" hreflang=\"en\" href=\"https://www.example.org/\">\r\n"
                 u"<link rel=\"alternate\" hreflang=\"de\" href=\"https://www.example.org/de/\">\r\n"
                 u"<meta name=\"theme-color\" content=\"teal\">\r\n"_s +
                     json + u"\r\n"_s);
        QVERIFY(window->previewText().endsWith(json + u"\r\n"_s));
        QVERIFY(window->findChild<QLabel *>(u"lblanguage"_s)->text().contains(u"en-GB"_s));
        QCOMPARE(w.viewer.pageLanguage(), u"en-GB"_s); // for Create HTML Page

        // The preview follows the mode of the tags made last.
        const QString xhtml = w.createTags(u"CreateforXHTMLDocuments1");
        QVERIFY2(xhtml.contains(u"<meta name=\"theme-color\" content=\"teal\" />\r\n"_s), qPrintable(xhtml));
        QCOMPARE(window->pageMode(), 2);
        QVERIFY(window->findChild<QLabel *>(u"lbpreview"_s)->text().contains(u"XHTML"_s));
        QVERIFY(window->previewText().startsWith(
            u"<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\" />\r\n"_s));
        QVERIFY(xhtml.endsWith(window->previewText()));

        // A ticked value refused: the error report names it and no viewer shows.
        w.edit(ThemeColor)->setText(u"sea blue"_s);
        QCOMPARE(w.createTags(u"CreateforHTMLDocuments1"),
                 u"error: "_s + headValueProblem(ThemeColor, u"sea blue"_s) + u'.');
        QVERIFY(!w.viewer.isVisible());
        QVERIFY2(w.fake.problems().isEmpty(), qPrintable(w.fake.problems()));
    }

    // Head lines alone are tags enough: no "select tag(s)" notice.
    void headLinesAloneNeedNoRow()
    {
        Window w;
        HeadWindow *window = w.open();
        window->tick(Viewport)->setChecked(true);
        QCOMPARE(w.createTags(u"CreateforHTMLDocuments1"),
                 u"<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n"_s);
    }

    // Shown one a line, kept in the value separated by blanks; untouched
    // they come back exactly as they were set.
    void alternatesOneALine_data()
    {
        QTest::addColumn<QString>("set");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("typed"); // appended at the end; empty: nothing typed
        QTest::addColumn<QString>("value");
        const QString de = u"de=https://example.org/de/"_s;
        const QString en = u"en=https://example.org/"_s;
        QTest::addRow("untouched") << de + u' ' + en << de + u'\n' + en << QString() << de + u' ' + en;
        QTest::addRow("untouched, odd blanks kept")
            << u"  "_s + de + u"\t\t"_s + en << de + u'\n' + en << QString() << u"  "_s + de + u"\t\t"_s + en;
        QTest::addRow("a line added") << de << de << u"\n"_s + en << de + u' ' + en;
        QTest::addRow("empty lines dropped") << QString() << QString() << u"\n\n"_s + de + u"\n\n"_s << de;
    }
    void alternatesOneALine()
    {
        QFETCH(QString, set);
        QFETCH(QString, shown);
        QFETCH(QString, typed);
        QFETCH(QString, value);
        Window w;
        HeadWindow *window = w.open();
        HeadValues head;
        head[Alternates] = set;
        w.main.setHeadValues(head);
        QCOMPARE(window->alternatesInput()->toPlainText(), shown);
        if (!typed.isEmpty()) {
            QTextCursor end = window->alternatesInput()->textCursor();
            end.movePosition(QTextCursor::End);
            end.insertText(typed);
        }
        QCOMPARE(w.main.headValues()[Alternates], value);
    }

    void headValuesArePartOfTheProfile()
    {
        Window w;
        QTemporaryDir dir;
        HeadWindow *window = w.open();
        window->tick(Canonical)->setChecked(true);
        w.type(Canonical, u"https://www.example.org/"_s);
        window->setInputText(Alternates, u"en=https://www.example.org/\nde=https://www.example.org/de/"_s);

        // The change test sees them: closing asks.
        w.fake.answerNo();
        QVERIFY(w.main.close());
        QCOMPARE(w.fake.kinds(), QStringList{u"confirm"_s});
        w.fake.clear();

        // Saved with the profile, reset by New, shown again by Open, and
        // shown is not changed.
        const QString file = dir.filePath(u"head.wmp"_s);
        w.fake.chooseFile(file);
        w.main.findChild<QAction *>(u"SaveProfile1"_s)->trigger();
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        QVERIFY2(bytes.contains("alternate=\"en=https://www.example.org/ de=https://www.example.org/de/\""),
                 bytes.constData());
        w.main.findChild<QAction *>(u"NewProfile1"_s)->trigger();
        QCOMPARE(window->values(), HeadValues{});
        QVERIFY(!window->tick(Canonical)->isChecked());
        w.fake.chooseFile(file);
        w.main.findChild<QAction *>(u"OpenProfile1"_s)->trigger();
        QCOMPARE(w.edit(Canonical)->text(), u"https://www.example.org/"_s);
        QVERIFY(window->tick(Canonical)->isChecked());
        QCOMPARE(window->alternatesInput()->toPlainText(),
                 u"en=https://www.example.org/\nde=https://www.example.org/de/"_s);
        QVERIFY(!w.main.workflow().TestModified());
        QVERIFY2(w.fake.problems().isEmpty(), qPrintable(w.fake.problems()));
    }

    void valuesBeforeAndAfterTheWindowExists()
    {
        Window w;
        QSignalSpy changed(&w.main, &Tovalinform::headValuesChanged);
        HeadValues head;
        head[Canonical] = u"https://example.org/"_s;
        head[StructuredData] = u"Organization"_s;
        head[Logo] = u"https://example.org/logo.png"_s;
        head.used[Canonical] = head.used[StructuredData] = true;
        w.main.setHeadValues(head);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(w.main.headValues(), head);
        HeadWindow *window = w.open();
        QCOMPARE(window->values(), head);
        QCOMPARE(window->typeChoice()->currentIndex(), 1);
        QVERIFY(window->tick(Canonical)->isChecked());
        QVERIFY(!window->tick(Viewport)->isChecked());
        // Set again with the window open: one change told, not one per input.
        changed.clear();
        w.main.setHeadValues(HeadValues{});
        QCOMPARE(changed.size(), 1);
        QCOMPARE(window->values(), HeadValues{});
        QCOMPARE(window->previewText(), QString());
    }

    // What the Check and Search Preview windows follow: the head lines too,
    // without the values the tags would refuse, and never an error.
    void followedByTheCheckWindow()
    {
        Window w;
        ui::TagInputs *inputs = ui::TagInputs::of(&w.main);
        QSignalSpy changed(inputs, &ui::TagInputs::changed);
        HeadValues head;
        head[Canonical] = u"fish.html"_s;
        head[StructuredData] = u"WebSite"_s;
        head.used[Viewport] = head.used[Canonical] = head.used[StructuredData] = true;
        w.main.setHeadValues(head);
        QCOMPARE(changed.size(), 1);
        const QString viewport =
            u"<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"_s;
        // The script borrows the refused address: left out as well.
        QCOMPARE(inputs->lines(), QStringList{viewport});
        head[Canonical].clear();
        w.main.setHeadValues(head);
        QCOMPARE(inputs->lines(),
                 (QStringList{viewport, u"<script type=\"application/ld+json\">{\"@context\":"
                                        u"\"https://schema.org\",\"@type\":\"WebSite\"}</script>"_s}));

        // A social value the script would borrow is refused: the script is left out.
        SocialValues social;
        social[OgUrl] = u"fish.html"_s;
        social.used = true;
        w.main.setSocialValues(social);
        QCOMPARE(inputs->lines(),
                 (QStringList{u"<meta property=\"og:url\" content=\"fish.html\">"_s, viewport}));
    }

    void keys()
    {
        Window w;
        HeadWindow *window = w.open();
        QApplication::setActiveWindow(window);
        // Enter moves on, from a drop-down too; in the alternates it starts a line.
        window->input(Viewport)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), window->input(Canonical));
        window->typeChoice()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), window->input(DatePublished));
        window->input(Logo)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), window->input(Viewport));
        window->alternatesInput()->setFocus();
        QTest::keyClick(window->alternatesInput(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), window->alternatesInput());
        QCOMPARE(window->alternatesInput()->toPlainText(), u"\n"_s);
        QVERIFY(window->isVisible());

        // F1 opens the field's hint and leaves the focus where it was.
        QTest::keyClick(window->alternatesInput(), Qt::Key_F1);
        QVERIFY(w.hint.isVisible());
        QCOMPARE(w.hint.captionText(), u"Alternates"_s);
        QCOMPARE(w.hint.hintText(), HeadWindow::hintText(Alternates));
        QVERIFY(window->alternatesInput()->hasFocus());
        QTest::mouseClick(window->findChild<QAbstractButton *>(u"btHintStructuredData"_s), Qt::LeftButton);
        QCOMPARE(w.hint.captionText(), u"Structured data"_s);
    }
};

QTEST_MAIN(TestHeadWindow)
#include "tst_headwindow.moc"
