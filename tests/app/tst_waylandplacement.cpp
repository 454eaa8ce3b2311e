// The placement under Wayland, where a program is not told where its window
// is: a session there keeps the position stored under X11, and stores the
// outer size as X11 does, maximized or not. Run by wayland_windowplacement.sh
// inside a headless weston.

#include "app/shell.h"
#include "app/windowplacement.h"
#include "common/fakedialogs.h"

#include <QFile>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kGroup = u"Software/Ovalin/Freeware/Brindle 1.0/Main Window"_s;
constexpr QSize kClient(300, 200);

std::unique_ptr<QWidget> makeWindow(bool fixed)
{
    auto window = std::make_unique<QWidget>();
    window->setObjectName(u"ovalinform"_s);
    window->setGeometry(QRect(QPoint(100, 120), kClient));
    if (fixed)
        window->setFixedSize(kClient); // as the main window is
    return window;
}

} // namespace

class TestWaylandPlacement : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString confFile() const { return m_dir->path() + u"/Ovalin/Brindle.conf"_s; }

    void store(const QMap<QString, int> &values)
    {
        QSettings settings(confFile(), QSettings::IniFormat);
        settings.beginGroup(kGroup);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            settings.setValue(it.key(), it.value());
    }

    QMap<QString, int> stored() const
    {
        QMap<QString, int> values;
        QSettings settings(confFile(), QSettings::IniFormat);
        settings.beginGroup(kGroup);
        for (const QString &key : settings.childKeys())
            values.insert(key, settings.value(key).toInt());
        return values;
    }

    // The window's frame as this compositor and Qt's decoration draw it.
    static QMargins frame()
    {
        auto window = makeWindow(false);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return {};
        return window->windowHandle()->frameMargins();
    }

    // Shows a window with the placement attached, waits until the stored
    // state is in force, and ends it as the program's exit does.
    static void session(bool fixed, int state)
    {
        brindle::test::FakeDialogs fake;
        auto window = makeWindow(fixed);
        brindle::app::attachPlacement(window.get());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        if (state == 2)
            QTRY_VERIFY(window->isMaximized() && window->width() > kClient.width());
        else
            QTest::qWait(200); // the restore follows the first exposure
        window->close();
        window.reset();
        QVERIFY(fake.shown().empty());
    }

private slots:
    void initTestCase() { QVERIFY(QGuiApplication::platformName().startsWith(u"wayland"_s)); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->path()));
    }

    void firstRunStoresSizeAndStateOnly()
    {
        const QMargins margins = frame();
        session(false, 0);
        const QSize outer = kClient.grownBy(margins);
        QCOMPARE(stored(), (QMap<QString, int>{
                               {u"Width"_s, outer.width()}, {u"Height"_s, outer.height()}, {u"State"_s, 0}}));
    }

    // What an X11 session stored comes back unchanged from a Wayland one:
    // the position untouched, the outer size the same, normal or maximized.
    void keepsWhatX11Stored_data()
    {
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<int>("state");
        QTest::addRow("normal") << false << 0;
        QTest::addRow("maximized") << false << 2;
        QTest::addRow("fixed size, normal") << true << 0;
        QTest::addRow("fixed size, maximized") << true << 2;
    }
    void keepsWhatX11Stored()
    {
        QFETCH(bool, fixed);
        QFETCH(int, state);
        // A fixed-size window keeps its size; any other takes the stored one.
        const QSize outer = fixed ? kClient.grownBy(frame()) : QSize(402, 321);
        const QMap<QString, int> x11{{u"Left"_s, 345},
                                     {u"Top"_s, 267},
                                     {u"Width"_s, outer.width()},
                                     {u"Height"_s, outer.height()},
                                     {u"State"_s, state}};
        store(x11);
        session(fixed, state);
        QCOMPARE(stored(), x11);
        // And the next Wayland session does the same again.
        session(fixed, state);
        QCOMPARE(stored(), x11);
    }
};

QTEST_MAIN(TestWaylandPlacement)
#include "tst_waylandplacement.moc"
