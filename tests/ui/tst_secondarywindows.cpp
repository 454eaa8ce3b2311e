#include "buildinfo.h"
#include "common/fakedialogs.h"
#include "common/filesizelimit.h"
#include "common/modal.h"
#include "common/testfiles.h"
#include "render/webpage.h"
#include "ui/aboutbox.h"
#include "ui/hintpopup.h"
#include "ui/pagebuilderwindow.h"
#include "ui/secondarywindow.h"
#include "ui/tagsviewer.h"
#include "widgets/fadinglinklabel.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include <functional>

using namespace Qt::StringLiterals;
using namespace brindle;
using namespace brindle::render;
using namespace brindle::ui;
using brindle::test::execWith;
using brindle::widgets::FadingLinkLabel;

namespace {

const QString kTags = u"<title>Home Page</title>\r\n"
                      u"<meta name=\"description\" content=\"Fish and Chips\">\r\n"_s;

QByteArray expectedPage(bool xhtml, int item)
{
    return pageBytes(declarationText(documentTypeRow(xhtml, item)), kTags);
}

void click(QWidget *widget, QPoint at = {})
{
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at.isNull() ? widget->rect().center() : at);
}

template<typename T>
T *child(const QWidget *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        qFatal("no child %s", qPrintable(name));
    return found;
}

void enter(QWidget *widget)
{
    const QPointF at(2, 2);
    QEnterEvent event(at, widget->mapTo(widget->window(), at), widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &event);
}

void leave(QWidget *widget)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class TestPageWindows : public QObject
{
    Q_OBJECT

private:
    QWidget *m_main = nullptr;

private slots:
    void init()
    {
        m_main = new QWidget;
        m_main->setGeometry(200, 150, 640, 480);
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));
    }
    void cleanup()
    {
        delete m_main;
        m_main = nullptr;
    }

    // ---- web page builder ----

    void firstOkWritesTheDefaultType_data()
    {
        QTest::addColumn<int>("pageMode");
        QTest::addColumn<bool>("xhtml");
        QTest::addColumn<int>("item");
        QTest::addRow("HTML: HTML 4.01 Transitional") << 1 << false << 1;
        QTest::addRow("XHTML: XHTML 1.0 Transitional") << 2 << true << 0;
        QTest::addRow("any other mode is XHTML") << 0 << true << 0;
    }
    void firstOkWritesTheDefaultType()
    {
        QFETCH(int, pageMode);
        QFETCH(bool, xhtml);
        QFETCH(int, item);
        test::FakeDialogs dialogs;
        QTemporaryDir dir;
        const QString path = dir.filePath(u"page.html"_s);
        dialogs.chooseFile(path);
        Tfcreaht builder(m_main);
        QVERIFY(builder.xhtmlList()->isHidden() && builder.htmlList()->isHidden());

        const int result =
            execWith([&] { return builder.showFor(pageMode, kTags, m_main); },
                     [&](QWidget *modal) {
                         QCOMPARE(modal, &builder);
                         QCOMPARE(builder.xhtmlList()->isVisible(), xhtml);
                         QCOMPARE(builder.htmlList()->isVisible(), !xhtml);
                         QVERIFY(builder.focusWidget() == (xhtml ? builder.xhtmlList() : builder.htmlList()));
                         click(child<QPushButton>(&builder, u"btoke"_s));
                     });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(brindle::test::readFile(path), expectedPage(xhtml, item));
        QCOMPARE(dialogs.kinds(), QStringList{u"save"_s});
        const FileDialogOptions &options = dialogs.last().options;
        QCOMPARE(options.title, u"Save as Web Page"_s);
        QCOMPARE(options.filterName, u"HTML Web Page"_s);
        QCOMPARE(options.pattern, u"*.html"_s);
        QCOMPARE(options.defaultSuffix, u"html"_s);
        QVERIFY(options.confirmOverwrite);
        QVERIFY(builder.isHidden());
        QVERIFY(builder.xhtmlList()->isHidden() && builder.htmlList()->isHidden());
        QCOMPARE(dialogs.problems(), QString());
    }

    void selectionSurvivesToTheNextOpening()
    {
        test::FakeDialogs dialogs;
        QTemporaryDir dir;
        Tfcreaht builder(m_main);
        // The user picks "HTML 4.01 Strict" and cancels.
        execWith([&] { return builder.showFor(1, kTags); },
                 [&](QWidget *) {
                     QTest::keyClick(builder.htmlList(), Qt::Key_Down);
                     click(child<QPushButton>(&builder, u"Button1"_s));
                 });
        QCOMPARE(builder.htmlList()->currentIndex(), 2);
        // An XHTML opening in between leaves it alone and writes its own default.
        dialogs.chooseFile(dir.filePath(u"x.html"_s));
        execWith([&] { return builder.showFor(2, kTags); },
                 [&](QWidget *) { click(child<QPushButton>(&builder, u"btoke"_s)); });
        QCOMPARE(brindle::test::readFile(dir.filePath(u"x.html"_s)), expectedPage(true, 0));

        dialogs.chooseFile(dir.filePath(u"h.html"_s));
        execWith([&] { return builder.showFor(1, kTags); },
                 [&](QWidget *) {
                     QCOMPARE(builder.htmlList()->currentIndex(), 2);
                     click(child<QPushButton>(&builder, u"btoke"_s));
                 });
        QCOMPARE(brindle::test::readFile(dir.filePath(u"h.html"_s)), expectedPage(false, 2));
        // The save dialog offers the name chosen last.
        QCOMPARE(dialogs.last().text, dir.filePath(u"x.html"_s));
        QCOMPARE(dialogs.problems(), QString());
    }

    void html5IsTheLastHtmlItem()
    {
        test::FakeDialogs dialogs;
        QTemporaryDir dir;
        Tfcreaht builder(m_main);
        QStringList items;
        for (int i = 0; i < builder.htmlList()->count(); ++i)
            items << builder.htmlList()->itemText(i);
        QCOMPARE(items,
                 (QStringList{u"None"_s, u"HTML 4.01 Transitional"_s, u"HTML 4.01 Strict"_s, u"HTML 5"_s}));
        QCOMPARE(builder.xhtmlList()->count(), 4);

        dialogs.chooseFile(dir.filePath(u"p.html"_s));
        execWith([&] { return builder.showFor(1, kTags); },
                 [&](QWidget *) {
                     QTest::keyClick(builder.htmlList(), Qt::Key_End);
                     click(child<QPushButton>(&builder, u"btoke"_s));
                 });
        const QByteArray page = brindle::test::readFile(dir.filePath(u"p.html"_s));
        QCOMPARE(page, expectedPage(false, 3));
        QVERIFY(page.startsWith("<!DOCTYPE html>\r\n<html>\r\n<head>\r\n"));
        QCOMPARE(dialogs.problems(), QString());
    }

    void cancelledSaveDialogKeepsTheBuilderOpen()
    {
        test::FakeDialogs dialogs;
        QTemporaryDir dir;
        dialogs.cancelFile();
        Tfcreaht builder(m_main);
        const int result = execWith([&] { return builder.showFor(2, kTags); },
                                    [&](QWidget *) {
                                        click(child<QPushButton>(&builder, u"btoke"_s));
                                        QVERIFY(builder.isVisible());
                                        QCOMPARE(QApplication::activeModalWidget(), &builder);
                                        click(child<QPushButton>(&builder, u"Button1"_s));
                                    });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(dialogs.kinds(), QStringList{u"save"_s});
        QVERIFY(QDir(dir.path()).isEmpty());
        QCOMPARE(dialogs.problems(), QString());
    }

    void failedWriteIsReportedAndTheBuilderStaysOpen()
    {
        test::FakeDialogs dialogs;
        QTemporaryDir dir;
        const QString bad = dir.filePath(u"missing/page.html"_s);
        const QString good = dir.filePath(u"page.html"_s);
        dialogs.chooseFile(bad);
        dialogs.chooseFile(good);
        Tfcreaht builder(m_main);
        const int result = execWith([&] { return builder.showFor(1, kTags); },
                                    [&](QWidget *) {
                                        click(child<QPushButton>(&builder, u"btoke"_s));
                                        QVERIFY(builder.isVisible());
                                        QCOMPARE(dialogs.last().kind, u"error"_s);
                                        QCOMPARE(dialogs.last().text, u"Path not found."_s);
                                        click(child<QPushButton>(&builder, u"btoke"_s));
                                    });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(dialogs.kinds(), (QStringList{u"save"_s, u"error"_s, u"save"_s}));
        QCOMPARE(dialogs.last().text, bad); // offered again after the failure
        QCOMPARE(brindle::test::readFile(good), expectedPage(false, 1));
        QCOMPARE(dialogs.problems(), QString());
    }

    // A page or text file that cannot be written whole is reported, and the
    // old file stays byte for byte; small files are where a buffered writer
    // lost the error of its last flush.
    void failedWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<qsizetype>("size"); // of the file that would be written
        for (const QString &window : {u"page"_s, u"text"_s})
            for (const qsizetype size : {0, 100, 3000, 20000, 100000})
                QTest::addRow("%s, %lld bytes", qPrintable(window), qlonglong(size)) << window << size;
    }
    void failedWriteKeepsTheOldFile()
    {
        QFETCH(QString, window);
        QFETCH(qsizetype, size);
        test::FakeDialogs dialogs;
        QTemporaryDir dir;
        const QString path = dir.filePath(u"old.html"_s);
        const QByteArray old = "old\r\n";
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(old) == old.size());
        }
        // One line of tags that brings the file to the size wanted (or to the
        // smallest it can be).
        const qsizetype fixed = window == u"page"_s ? pageBytes(declarationText(0), u"\r\n"_s).size() : 0;
        const QString line = QString(std::max<qsizetype>(size - fixed - 2, 1), u'x');
        const qsizetype written =
            window == u"page"_s ? pageBytes(declarationText(0), line + u"\r\n"_s).size() : line.size() + 2;
        const test::FileSizeLimit limit(rlim_t(written / 2));
        QVERIFY(limit.active());
        dialogs.chooseFile(path);
        QString message;
        if (window == u"page"_s) {
            Tfcreaht builder(m_main);
            execWith([&] { return builder.showFor(2, line + u"\r\n"_s, m_main); },
                     [&](QWidget *) {
                         click(child<QPushButton>(&builder, u"btoke"_s));
                         QVERIFY(builder.isVisible());
                         message = dialogs.last().text;
                         click(child<QPushButton>(&builder, u"Button1"_s));
                     });
            QCOMPARE(message, u"Disk full."_s);
        } else {
            Tfview viewer(m_main);
            viewer.appendLine(line);
            QCOMPARE(viewer.text().toUtf8().size(), written);
            viewer.show();
            QTest::mouseClick(viewer.findChild<QAbstractButton *>(u"btTxt"_s), Qt::LeftButton);
            QVERIFY(viewer.isVisible());
            QCOMPARE(dialogs.last().text, u"Cannot create file \"%1\". Disk full."_s.arg(path));
        }
        QCOMPARE(dialogs.kinds(), (QStringList{u"save"_s, u"error"_s}));
        QCOMPARE(brindle::test::readFile(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"old.html"_s});
    }

    void enterAndEscapeDoNothing()
    {
        test::FakeDialogs dialogs;
        Tfcreaht builder(m_main);
        const int result = execWith([&] { return builder.showFor(1, kTags); },
                                    [&](QWidget *) {
                                        auto *ok = child<QPushButton>(&builder, u"btoke"_s);
                                        ok->setFocus();
                                        QTest::keyClick(ok, Qt::Key_Return);
                                        QTest::keyClick(ok, Qt::Key_Enter);
                                        QTest::keyClick(ok, Qt::Key_Escape);
                                        QTest::keyClick(builder.htmlList(), Qt::Key_Escape);
                                        QVERIFY(builder.isVisible());
                                        QVERIFY(dialogs.shown().empty());
                                        builder.close(); // the close box
                                    });
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(builder.xhtmlList()->isHidden() && builder.htmlList()->isHidden());
        QCOMPARE(builder.htmlList()->currentIndex(), 1);
    }

    void builderPlacement()
    {
        test::FakeDialogs dialogs;
        Tfcreaht builder(m_main);
        QPoint first;
        execWith([&] { return builder.showFor(1, kTags); },
                 [&](QWidget *) {
                     first = builder.pos();
                     builder.reject();
                 });
        const QRect main = m_main->frameGeometry();
        QCOMPARE(first, QPoint(main.x() + (main.width() - builder.frameGeometry().width()) / 2,
                               main.y() + (main.height() - builder.frameGeometry().height()) / 2));
        m_main->move(m_main->pos() + QPoint(120, 80));
        execWith([&] { return builder.showFor(1, kTags); },
                 [&](QWidget *) {
                     QCOMPARE(builder.pos(), first);
                     builder.reject();
                 });
    }

    // ---- a place kept between runs ----

    void keptPlace_data()
    {
        QTest::addColumn<QRect>("kept"); // invalid: nothing kept
        QTest::addColumn<bool>("resizable");
        // The outer rectangle; a null position: centred over the main window.
        QTest::addColumn<QRect>("expected");
        QTest::addRow("on the screen") << QRect(300, 200, 404, 304) << false << QRect(300, 200, 404, 304);
        QTest::addRow("off every screen: as the first time")
            << QRect(-5000, -5000, 404, 304) << false << QRect(0, 0, 404, 304);
        QTest::addRow("nothing kept") << QRect() << false << QRect(0, 0, 404, 304);
        QTest::addRow("a fixed size stays")
            << QRect(300, 200, 500, 350) << false << QRect(300, 200, 404, 304);
        QTest::addRow("a resizable window takes its size")
            << QRect(300, 200, 500, 350) << true << QRect(300, 200, 500, 350);
    }
    void keptPlace()
    {
        QFETCH(QRect, kept);
        QFETCH(bool, resizable);
        QFETCH(QRect, expected);
        QWidget window(nullptr, Qt::Window);
        if (resizable)
            window.resize(400, 300);
        else
            window.setFixedSize(400, 300);
        auto *place = new SecondaryWindow(&window, SecondaryWindow::Escape::Closes);
        int loads = 0;
        std::optional<QRect> saved;
        place->setStore({[&]() -> std::optional<QRect> {
                             ++loads;
                             return kept.isValid() ? std::optional(kept) : std::nullopt;
                         },
                         [&](const QRect &outer) { saved = outer; }});
        place->place(m_main);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // The offscreen platform's frame is 2 pixels wide all round.
        QCOMPARE(window.frameGeometry().size() - window.size(), QSize(4, 4));
        const QRect main = m_main->frameGeometry();
        if (expected.topLeft().isNull())
            expected.moveTopLeft(QPoint(main.x() + (main.width() - expected.width()) / 2,
                                        main.y() + (main.height() - expected.height()) / 2));
        QCOMPARE(window.frameGeometry(), expected);

        // Escape closes the window, and its place is kept then.
        window.move(window.pos() + QPoint(20, 10));
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QCOMPARE(saved, std::optional(expected.translated(20, 10)));
        // Read at the first showing only: later ones are where it was.
        place->place(m_main);
        window.show();
        QCOMPARE(window.frameGeometry(), expected.translated(20, 10));
        QCOMPARE(loads, 1);
    }

    // ---- hint popup ----

    void hintTexts_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("contains");
        QTest::addRow("Title") << 1 << u"Title"_s << u"Suggested not more than 70 characters length."_s;
        QTest::addRow("Keywords keeps its missing space") << 4 << u"Keywords"_s << u"page.The ordering"_s;
        QTest::addRow("Charset keeps its doubled word") << 14 << u"Charset"_s << u"is used to to tell"_s;
        QTest::addRow("Description keeps its spelling") << 3 << u"Description"_s << u"It is recomended"_s;
        QTest::addRow("Content-Language, last slot")
            << 15 << u"Content-Language"_s << u"categorize by language."_s;
        QTest::addRow("group row Meta Name") << 2 << QString() << QString();
        QTest::addRow("group row Meta http-equiv") << 12 << QString() << QString();
        QTest::addRow("below the table") << 0 << QString() << QString();
        QTest::addRow("past the table") << 16 << QString() << QString();
    }
    void hintTexts()
    {
        QFETCH(int, slot);
        QFETCH(QString, caption);
        QFETCH(QString, contains);
        QCOMPARE(Thintf::hintCaption(slot), caption);
        QVERIFY(Thintf::hintText(slot).contains(contains));
        QCOMPARE(Thintf::hintText(slot).isEmpty(), contains.isEmpty());
    }

    void hintsShowAtTheFirstPlace()
    {
        Thintf popup(m_main);
        popup.showHint(1, m_main);
        QVERIFY(popup.isVisible());
        QCOMPARE(popup.captionText(), u"Title"_s);
        const QPoint first = popup.pos();
        const QRect main = m_main->frameGeometry();
        QCOMPARE(first, QPoint(main.x() + (main.width() - 515) / 2, main.y() + (main.height() - 95) / 2));

        popup.hide();
        popup.showHint(3, m_main);
        QCOMPARE(popup.captionText(), u"Description"_s);
        QCOMPARE(popup.hintText(), Thintf::hintText(3));
        QCOMPARE(popup.pos(), first);

        // Still there after the main window has moved.
        popup.hide();
        m_main->move(m_main->pos() + QPoint(150, 100));
        popup.showHint(14, m_main);
        QCOMPARE(popup.captionText(), u"Charset"_s);
        QCOMPARE(popup.pos(), first);
    }

    void hintPlacementStaysOnTheDesktop()
    {
        m_main->setGeometry(-300, -200, 300, 200);
        Thintf popup(m_main);
        popup.showHint(5, m_main);
        const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
        QCOMPARE(popup.pos(), desktop.topLeft());
    }

    void hintClicks_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<bool>("staysOpen");
        QTest::addRow("caption stays open") << u"lbcaption"_s << QPoint(3, 3) << true;
        QTest::addRow("icon stays open") << u"btHintTitle"_s << QPoint(10, 10) << true;
        QTest::addRow("text closes") << u"lbhint"_s << QPoint(20, 5) << false;
        QTest::addRow("free header closes") << u"pnheader"_s << QPoint(400, 10) << false;
        QTest::addRow("body closes") << u"pnhint"_s << QPoint(505, 90) << false;
    }
    void hintClicks()
    {
        QFETCH(QString, target);
        QFETCH(QPoint, at);
        QFETCH(bool, staysOpen);
        Thintf popup(m_main);
        popup.showHint(1, m_main);
        QVERIFY(QTest::qWaitForWindowExposed(&popup));
        click(child<QWidget>(&popup, target), at);
        QCOMPARE(popup.isVisible(), staysOpen);
    }

    void hintLeavesTheFocusWhereItWas()
    {
        QLineEdit input(m_main);
        input.show();
        QApplication::setActiveWindow(m_main);
        input.setFocus();
        QTRY_VERIFY(input.hasFocus());
        Thintf popup(m_main);
        popup.showHint(1, m_main);
        QVERIFY(popup.isVisible());
        QVERIFY(!popup.isActiveWindow());
        QVERIFY(input.hasFocus());
        QTest::keyClicks(&input, u"Fish"_s);
        QCOMPARE(input.text(), u"Fish"_s);
        QVERIFY(popup.isVisible());
    }

    void hintCloses_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("closes");
        QTest::addRow("switching to another program") << u"other program"_s << false;
        QTest::addRow("another window of the program") << u"other window"_s << true;
        QTest::addRow("a click in the main window") << u"click"_s << true;
        QTest::addRow("Escape in the main window") << u"escape"_s << true;
        QTest::addRow("another key in the main window") << u"key"_s << false;
    }
    void hintCloses()
    {
        QFETCH(QString, how);
        QFETCH(bool, closes);
        QLineEdit input(m_main);
        input.show();
        QWidget other;
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        QApplication::setActiveWindow(m_main);
        Thintf popup(m_main);
        popup.showHint(1, m_main);
        QVERIFY(popup.isVisible());
        if (how == u"other program"_s)
            emit qApp->focusWindowChanged(nullptr); // no window of ours has the focus
        else if (how == u"other window"_s)
            QApplication::setActiveWindow(&other);
        else if (how == u"click"_s)
            click(&input);
        else
            QTest::keyClick(&input, how == u"escape"_s ? Qt::Key_Escape : Qt::Key_A);
        QTRY_COMPARE(popup.isVisible(), !closes);
        // A hint button pressed now brings it back.
        popup.showHint(4, m_main);
        QVERIFY(popup.isVisible());
        QCOMPARE(popup.captionText(), u"Keywords"_s);
    }

    // ---- about box ----

    void linkFadesInTwelveTicks()
    {
        FadingLinkLabel link;
        link.resize(249, 12);
        QCOMPARE(link.currentColor(), QColor(0x17, 0x45, 0xAE));
        enter(&link);
        QVERIFY(link.isFading());
        for (int i = 1; i <= 11; ++i) {
            link.tick();
            QCOMPARE(link.level(), 23 * i);
        }
        QVERIFY(link.isFading());
        link.tick();
        QCOMPARE(link.level(), 255);
        QVERIFY(!link.isFading());
        QCOMPARE(link.currentColor(),
                 FadingLinkLabel::blend(QColor(0x17, 0x45, 0xAE), QColor(0xC4, 0x3C, 0x1A), 255));
    }

    void linkFadeTurnsRoundWhereItStands()
    {
        FadingLinkLabel link;
        enter(&link);
        for (int i = 0; i < 5; ++i)
            link.tick();
        QCOMPARE(link.level(), 115);
        leave(&link);
        QList<int> levels;
        while (link.isFading()) {
            link.tick();
            levels << link.level();
        }
        QCOMPARE(levels, (QList<int>{92, 69, 46, 23, 0}));
        QCOMPARE(link.currentColor(), QColor(0x17, 0x45, 0xAE));
    }

    void linkBlend_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QColor>("color");
        QTest::addRow("normal") << 0 << QColor(0x17, 0x45, 0xAE);
        // normal + (hot - normal) * level / 256, truncated towards zero per channel
        QTest::addRow("half way") << 128
                                  << QColor(0x17 + 173 * 128 / 256, 0x45 - 9 * 128 / 256,
                                            0xAE - 148 * 128 / 256);
        QTest::addRow("full") << 255 << QColor(195, 61, 27);
    }
    void linkBlend()
    {
        QFETCH(int, level);
        QFETCH(QColor, color);
        QCOMPARE(FadingLinkLabel::blend(QColor(0x17, 0x45, 0xAE), QColor(0xC4, 0x3C, 0x1A), level), color);
    }

    void linkTimerDrivesTheFade()
    {
        FadingLinkLabel link;
        QElapsedTimer clock;
        clock.start();
        enter(&link);
        QTRY_COMPARE_WITH_TIMEOUT(link.level(), 255, 5000);
        QVERIFY2(clock.elapsed() >= 550, qPrintable(QString::number(clock.elapsed())));
    }

    void linkClickOpensTheAddress_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QStringList>("opened");
        QTest::addRow("left of the text")
            << u"https://example.org/"_s << QPoint(2, 6) << QStringList{u"https://example.org/"_s};
        QTest::addRow("on the text") << u"https://example.org/"_s << QPoint(240, 6)
                                     << QStringList{u"https://example.org/"_s};
        QTest::addRow("no address") << QString() << QPoint(240, 6) << QStringList{};
    }
    void linkClickOpensTheAddress()
    {
        QFETCH(QString, url);
        QFETCH(QPoint, at);
        QFETCH(QStringList, opened);
        Tfinfo about(m_main);
        FadingLinkLabel *link = about.link();
        QCOMPARE(link->url(), QString::fromUtf8(BRINDLE_HOMEPAGE));
        QCOMPARE(link->geometry(), QRect(16, 67, 249, 12));
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        link->setUrl(url);
        QStringList seen;
        link->setUrlOpener([&](const QUrl &u) { seen << u.toString(); });
        click(link, at);
        QCOMPARE(seen, opened);
    }

    // A link is a link from the keyboard too: Tab reaches it, Enter follows
    // it and leaves the box open (the OK button, the default, does not take it).
    void linkFollowedWithTabAndEnter()
    {
        Tfinfo about(m_main);
        FadingLinkLabel *link = about.link();
        QStringList opened;
        link->setUrlOpener([&](const QUrl &u) { opened << u.toString(); });
        execWith(
            [&] {
                about.showOver(m_main);
                return 0;
            },
            [&](QWidget *) {
                auto *ok = child<QPushButton>(&about, u"btOk"_s);
                QTest::keyClick(ok, Qt::Key_Tab);
                QCOMPARE(about.focusWidget(), link);
                QTest::keyClick(link, Qt::Key_Return);
                QCOMPARE(opened, QStringList{link->url()});
                QVERIFY(about.isVisible());
                // A click leaves the focus where it is.
                QTest::keyClick(link, Qt::Key_Tab);
                QCOMPARE(about.focusWidget(), ok);
                click(link, QPoint(240, 6));
                QCOMPARE(about.focusWidget(), ok);
                QCOMPARE(opened.size(), 2);
                click(ok);
            });
        QVERIFY(about.isHidden());
    }

    void aboutBox()
    {
        Tfinfo about(m_main);
        QPoint first;
        execWith(
            [&] {
                about.showOver(m_main);
                return 0;
            },
            [&](QWidget *modal) {
                QCOMPARE(modal, &about);
                first = about.pos();
                auto *ok = child<QPushButton>(&about, u"btOk"_s);
                QCOMPARE(about.focusWidget(), ok);
                QTest::keyClick(&about, Qt::Key_Escape);
                QVERIFY(about.isVisible());
                // Only the OK button takes the focus, and the link from the keyboard.
                for (QWidget *w : about.findChildren<QWidget *>())
                    QVERIFY2(w == ok || w->focusPolicy() == (w == about.link() ? Qt::TabFocus : Qt::NoFocus),
                             qPrintable(w->objectName()));
                about.move(first + QPoint(30, 40)); // the user drags it
                click(ok);
            });
        QVERIFY(about.isHidden());
        const QRect main = m_main->frameGeometry();
        QCOMPARE(first, QPoint(main.x() + (main.width() - about.frameGeometry().width()) / 2,
                               main.y() + (main.height() - about.frameGeometry().height()) / 2));

        m_main->move(m_main->pos() + QPoint(-100, 60));
        execWith(
            [&] {
                about.showOver(m_main);
                return 0;
            },
            [&](QWidget *) {
                QCOMPARE(about.pos(), first + QPoint(30, 40));
                QTest::keyClick(child<QPushButton>(&about, u"btOk"_s), Qt::Key_Space);
            });
        QVERIFY(about.isHidden());
    }
};

QTEST_MAIN(TestPageWindows)
#include "tst_secondarywindows.moc"
