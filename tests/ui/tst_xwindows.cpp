// The windows under a real X server and window manager (run by
// xvfb_windows.sh): where they land, which stays in front, where the focus
// and the typing go. Keys and clicks come from xdotool, as a user's would,
// and what the window manager did is read back from the X server.

#include "app/appwindows.h"
#include "app/windowplacement.h"
#include "common/fakedialogs.h"
#include "common/modal.h"
#include "tags/metataggenerator.h"
#include "ui/checkwindow.h"
#include "ui/hintpopup.h"
#include "ui/mainwindow.h"
#include "ui/searchpreviewwindow.h"
#include "ui/tagsviewer.h"
#include "widgets/tagchecklist.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using namespace brindle;

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        qWarning("%s %s failed: %s", qPrintable(program), qPrintable(arguments.join(u' ')),
                 process.readAllStandardError().constData());
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

void xdotool(const QStringList &arguments)
{
    run(u"xdotool"_s, arguments);
}

QString id(const QWidget *window)
{
    return QString::number(window->winId());
}

// The client windows from bottom to top, as the window manager stacks them.
QList<WId> stacking()
{
    QList<WId> ids;
    const QString out = run(u"xprop"_s, {u"-root"_s, u"_NET_CLIENT_LIST_STACKING"_s});
    static const QRegularExpression hex(u"0x[0-9a-f]+"_s);
    for (auto it = hex.globalMatch(out); it.hasNext();)
        ids << WId(it.next().captured().toULongLong(nullptr, 16));
    return ids;
}

bool isAbove(const QWidget *upper, const QWidget *lower)
{
    const QList<WId> order = stacking();
    const qsizetype u = order.indexOf(upper->winId()), l = order.indexOf(lower->winId());
    return u >= 0 && l >= 0 && u > l;
}

bool isTransient(const QWidget *window)
{
    return !run(u"xprop"_s, {u"-id"_s, id(window), u"WM_TRANSIENT_FOR"_s}).contains(u"not found"_s);
}

// The window is on show and the window manager has framed it.
bool framed(const QWidget *window)
{
    if (!window->isVisible())
        return false;
    const QString info = run(u"xwininfo"_s, {u"-id"_s, id(window)});
    const QString extents = run(u"xprop"_s, {u"-id"_s, id(window), u"_NET_FRAME_EXTENTS"_s});
    return info.contains(u"IsViewable"_s) && extents.contains(u'=') && !extents.contains(u"= 0, 0, 0, 0"_s);
}

// The outer rectangle as the X server has it: the client's place less the
// frame extents the window manager announces.
QRect xFrame(const QWidget *window)
{
    const QString info = run(u"xwininfo"_s, {u"-id"_s, id(window)});
    const auto number = [&info](const QString &label) {
        const QRegularExpression re(label + u": *(-?\\d+)"_s);
        return re.match(info).captured(1).toInt();
    };
    QRect r(number(u"Absolute upper-left X"_s), number(u"Absolute upper-left Y"_s), number(u"Width"_s),
            number(u"Height"_s));
    const QString extents = run(u"xprop"_s, {u"-id"_s, id(window), u"_NET_FRAME_EXTENTS"_s});
    const QStringList values = extents.section(u'=', 1).split(u',', Qt::SkipEmptyParts);
    if (values.size() == 4)
        r.adjust(-values[0].trimmed().toInt(), -values[2].trimmed().toInt(), values[1].trimmed().toInt(),
                 values[3].trimmed().toInt());
    return r;
}

void clickAt(const QWidget *widget)
{
    const QPoint at = widget->mapToGlobal(widget->rect().center());
    xdotool(
        {u"mousemove"_s, u"--sync"_s, QString::number(at.x()), QString::number(at.y()), u"click"_s, u"1"_s});
}

// Asks the window manager to activate the window, as a click on it would,
// until Qt has it as the active window: a request of the program's own,
// still on its way, may take the activation elsewhere first.
bool activate(const QWidget *window)
{
    for (int i = 0; i < 10; ++i) {
        xdotool({u"windowactivate"_s, id(window)});
        if (QTest::qWaitFor([window] { return window->isActiveWindow(); }, 500))
            return true;
    }
    return false;
}

// Runs `open`, which shows a window modally, and `step` on that window once
// it is up; the window is closed after the step.
void inModal(const std::function<void()> &open, const std::function<void(QWidget *)> &step)
{
    bool ran = false;
    test::execWith(
        [&] {
            open();
            return 0;
        },
        [&](QWidget *modal) {
            ran = true;
            step(modal);
            modal->close();
        },
        20000);
    QVERIFY(ran);
}

// The main window with its windows as the program makes them.
struct Program
{
    test::FakeDialogs fake;
    std::unique_ptr<ui::Tovalinform> main = app::createWindows();

    explicit Program(QPoint at = {})
    {
        main->move(at);
        main->show();
        // Framed, and in place as far as Qt knows too.
        if (!QTest::qWaitFor(
                [this, at] {
                    return framed(main.get()) && xFrame(main.get()).topLeft() == at &&
                           main->windowHandle()->frameGeometry() == xFrame(main.get());
                },
                10000))
            qFatal("main window not framed");
        if (!activate(main.get()))
            qFatal("main window not activated");
    }
    QLineEdit *edit(int tag) const { return static_cast<QLineEdit *>(main->input(tag)); }
    void tick(int tag) { main->tagList()->SetRowChecked(tags::listRowOfTag(tag), true); }
    QAction *menuItem(const QString &name) const
    {
        return app::windows().fview->findChild<QMenu *>(u"popht"_s)->findChild<QAction *>(name);
    }
    void fill()
    {
        edit(tags::Title)->setText(u"Fish & Chips"_s);
        edit(tags::Description)->setText(u"Fresh fish and hand-cut chips, fried to order every day."_s);
        tick(tags::Title);
        tick(tags::Description);
    }
    void createTags() { main->CreateTags(tags::TagMode::Html); }
};

QString settingsFile()
{
    return app::TOvCCompRegWdwState::storeFile(app::StoreRoot::User);
}

const QString kMainGroup = u"Software/Ovalin/Freeware/Brindle 1.0/Main Window"_s;
const QString kPreviewGroup = u"Software/Ovalin/Freeware/Brindle 1.0/Search Preview"_s;

} // namespace

class TestXWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), u"xcb"_s); }
    void init() { QFile::remove(settingsFile()); }

    void viewerShowsAgainWhereItWas()
    {
        Program p;
        p.fill();
        // Closed at once, before the window manager has framed it; then
        // twice after it has.
        inModal([&] { p.createTags(); }, [](QWidget *) {});
        QList<QRect> places;
        for (int i = 0; i < 2; ++i) {
            inModal([&] { p.createTags(); },
                    [&](QWidget *viewer) {
                        QVERIFY(QTest::qWaitFor([&] { return framed(viewer); }, 10000));
                        places << xFrame(viewer);
                    });
        }
        QCOMPARE(places.size(), 2);
        // Centred over the main window, as at its first showing, every time.
        const QRect main = xFrame(p.main.get());
        QCOMPARE(places[0].topLeft(), QPoint(main.left() + (main.width() - places[0].width()) / 2,
                                             main.top() + (main.height() - places[0].height()) / 2));
        QCOMPARE(places[1], places[0]);
    }

    void previewAndCheckBesideTheMainWindow()
    {
        Program p;
        p.fill();
        ui::SearchPreviewWindow *preview = nullptr;
        ui::CheckWindow *check = nullptr;
        inModal([&] { p.createTags(); },
                [&](QWidget *viewer) {
                    QVERIFY(QTest::qWaitFor([&] { return framed(viewer); }, 10000));
                    // Opened from the viewer's menu, each comes in front of it.
                    p.menuItem(u"SearchPreview1"_s)->trigger();
                    preview = app::windows().searchPreview;
                    QVERIFY(preview);
                    QTRY_VERIFY_WITH_TIMEOUT(framed(preview) && isAbove(preview, viewer), 10000);
                    p.menuItem(u"Check1"_s)->trigger();
                    check = app::windows().checkWindow;
                    QVERIFY(check);
                    QTRY_VERIFY_WITH_TIMEOUT(framed(check) && isAbove(check, viewer), 10000);
                });
        QVERIFY(preview && check);
        QVERIFY(preview->isVisible() && check->isVisible());

        // Beside the main window on its screen, apart from it and from each other.
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect main = xFrame(p.main.get()), previewAt = xFrame(preview), checkAt = xFrame(check);
        const auto where = [&] {
            QString text;
            QDebug(&text) << "main" << main << "preview" << previewAt << "check" << checkAt;
            return text;
        };
        QVERIFY2(screen.contains(previewAt) && screen.contains(checkAt), qPrintable(where()));
        QVERIFY2(!previewAt.intersects(main) && !checkAt.intersects(main), qPrintable(where()));
        QVERIFY2(!previewAt.intersects(checkAt), qPrintable(where()));

        // Ordinary windows: the main window, activated, comes in front of them.
        QVERIFY(!isTransient(preview) && !isTransient(check));
        // (Activated again while an activation of the program's own, from
        // the viewer's closing, may still be on its way.)
        QVERIFY(QTest::qWaitFor(
            [&] {
                return activate(p.main.get()) && isAbove(p.main.get(), preview) &&
                       isAbove(p.main.get(), check);
            },
            10000));

        // Escape closes each.
        for (QWidget *window : {static_cast<QWidget *>(preview), static_cast<QWidget *>(check)}) {
            QVERIFY(activate(window));
            xdotool({u"key"_s, u"Escape"_s});
            QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 5000);
        }
    }

    void previewRemembersWhereTheUserPutIt()
    {
        {
            // The main window's values, as a run before this one left them.
            QSettings settings(settingsFile(), QSettings::IniFormat);
            settings.beginGroup(kMainGroup);
            for (const auto &[name, value] : {std::pair{u"Left"_s, 5},
                                              {u"Top"_s, 6},
                                              {u"Width"_s, 682},
                                              {u"Height"_s, 522},
                                              {u"State"_s, 0}})
                settings.setValue(name, value);
        }
        const QByteArray before = [] {
            QFile f(settingsFile());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QRect moved;
        {
            Program p;
            p.fill();
            p.menuItem(u"SearchPreview1"_s)->trigger();
            ui::SearchPreviewWindow *preview = app::windows().searchPreview;
            QTRY_VERIFY_WITH_TIMEOUT(framed(preview), 10000);
            const QRect first = xFrame(preview);
            xdotool({u"windowmove"_s, u"--sync"_s, id(preview), u"600"_s, u"640"_s});
            QTRY_VERIFY_WITH_TIMEOUT(xFrame(preview) != first &&
                                         preview->windowHandle()->frameGeometry() == xFrame(preview),
                                     5000);
            moved = xFrame(preview);
            QVERIFY(activate(preview));
            xdotool({u"key"_s, u"Escape"_s});
            QTRY_VERIFY_WITH_TIMEOUT(!preview->isVisible(), 5000);

            // Shown again in the same run: where the user put it.
            p.menuItem(u"SearchPreview1"_s)->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(framed(preview), 10000);
            QCOMPARE(xFrame(preview), moved);
        }
        QSettings settings(settingsFile(), QSettings::IniFormat);
        settings.beginGroup(kPreviewGroup);
        QCOMPARE(settings.value(u"Left"_s).toInt(), moved.left());
        QCOMPARE(settings.value(u"Top"_s).toInt(), moved.top());
        settings.endGroup();
        // The main window's group is as it was, line for line.
        QFile f(settingsFile());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray after = f.readAll();
        for (const QByteArray &line : before.split('\n'))
            QVERIFY2(after.contains(line), line.constData());

        // The next run opens it there.
        Program p;
        p.menuItem(u"SearchPreview1"_s)->trigger();
        ui::SearchPreviewWindow *preview = app::windows().searchPreview;
        QTRY_VERIFY_WITH_TIMEOUT(framed(preview), 10000);
        QCOMPARE(xFrame(preview), moved);
    }

    void hintLeavesTheTypingInTheInput()
    {
        Program p({40, 40});
        QLineEdit *title = p.edit(tags::Title);
        clickAt(title);
        QTRY_VERIFY_WITH_TIMEOUT(title->hasFocus(), 5000);
        clickAt(p.main->findChild<QWidget *>(u"btHintTitle"_s));
        ui::Thintf *hint = app::windows().hintf;
        QTRY_VERIFY_WITH_TIMEOUT(hint->isVisible(), 5000);
        xdotool({u"type"_s, u"--delay"_s, u"20"_s, u"Fish"_s});
        QTRY_COMPARE_WITH_TIMEOUT(title->text(), u"Fish"_s, 5000);
        QVERIFY(hint->isVisible());
        QVERIFY2(hint->lengthText().startsWith(u"Length: 4 characters"_s), qPrintable(hint->lengthText()));

        // A click elsewhere in the program closes it; F1 in an input opens that input's hint.
        QLineEdit *description = p.edit(tags::Description);
        clickAt(description);
        QTRY_VERIFY_WITH_TIMEOUT(!hint->isVisible() && description->hasFocus(), 5000);
        xdotool({u"key"_s, u"F1"_s});
        QTRY_VERIFY_WITH_TIMEOUT(hint->isVisible(), 5000);
        QCOMPARE(hint->captionText(), u"Description"_s);
        xdotool({u"type"_s, u"--delay"_s, u"20"_s, u"Chips"_s});
        QTRY_COMPARE_WITH_TIMEOUT(description->text(), u"Chips"_s, 5000);
    }
};

QTEST_MAIN(TestXWindows)
#include "tst_xwindows.moc"
