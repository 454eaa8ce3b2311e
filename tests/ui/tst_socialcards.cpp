// The Social Cards window: reached from the Tags menu, placed like the other
// secondary windows, its values part of the profile, and its card preview.

#include "common/mainwindowfixture.h"
#include "common/modal.h"
#include "common/testfiles.h"
#include "ui/cardpreview.h"
#include "ui/hintpopup.h"
#include "ui/mainwindow.h"
#include "ui/secondarywindow.h"
#include "ui/socialcards.h"
#include "ui/tagsviewer.h"
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
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>

using namespace Qt::StringLiterals;
using brindle::test::onNextModal;
using namespace brindle;
using namespace brindle::tags;
using brindle::ui::CardPreview;
using brindle::ui::SocialCardsWindow;
using brindle::ui::Tovalinform;

namespace {

struct Window : test::MainWindowWithViewer
{
    SocialCardsWindow *open()
    {
        main.findChild<QAction *>(u"SocialCards1"_s)->trigger();
        return main.socialCardsWindow();
    }
    QLineEdit *edit(const char16_t *name) { return main.findChild<QLineEdit *>(QString::fromUtf16(name)); }
    QLineEdit *field(int f) { return main.socialCardsWindow()->lineEdit(f); }
    QString path(const QString &name) const { return dir.filePath(name); }
};

QString ellipsis()
{
    return QString(QChar(0x2026));
}

} // namespace

class TestSocialCards : public QObject
{
    Q_OBJECT

private slots:
    void afterTheCreateItemsOfTheTagsMenu()
    {
        Window w;
        QStringList texts;
        for (const QAction *action : w.main.findChild<QMenu *>(u"Tags1"_s)->actions())
            texts << (action->isSeparator() ? u"-"_s : action->text());
        QCOMPARE(texts.mid(0, 5),
                 (QStringList{u"Create for &HTML Documents"_s, u"-"_s, u"Create for &XHTML Documents"_s,
                              u"-"_s, u"&Social Cards..."_s}));
    }

    void placedLikeTheOtherSecondaryWindows()
    {
        Window w;
        QVERIFY(!w.main.socialCardsWindow()); // made when first asked for
        SocialCardsWindow *window = w.open();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->windowTitle(), u"Social Cards"_s);
        const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
        const QPoint first = window->frameGeometry().topLeft();
        QCOMPARE(first, ui::centredOver(w.main.frameGeometry(), window->frameGeometry().size(), desktop));

        // Shown again after the main window moved: where it was, the same window.
        window->close();
        w.main.move(w.main.pos() + QPoint(120, 80));
        QCOMPARE(w.open(), window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->frameGeometry().topLeft(), first);
    }

    void previewFollowsTheInputs()
    {
        Window w;
        SocialCardsWindow *window = w.open();
        CardPreview *preview = window->preview();
        QVERIFY(preview->titleLines().isEmpty());

        // Empty og:title and og:description show the main window's, as typed there.
        w.edit(u"eTitle")->setText(u"Home Page"_s);
        w.edit(u"eDescription")->setText(u"Fish & Chips"_s);
        QCOMPARE(preview->titleLines(), QStringList{u"Home Page"_s});
        QCOMPARE(preview->descriptionLines(), QStringList{u"Fish & Chips"_s});
        QCOMPARE(w.field(OgTitle)->placeholderText(), u"Home Page"_s);

        QTest::keyClicks(w.field(OgTitle), u"Own title"_s);
        QCOMPARE(preview->titleLines(), QStringList{u"Own title"_s});

        // The site's name, else the host of og:url.
        QTest::keyClicks(w.field(OgUrl), u"https://shop.example.org/fish"_s);
        QCOMPARE(preview->siteText(), u"shop.example.org"_s);
        QTest::keyClicks(w.field(OgSiteName), u"Fish Shop"_s);
        QCOMPARE(preview->siteText(), u"Fish Shop"_s);
        QCOMPARE(preview->siteFont().capitalization(), QFont::SmallCaps);
        QVERIFY(preview->titleFont().bold());

        // A long title is cut to two lines.
        w.field(OgTitle)->setText(u"A very long title "_s.repeated(12));
        const QStringList lines = preview->titleLines();
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(1).endsWith(ellipsis()));
    }

    void cutToTwoLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("cut");
        QTest::addRow("short") << u"Fish & Chips"_s << 1 << false;
        QTest::addRow("empty") << QString() << 0 << false;
        QTest::addRow("blanks only") << u"   "_s << 0 << false;
        // Words enough for one and a half lines of the width the test uses.
        QString twoLines;
        while (QFontMetrics(QApplication::font()).horizontalAdvance(twoLines) < 450)
            twoLines += u"Fish and chips "_s;
        QTest::addRow("two lines without a cut") << twoLines << 2 << false;
        QTest::addRow("long") << u"Fish and chips with salt and vinegar "_s.repeated(20) << 2 << true;
        QTest::addRow("line breaks count as blanks") << u"one\ntwo\r\nthree\tfour"_s << 1 << false;
        QTest::addRow("one word longer than a line") << u"x"_s.repeated(400) << 2 << true;
    }
    void cutToTwoLines()
    {
        QFETCH(QString, text);
        QFETCH(int, lines);
        QFETCH(bool, cut);
        const QFont font = QApplication::font();
        constexpr int kWidth = 300;
        const QStringList got = CardPreview::cutToLines(text, font, kWidth, 2);
        QCOMPARE(got.size(), lines);
        const QFontMetrics metrics(font);
        for (const QString &line : got) {
            QVERIFY2(metrics.horizontalAdvance(line) <= kWidth, qPrintable(line));
            QVERIFY(!line.contains(u'\n') && !line.contains(u'\t'));
        }
        QCOMPARE(!got.isEmpty() && got.last().endsWith(ellipsis()), cut);
        if (!cut && lines > 0) {
            QString joined = got.join(u' ');
            QCOMPARE(joined.simplified(), QString(text).simplified());
        }
    }

    void imageFromALocalFileOnly_data()
    {
        QTest::addColumn<QString>("address"); // PATH: the local picture's path
        QTest::addColumn<bool>("shown");
        QTest::addRow("absolute path") << u"PATH"_s << true;
        QTest::addRow("file URL") << u"file://PATH"_s << true;
        QTest::addRow("remote address") << u"https://example.org/card.png"_s << false;
        QTest::addRow("relative path") << u"card.png"_s << false;
        QTest::addRow("missing file") << u"PATH.missing"_s << false;
    }
    void imageFromALocalFileOnly()
    {
        QFETCH(QString, address);
        QFETCH(bool, shown);
        Window w;
        const QString picture = w.path(u"card.png"_s);
        QImage image(382, 200, QImage::Format_RGB32);
        image.fill(QColor(200, 30, 40));
        QVERIFY(image.save(picture));
        SocialCardsWindow *window = w.open();
        w.field(OgImage)->setText(QString(address).replace(u"PATH"_s, picture));
        CardPreview *preview = window->preview();
        QCOMPARE(preview->showsImage(), shown);

        // The picture fills the image area; a remote one is a grey box.
        const QImage drawn = preview->grab().toImage();
        const QColor middle = drawn.pixelColor(drawn.width() / 2, 40);
        QCOMPARE(middle, shown ? QColor(200, 30, 40) : QColor(225, 232, 237));
    }

    // The picture is scaled to cover its box and cropped, never drawn
    // beyond it: across the top for the large card, a square beside the
    // text for twitter:card summary. Measured on a screenshot of the card.
    void pictureStaysInItsBox_data()
    {
        QTest::addColumn<QString>("card");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<bool>("small");
        QTest::addRow("large card, square picture") << u"summary_large_image"_s << QSize(2100, 2100) << false;
        QTest::addRow("large card, wide picture") << u"summary_large_image"_s << QSize(1200, 630) << false;
        QTest::addRow("large card, tall picture") << u"summary_large_image"_s << QSize(300, 1500) << false;
        QTest::addRow("no card type: large") << QString() << QSize(2100, 2100) << false;
        QTest::addRow("summary, square picture") << u"summary"_s << QSize(2100, 2100) << true;
        QTest::addRow("summary, wide picture") << u"summary"_s << QSize(1200, 630) << true;
    }
    void pictureStaysInItsBox()
    {
        QFETCH(QString, card);
        QFETCH(QSize, picture);
        QFETCH(bool, small);
        Window w;
        const QColor colour(230, 20, 140);
        const QString file = w.path(u"picture.png"_s);
        QImage image(picture, QImage::Format_RGB32);
        image.fill(colour);
        QVERIFY(image.save(file));
        SocialCardsWindow *window = w.open();
        w.field(OgSiteName)->setText(u"The Harbour Kitchen"_s);
        w.field(OgTitle)->setText(u"Fish and chips on the harbour, fried to order every day"_s);
        w.field(OgDescription)
            ->setText(u"Fresh fish, hand-cut chips and mushy peas, every day of the week."_s);
        w.field(OgImage)->setText(file);
        w.field(TwitterCard)->setText(card);
        CardPreview *preview = window->preview();
        QVERIFY(preview->showsImage());
        const QImage shot = preview->grab().toImage();
        const QRect box = small ? QRect(0, 0, shot.height(), shot.height())
                                : QRect(0, 0, shot.width(), CardPreview::kImageHeight);
        int inside = 0, outside = 0, dark = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (c == colour)
                    ++(box.contains(x, y) ? inside : outside);
                else if (!box.contains(x, y) && c.lightness() < 100)
                    ++dark; // text
            }
        }
        QCOMPARE(outside, 0);
        // Covered but for the rounded corner and the line that ends the box.
        QVERIFY2(inside >= box.width() * box.height() * 95 / 100,
                 qPrintable(u"%1 of %2"_s.arg(inside).arg(box.width() * box.height())));
        QVERIFY(dark > 200); // the text is there, beside or below the picture
        const QString caption = window->findChild<QLabel *>(u"lbpreview"_s)->text();
        QVERIFY2(caption.contains(small ? u"small square picture"_s : u"large picture"_s),
                 qPrintable(caption));
    }

    void socialValuesArePartOfTheProfile()
    {
        Window w;
        SocialCardsWindow *window = w.open();
        w.field(OgType)->setText(u"article"_s);
        window->useBox()->setChecked(true);

        // The change test sees them: closing asks.
        w.fake.answerNo();
        QVERIFY(w.main.close());
        QCOMPARE(w.fake.kinds(), QStringList{u"confirm"_s});
        w.fake.clear();

        // Saved with the profile, reset by New, shown again by Open.
        const QString file = w.path(u"card.wmp"_s);
        w.fake.chooseFile(file);
        w.main.findChild<QAction *>(u"SaveProfile1"_s)->trigger();
        QVERIFY(test::readFile(file).contains("og-type=\"article\""));
        w.main.findChild<QAction *>(u"NewProfile1"_s)->trigger(); // saved: no question
        QCOMPARE(w.field(OgType)->text(), QString());
        QVERIFY(!window->useBox()->isChecked());
        w.fake.chooseFile(file);
        w.main.findChild<QAction *>(u"OpenProfile1"_s)->trigger();
        QCOMPARE(w.field(OgType)->text(), u"article"_s);
        QCOMPARE(window->findChild<QComboBox *>(u"cbOgType"_s)->currentIndex(), 1);
        QVERIFY(window->useBox()->isChecked());
        QVERIFY(!w.main.workflow().TestModified());
        QVERIFY2(w.fake.problems().isEmpty(), qPrintable(w.fake.problems()));
    }

    void profileOpenedBeforeTheWindowExisted()
    {
        Window w;
        const QString file = w.path(u"card.wmp"_s);
        QByteArray bytes = test::kExampleProfile;
        bytes.insert(bytes.indexOf("</Ovalin"),
                     "<social og-title=\"T\" og-description=\"\" og-type=\"\" og-url=\"\" "
                     "og-image=\"\" og-image-alt=\"\" og-site-name=\"S\" og-locale=\"\" "
                     "twitter-card=\"summary\" twitter-site=\"\" twitter-creator=\"\" "
                     "isused=\"Y\"/>");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();
        w.main.openProfile(file);
        QVERIFY(!w.main.socialCardsWindow());
        SocialCardsWindow *window = w.open();
        QCOMPARE(w.field(OgTitle)->text(), u"T"_s);
        QCOMPARE(w.field(TwitterCard)->text(), u"summary"_s);
        QVERIFY(window->useBox()->isChecked());
        QCOMPARE(window->preview()->siteText(), u"S"_s);
        QVERIFY(!w.main.workflow().TestModified());
    }

    void createTagsWritesTheSocialLines()
    {
        Window w;
        SocialCardsWindow *window = w.open();
        w.edit(u"eTitle")->setText(u"Home"_s);
        w.main.tagList()->SetRowChecked(1, true);
        w.field(TwitterCard)->setText(u"summary_large_image"_s);
        window->useBox()->setChecked(true);
        QString shown;
        onNextModal([&](QWidget *) { shown = w.viewer.text(); });
        w.main.findChild<QAction *>(u"CreateforXHTMLDocuments1"_s)->trigger();
        QCOMPARE(shown, u"<title>Home</title>\r\n"
                        "<meta property=\"og:title\" content=\"Home\" />\r\n"
                        "<meta name=\"twitter:card\" content=\"summary_large_image\" />\r\n"_s);

        // A refused value: named in the error report and on the window; no viewer.
        QTest::keyClicks(w.field(OgUrl), u"fish.html"_s);
        const QString problem = u"og:url: \"fish.html\" is not an absolute http:// or https:// address"_s;
        QCOMPARE(window->findChild<QLabel *>(u"lbproblem"_s)->text(), problem);
        w.main.findChild<QAction *>(u"CreateforHTMLDocuments1"_s)->trigger();
        QCOMPARE(w.fake.kinds(), QStringList{u"error"_s});
        QCOMPARE(w.fake.last().text, problem + u'.');
        QVERIFY(!w.viewer.isVisible());
        w.field(OgUrl)->setText(u"https://example.org/fish.html"_s);
        QCOMPARE(window->findChild<QLabel *>(u"lbproblem"_s)->text(), QString());
    }

    void everyRefusedValueIsNamed()
    {
        Window w;
        SocialCardsWindow *window = w.open();
        const QString picture = w.path(u"card.png"_s);
        w.field(OgUrl)->setText(u"www.example.org/page"_s);
        w.field(OgLocale)->setText(u"english"_s);
        w.field(OgImage)->setText(picture);
        auto *problem = window->findChild<QLabel *>(u"lbproblem"_s);
        const QString url =
            u"og:url: \"www.example.org/page\" is not an absolute http:// or https:// address"_s;
        const QString image =
            u"og:image: \"%1\" is not an absolute http:// or https:// address"_s.arg(picture);
        const QString locale =
            u"og:locale: \"english\" does not look like en_US (language, underscore, country)"_s;
        const QString local =
            u"og:image: the tags need the address the picture will have on the web; a local "
            u"file for the preview goes in \"Picture for the preview\"."_s;
        QCOMPARE(problem->text().split(u'\n'), (QStringList{url, image, locale, local}));
        QVERIFY(problem->isVisible());
        // Each refused input is marked, for the eye and for assistive technology.
        const auto labelColour = [&](int f) {
            const QString name = u"lb"_s + window->input(f)->objectName().mid(1); // eOgUrl: lbOgUrl
            return window->findChild<QLabel *>(name)->palette().color(QPalette::WindowText);
        };
        for (const auto &[f, message] :
             {std::pair{int(OgUrl), url}, {int(OgImage), image}, {int(OgLocale), locale}}) {
            QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(window->input(f));
            QVERIFY(iface->state().invalid);
            QCOMPARE(iface->text(QAccessible::Description), message);
            QCOMPARE(labelColour(f), QColor(192, 0, 0));
        }
        QVERIFY(!QAccessible::queryAccessibleInterface(window->input(OgSiteName))->state().invalid);

        // Fixed one by one, each leaves the list and loses its mark.
        w.field(OgUrl)->setText(u"https://www.example.org/page"_s);
        QCOMPARE(problem->text().split(u'\n'), (QStringList{image, locale, local}));
        QVERIFY(!QAccessible::queryAccessibleInterface(window->input(OgUrl))->state().invalid);
        QCOMPARE(QAccessible::queryAccessibleInterface(window->input(OgUrl))->text(QAccessible::Description),
                 QString());
        QCOMPARE(labelColour(OgUrl), window->palette().color(QPalette::WindowText));
        w.field(OgImage)->setText(u"https://www.example.org/card.png"_s);
        w.field(OgLocale)->setText(u"en_GB"_s);
        QCOMPARE(problem->text(), QString());
        QVERIFY(!problem->isVisible());
    }

    // The card shows a local picture while og:image holds the address the
    // tags need: the tags are made at the same time.
    void previewPictureLeavesTheTagsAlone()
    {
        Window w;
        SocialCardsWindow *window = w.open();
        const QString picture = w.path(u"card.png"_s);
        QImage image(120, 63, QImage::Format_RGB32);
        image.fill(QColor(10, 120, 60));
        QVERIFY(image.save(picture));
        window->useBox()->setChecked(true);
        w.field(OgImage)->setText(u"https://www.example.org/card.png"_s);
        QVERIFY(!window->preview()->showsImage());
        w.fake.chooseFile(picture);
        QTest::mouseClick(window->findChild<QPushButton *>(u"btPreviewPicture"_s), Qt::LeftButton);
        QCOMPARE(w.fake.last().kind, u"open"_s);
        QCOMPARE(window->previewPicture()->text(), picture);
        QVERIFY(window->preview()->showsImage());
        QCOMPARE(window->problemText(), QString());

        QString shown;
        onNextModal([&](QWidget *) { shown = w.viewer.text(); });
        w.main.findChild<QAction *>(u"CreateforHTMLDocuments1"_s)->trigger();
        QCOMPARE(shown, u"<meta property=\"og:image\" content=\"https://www.example.org/card.png\">\r\n"_s);
        QCOMPARE(w.fake.kinds(), QStringList{u"open"_s});
        // Not part of the profile: a profile flow leaves it behind.
        w.main.findChild<QAction *>(u"NewProfile1"_s)->trigger();
        w.fake.clear();
        QCOMPARE(window->previewPicture()->text(), QString());
    }

    void hintButtonsShowTheFieldsHints()
    {
        Window w;
        SocialCardsWindow *window = w.open();
        QTest::mouseClick(window->findChild<QAbstractButton *>(u"btHintOgImage"_s), Qt::LeftButton);
        QVERIFY(w.hint.isVisible());
        QCOMPARE(w.hint.captionText(), u"og:image"_s);
        QCOMPARE(w.hint.hintText(), SocialCardsWindow::hintText(OgImage));
        QVERIFY(w.hint.hintText().contains(u"nothing is fetched"_s));
    }

    void f1OpensTheFieldsHint_data()
    {
        QTest::addColumn<int>("field");
        QTest::addRow("og:title") << int(OgTitle);
        QTest::addRow("og:type, a drop-down list") << int(OgType);
        QTest::addRow("og:image") << int(OgImage);
        QTest::addRow("twitter:creator, the last") << int(TwitterCreator);
    }
    void f1OpensTheFieldsHint()
    {
        QFETCH(int, field);
        Window w;
        w.main.showHint(1); // the Title's hint, with its length line
        SocialCardsWindow *window = w.open();
        QApplication::setActiveWindow(window);
        QLineEdit *input = window->lineEdit(field);
        input->setFocus();
        QTest::keyClick(input, Qt::Key_F1);
        QVERIFY(w.hint.isVisible());
        QCOMPARE(w.hint.captionText(), SocialCardsWindow::hintCaption(field));
        QCOMPARE(w.hint.hintText(), SocialCardsWindow::hintText(field));
        // A field's hint has no length line, even after the Title's.
        QCOMPARE(w.hint.lengthText(), QString());
        QVERIFY(input->hasFocus());
    }

    void enterMovesToTheNextInput()
    {
        Window w;
        SocialCardsWindow *window = w.open();
        QApplication::setActiveWindow(window);
        window->input(OgTitle)->setFocus();
        for (int f = 1; f <= kSocialFieldCount; ++f) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QWidget *expected = window->input(f % kSocialFieldCount);
            QWidget *focused = QApplication::focusWidget();
            QVERIFY2(focused == expected || focused == window->lineEdit(f % kSocialFieldCount),
                     qPrintable(focused ? focused->objectName() : u"none"_s));
        }
        QVERIFY(window->isVisible()); // Enter does not close the window
    }
};

QTEST_MAIN(TestSocialCards)
#include "tst_socialcards.moc"
