#include "app/appwindows.h"
#include "app/startup.h"
#include "buildinfo.h"
#include "common/fakedialogs.h"
#include "ui/aboutbox.h"
#include "ui/hintpopup.h"
#include "ui/mainwindow.h"
#include "ui/pagebuilderwindow.h"
#include "ui/tagsviewer.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QToolTip>

using namespace Qt::StringLiterals;
using namespace brindle;

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { app::applyApplicationSettings(*qApp); }

    void toolTipsEverywhere()
    {
        QCOMPARE(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 200);
        QCOMPARE(QToolTip::palette().color(QPalette::ToolTipBase), QColor(0xFF, 0xF8, 0x99));
        QCOMPARE(QApplication::applicationName(), u"Brindle"_s);
        QVERIFY(!QApplication::windowIcon().isNull());
    }

    void versionAndDesktopEntry()
    {
        QCOMPARE(QApplication::applicationVersion(), QStringLiteral(BRINDLE_VERSION));
        // The windows are matched with the installed desktop entry by its name.
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral(BRINDLE_APP_ID));
        QVERIFY(QFile::exists(QStringLiteral(BRINDLE_BUILT_DATA "/" BRINDLE_APP_ID ".desktop")));

        test::FakeDialogs fake;
        std::unique_ptr<ui::Tovalinform> main = app::createWindows();
        const auto *name = app::windows().finfo->findChild<QLabel *>(u"lbname"_s);
        QVERIFY(name);
        QCOMPARE(name->text(), u"Brindle v"_s + QStringLiteral(BRINDLE_VERSION));
        if (QStringLiteral(BRINDLE_VERSION) == u"1.0"_s)
            QCOMPARE(name->text(), u"Brindle v1.0"_s);
    }

    void startUpLoadsNoImagePlugin()
    {
        // Guessing an image's format loads every image format plug-in on the
        // system; nothing on the first screen may need that.
        const auto pluginsLoaded = [] {
            QFile maps(u"/proc/self/maps"_s);
            return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/imageformats/");
        };
        test::FakeDialogs fake;
        std::unique_ptr<ui::Tovalinform> main = app::createWindows();
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        main->grab(); // paints every widget of the first screen
        QVERIFY(!pluginsLoaded());

        // The menu bar's overflow arrow, fetched late, is still there.
        const QIcon arrow = QApplication::style()->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
        QVERIFY(!arrow.pixmap(16).isNull());
        main.reset();
    }

    void windowsCreatedOnceInOrderAndHidden()
    {
        test::FakeDialogs fake;
        std::unique_ptr<ui::Tovalinform> main = app::createWindows();
        const app::AppWindows &w = app::windows();
        QCOMPARE(w.ovalinform, main.get());
        QVERIFY(w.fview && w.hintf && w.fcreaht && w.finfo);
        // Created in the program's order: each a child of the main window, in sequence.
        QObjectList order;
        for (QObject *child : main->children()) {
            if (child == w.fview || child == w.hintf || child == w.fcreaht || child == w.finfo)
                order << child;
        }
        QCOMPARE(order, (QObjectList{w.fview, w.hintf, w.fcreaht, w.finfo}));
        for (QWidget *window : {static_cast<QWidget *>(w.fview), static_cast<QWidget *>(w.hintf),
                                static_cast<QWidget *>(w.fcreaht), static_cast<QWidget *>(w.finfo)})
            QVERIFY(!window->isVisible());
        // A freshly started profile is new and unchanged: closing asks nothing.
        main->show();
        QVERIFY(main->close());
        QVERIFY(fake.shown().empty());
        main.reset();
        QVERIFY(!app::windows().fview);
    }

    void viewerOpensTheBuilderForItsPageMode_data()
    {
        QTest::addColumn<int>("pageMode");
        QTest::addColumn<bool>("xhtml");
        QTest::addRow("HTML") << 1 << false;
        QTest::addRow("XHTML") << 2 << true;
        QTest::addRow("any other mode is XHTML") << 0 << true;
    }
    void viewerOpensTheBuilderForItsPageMode()
    {
        QFETCH(int, pageMode);
        QFETCH(bool, xhtml);
        test::FakeDialogs fake;
        std::unique_ptr<ui::Tovalinform> main = app::createWindows();
        ui::Tfview *viewer = app::windows().fview;
        ui::Tfcreaht *builder = app::windows().fcreaht;
        viewer->appendLine(u"<title>x</title>"_s);
        viewer->setPageMode(pageMode);
        bool sawBuilder = false, xhtmlShown = false, htmlShown = false;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, [&] {
            if (QApplication::activeModalWidget() != builder)
                return;
            poll.stop();
            sawBuilder = true;
            xhtmlShown = builder->xhtmlList()->isVisible();
            htmlShown = builder->htmlList()->isVisible();
            builder->close();
        });
        poll.start();
        viewer->btHtmlClick();
        QVERIFY(sawBuilder);
        QCOMPARE(xhtmlShown, xhtml);
        QCOMPARE(htmlShown, !xhtml);
        QVERIFY(fake.shown().empty());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
