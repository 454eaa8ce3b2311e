#include "app/shell.h"
#include "app/windowplacement.h"
#include "base/error.h"
#include "common/fakedialogs.h"
#include "ui/mainwindow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <limits>
#include <memory>

using namespace Qt::StringLiterals;
using brindle::app::StoreRoot;
using brindle::app::TOvCCompCustomWdwState;
using brindle::app::TOvCCompRegWdwState;

namespace {

// The stand-in main window's built-in client rectangle.
constexpr QRect kBuiltIn(100, 120, 300, 200);
// Expected outer rectangles are given per value; kSame stands for the
// built-in one.
constexpr int kSame = std::numeric_limits<int>::min();
const QString kGroup = u"Software/Ovalin/Freeware/Brindle 1.0/Main Window"_s;

std::unique_ptr<QWidget> makeWindow()
{
    auto window = std::make_unique<QWidget>();
    window->setObjectName(u"ovalinform"_s);
    window->setGeometry(kBuiltIn);
    return window;
}

// Shows the window and lets the posted state change arrive.
void show(QWidget &window)
{
    window.show();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

QRect available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

} // namespace

class TestPlacement : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString confFile() const { return m_dir->path() + u"/Ovalin/Brindle.conf"_s; }

    // Writes the key as a person would edit it by hand.
    void writeKey(const QByteArray &values, const QString &group = kGroup)
    {
        QDir().mkpath(m_dir->path() + u"/Ovalin"_s);
        QFile file(confFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write('[' + group.toUtf8() + "]\n" + values);
    }

    QMap<QString, QString> stored(const QString &group = kGroup) const
    {
        QMap<QString, QString> values;
        QSettings settings(confFile(), QSettings::IniFormat);
        settings.beginGroup(group);
        for (const QString &key : settings.childKeys())
            values.insert(key, settings.value(key).toString());
        return values;
    }

    static QMap<QString, QString> values(const QRect &outer, int state)
    {
        return {{u"Left"_s, QString::number(outer.x())},
                {u"Top"_s, QString::number(outer.y())},
                {u"Width"_s, QString::number(outer.width())},
                {u"Height"_s, QString::number(outer.height())},
                {u"State"_s, QString::number(state)}};
    }

    // The built-in outer rectangle: the client one with the platform's frame.
    QRect builtInFrame()
    {
        auto window = makeWindow();
        window->show();
        return window->frameGeometry();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->path()));
    }

    void firstRunKeepsBuiltInPlaceAndStoresAllFive()
    {
        brindle::test::FakeDialogs fake;
        auto window = makeWindow();
        brindle::app::attachPlacement(window.get());
        show(*window);
        QCOMPARE(window->geometry(), kBuiltIn);
        const QRect outer = window->frameGeometry();
        QVERIFY(outer != kBuiltIn); // the stored size is the outer one
        QVERIFY(!QFile::exists(confFile()));
        window.reset();
        QCOMPARE(stored(), values(outer, 0));
        QVERIFY(fake.shown().empty());
    }

    void restore_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<int>("options");
        QTest::addColumn<QList<int>>("frame"); // left, top, width, height
        QTest::addColumn<int>("state");
        const QRect a = available();
        const int none = 0;
        const int right = a.right() + 1 - 404;
        const int bottom = a.bottom() + 1 - 304;
        QTest::addRow("position and outer size")
            << QByteArray("Left=200\nTop=150\nWidth=404\nHeight=304\nState=0\n") << none
            << QList<int>{200, 150, 404, 304} << 0;
        QTest::addRow("only Left moves only the left edge")
            << QByteArray("Left=50\n") << none << QList<int>{50, kSame, kSame, kSame} << 0;
        QTest::addRow("a signed Left")
            << QByteArray("Left=+50\n") << none << QList<int>{50, kSame, kSame, kSame} << 0;
        QTest::addRow("only State") << QByteArray("State=2\n") << none
                                    << QList<int>{kSame, kSame, kSame, kSame} << 2;
        QTest::addRow("State 2 maximizes")
            << QByteArray("Left=200\nTop=150\nWidth=404\nHeight=304\nState=2\n") << none
            << QList<int>{200, 150, 404, 304} << 2;
        QTest::addRow("unknown State does nothing")
            << QByteArray("State=7\n") << none << QList<int>{kSame, kSame, kSame, kSame} << 0;
        QTest::addRow("other values are ignored")
            << QByteArray("Colour=blue\nLeft=200\n") << none << QList<int>{200, kSame, kSame, kSame} << 0;
        QTest::addRow("off every screen comes onto the nearest")
            << QByteArray("Left=5000\nTop=-4000\nWidth=404\nHeight=304\n") << none
            << QList<int>{right, a.top(), 404, 304} << 0;
        QTest::addRow("extreme values come onto the screen")
            << QByteArray("Left=2147483647\nTop=-2147483648\nWidth=404\nHeight=304\n") << none
            << QList<int>{right, a.top(), 404, 304} << 0;
        QTest::addRow("woIgnoreSize keeps the built-in size")
            << QByteArray("Left=200\nTop=150\nWidth=404\nHeight=304\n")
            << int(TOvCCompCustomWdwState::woIgnoreSize) << QList<int>{200, 150, kSame, kSame} << 0;
        QTest::addRow("woIgnoreState keeps it normal")
            << QByteArray("Left=200\nTop=150\nWidth=404\nHeight=304\nState=2\n")
            << int(TOvCCompCustomWdwState::woIgnoreState) << QList<int>{200, 150, 404, 304} << 0;
        QTest::addRow("woFitWorkArea shrinks to the work area")
            << QByteArray("Left=10\nTop=10\nWidth=5000\nHeight=4000\n")
            << int(TOvCCompCustomWdwState::woFitWorkArea) << QList<int>{a.x(), a.y(), a.width(), a.height()}
            << 0;
        const QByteArray overhang = "Left=" + QByteArray::number(a.right() - 200) +
                                    "\nTop=" + QByteArray::number(a.bottom() - 100) + '\n';
        QTest::addRow("woFitWorkArea pulls an overhang back")
            << overhang + "Width=404\nHeight=304\n"
            << int(TOvCCompCustomWdwState::woFitWorkArea) << QList<int>{right, bottom, 404, 304} << 0;
        QTest::addRow("without woFitWorkArea the overhang stays")
            << overhang + "Width=404\nHeight=304\n"
            << none << QList<int>{a.right() - 200, a.bottom() - 100, 404, 304} << 0;
        QTest::addRow("woFitWorkArea with woIgnoreSize moves only")
            << overhang + "Width=5000\nHeight=4000\n"
            << int(TOvCCompCustomWdwState::woFitWorkArea | TOvCCompCustomWdwState::woIgnoreSize)
            << QList<int>{-1, -1, kSame, kSame} << 0; // -1: against the right and bottom edges
    }
    void restore()
    {
        QFETCH(QByteArray, key);
        QFETCH(int, options);
        QFETCH(QList<int>, frame);
        QFETCH(int, state);
        const QRect builtIn = builtInFrame();
        const QMargins margins(kBuiltIn.left() - builtIn.left(), kBuiltIn.top() - builtIn.top(),
                               builtIn.right() - kBuiltIn.right(), builtIn.bottom() - kBuiltIn.bottom());
        const int width = frame[2] == kSame ? builtIn.width() : frame[2];
        const int height = frame[3] == kSame ? builtIn.height() : frame[3];
        const auto edge = [](int value, int same, int far) {
            return value == kSame ? same : value == -1 ? far : value;
        };
        const QRect expected(edge(frame[0], builtIn.x(), available().right() + 1 - width),
                             edge(frame[1], builtIn.y(), available().bottom() + 1 - height), width, height);
        writeKey(key);
        brindle::test::FakeDialogs fake;
        auto window = makeWindow();
        auto *placement = brindle::app::attachPlacement(window.get());
        placement->setOptions(TOvCCompCustomWdwState::PlacementOptions(options));
        show(*window);
        QVERIFY2(fake.shown().empty(), qPrintable(fake.shown().empty() ? QString() : fake.last().text));
        if (state == 2) {
            QTRY_VERIFY(window->isMaximized());
            QCOMPARE(window->normalGeometry().marginsAdded(margins), expected);
        } else {
            QVERIFY(!window->isMaximized());
            QVERIFY(!window->isMinimized());
            QCOMPARE(window->frameGeometry(), expected);
        }
    }

    void minimizedAfterTheDelay()
    {
        writeKey("Left=200\nTop=150\nWidth=404\nHeight=304\nState=1\n");
        auto window = makeWindow();
        brindle::app::attachPlacement(window.get());
        QElapsedTimer clock;
        clock.start();
        show(*window);
        // Placed and shown normal first, then minimized.
        QCOMPARE(window->frameGeometry(), QRect(200, 150, 404, 304));
        QVERIFY(!window->isMinimized());
        QTRY_VERIFY_WITH_TIMEOUT(window->isMinimized(), 2000);
        QVERIFY2(clock.elapsed() >= TOvCCompCustomWdwState::kDefaultMinimizeDelay,
                 qPrintable(QString::number(clock.elapsed())));
    }

    void badValueRestoresNothing_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QString>("report");
        QTest::addRow("Left as text") << QByteArray("Left=abc\n") << u"Invalid data type for 'Left'."_s;
        QTest::addRow("Left as a list") << QByteArray("Left=1,2\n") << u"Invalid data type for 'Left'."_s;
        QTest::addRow("Left empty") << QByteArray("Left=\n") << u"Invalid data type for 'Left'."_s;
        QTest::addRow("Left a lone sign") << QByteArray("Left=-\n") << u"Invalid data type for 'Left'."_s;
        QTest::addRow("Left with a letter after its digits")
            << QByteArray("Left=12a\n") << u"Invalid data type for 'Left'."_s;
        QTest::addRow("Left with a fraction")
            << QByteArray("Left=1.5\n") << u"Invalid data type for 'Left'."_s;
        QTest::addRow("Left in hexadecimal")
            << QByteArray("Left=0x10\n") << u"Invalid data type for 'Left'."_s;
        QTest::addRow("Left above 32 bits")
            << QByteArray("Left=2147483648\n") << u"Failed to get data for 'Left'."_s;
        QTest::addRow("Left below 32 bits")
            << QByteArray("Left=-2147483649\n") << u"Failed to get data for 'Left'."_s;
        QTest::addRow("Left beyond 64 bits")
            << QByteArray("Left=99999999999999999999\n") << u"Failed to get data for 'Left'."_s;
        QTest::addRow("bad Top after a good Left applies neither")
            << QByteArray("Left=50\nTop=x\n") << u"Invalid data type for 'Top'."_s;
        QTest::addRow("bad State after good values applies none")
            << QByteArray("Left=200\nTop=150\nWidth=404\nHeight=304\nState=max\n")
            << u"Invalid data type for 'State'."_s;
    }
    void badValueRestoresNothing()
    {
        QFETCH(QByteArray, key);
        QFETCH(QString, report);
        writeKey(key);
        brindle::test::FakeDialogs fake;
        auto window = makeWindow();
        brindle::app::attachPlacement(window.get());
        show(*window);
        QCOMPARE(fake.kinds(), QStringList{u"error"_s});
        QCOMPARE(fake.last().caption, u"Brindle"_s);
        QCOMPARE(fake.last().text, report);
        QCOMPARE(window->geometry(), kBuiltIn);
        QTest::qWait(150);
        QVERIFY(!window->isMaximized() && !window->isMinimized());
    }

    void movedWindowReopensInPlace()
    {
        auto window = makeWindow();
        brindle::app::attachPlacement(window.get());
        show(*window);
        window->move(250, 140); // moves the frame's corner there
        window->resize(350, 260);
        const QRect outer = window->frameGeometry();
        QCOMPARE(outer.topLeft(), QPoint(250, 140));
        window.reset();
        QCOMPARE(stored(), values(outer, 0));

        window = makeWindow();
        brindle::app::attachPlacement(window.get());
        show(*window);
        QCOMPARE(window->frameGeometry(), outer);
        QCOMPARE(window->size(), QSize(350, 260));
    }

    void storesTheNormalRectangle_data()
    {
        QTest::addColumn<Qt::WindowState>("windowState");
        QTest::addColumn<int>("state");
        QTest::addRow("maximized") << Qt::WindowMaximized << 2;
        QTest::addRow("minimized") << Qt::WindowMinimized << 1;
    }
    void storesTheNormalRectangle()
    {
        QFETCH(Qt::WindowState, windowState);
        QFETCH(int, state);
        auto window = makeWindow();
        brindle::app::attachPlacement(window.get());
        show(*window);
        window->move(210, 130);
        const QRect normal = window->frameGeometry();
        window->setWindowState(windowState);
        QTRY_COMPARE(window->windowState(), Qt::WindowStates(windowState));
        window->close(); // closing first, as at the end of a run
        window.reset();
        QCOMPARE(stored(), values(normal, state));
    }

    void fixedSizeWindowOpensMaximizedAndGetsItsSizeBack()
    {
        writeKey("Left=200\nTop=150\nWidth=404\nHeight=304\nState=2\n");
        auto window = makeWindow();
        // Like the main window: a fixed size and no maximize button, which
        // on X11 also means the window manager offers no maximizing.
        window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint);
        window->setFixedSize(kBuiltIn.size());
        const Qt::WindowFlags flags = window->windowFlags();
        brindle::app::attachPlacement(window.get());
        show(*window);
        QTRY_VERIFY(window->isMaximized());
        QTRY_COMPARE(window->frameGeometry().size(), available().size());
        // Maximized, it may be as large as the screen and the window manager may maximize it.
        QCOMPARE(window->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        QVERIFY(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(window->windowHandle()->flags().testFlag(Qt::WindowMaximizeButtonHint));

        // Restored: the fixed size and the flags come back, at the stored place.
        window->showNormal();
        QTRY_VERIFY(!window->isMaximized());
        QTRY_COMPARE(window->maximumSize(), kBuiltIn.size());
        QCOMPARE(window->minimumSize(), kBuiltIn.size());
        QCOMPARE(window->windowFlags(), flags);
        QTRY_COMPARE(window->frameGeometry().topLeft(), QPoint(200, 150));
        QCOMPARE(window->size(), kBuiltIn.size());

        // Moved and closed, it stores the new place.
        window->move(260, 170);
        const QRect outer = window->frameGeometry();
        window->close();
        window.reset();
        QCOMPARE(stored(), values(outer, 0));
    }

    void readHandlerMayChangeOrKeep()
    {
        writeKey("Left=200\nTop=150\nWidth=404\nHeight=304\nState=2\n");
        const QRect builtIn = builtInFrame();
        auto window = makeWindow();
        auto *placement = brindle::app::attachPlacement(window.get());
        QObject *sender = nullptr;
        QList<int> seen;
        placement->OnReadWdwState = [&](QObject *s, int &left, int &top, int &width, int &height,
                                        int &state) {
            sender = s;
            seen = {left, top, width, height, state};
            left = TOvCCompCustomWdwState::kKeepCurrent;
            top = 33;
            height = TOvCCompCustomWdwState::kKeepCurrent;
            state = TOvCCompCustomWdwState::kKeepCurrent;
        };
        show(*window);
        QCOMPARE(sender, placement);
        QCOMPARE(seen, (QList<int>{200, 150, 404, 304, 2}));
        QCOMPARE(window->frameGeometry(), QRect(builtIn.x(), 33, 404, builtIn.height()));
        QTest::qWait(10);
        QVERIFY(!window->isMaximized());
    }

    void restorePendingUntilShown()
    {
        writeKey("Left=200\nTop=150\nWidth=404\nHeight=304\n");
        auto window = makeWindow();
        auto *placement = new TOvCCompRegWdwState(window.get());
        placement->setSubKey(u"Software\\Ovalin\\Freeware\\Brindle 1.0\\Main Window"_s);
        QVERIFY(!placement->AutoSaveRestore());
        QCOMPARE(placement->MinimizeDelay(), 100);
        placement->RestorePlacement();
        QCOMPARE(window->geometry(), kBuiltIn);
        show(*window);
        QCOMPARE(window->frameGeometry(), QRect(200, 150, 404, 304));
        window->move(300, 200);
        window.reset();
        // Without AutoSaveRestore nothing is saved at the end.
        QCOMPARE(stored().value(u"Left"_s), u"200"_s);
    }

    void noRestoreWithoutBeingAsked()
    {
        writeKey("Left=200\nTop=150\n");
        auto window = makeWindow();
        new TOvCCompRegWdwState(window.get());
        show(*window);
        QCOMPARE(window->geometry(), kBuiltIn);
    }

    void creationErrors()
    {
        const QString notOnForm = u"Window state components must be placed on a form"_s;
        const auto message = [](auto create) {
            try {
                create();
            } catch (const brindle::Error &e) {
                return e.message();
            }
            return QString();
        };
        QCOMPARE(message([] { TOvCCompRegWdwState placement(nullptr); }), notOnForm);
        QObject plain;
        QCOMPARE(message([&] { new TOvCCompRegWdwState(&plain); }), notOnForm);
        auto window = makeWindow();
        auto *child = new QWidget(window.get());
        QCOMPARE(message([&] { new TOvCCompRegWdwState(child); }), notOnForm);

        brindle::app::attachPlacement(window.get());
        QCOMPARE(message([&] { new TOvCCompRegWdwState(window.get()); }),
                 u"Only one window state component is permitted on a form: SaveRegWnd is already present on "
                 "ovalinform"_s);
        QVERIFY(message([&] { new TOvCCompCustomWdwState(window.get()); }).startsWith(u"Only one"_s));
        QCOMPARE(window->findChildren<TOvCCompCustomWdwState *>().size(), 1);
    }

    void subKeyDefaultAndRedirection()
    {
        auto window = makeWindow();
        TOvCCompRegWdwState placement(window.get());
        const QString byDefault = u"\\Software\\%1\\Window\\ovalinform"_s.arg(
            QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        QCOMPARE(placement.SubKey(), byDefault);
        placement.setSubKey(u"Software\\Other"_s);
        QCOMPARE(placement.SubKey(), u"Software\\Other"_s);
        placement.setSubKey(QString());
        QCOMPARE(placement.SubKey(), byDefault);
        QCOMPARE(TOvCCompRegWdwState::groupOf(u"\\Software\\A\\\\B 1.0\\"_s), u"Software/A/B 1.0"_s);
    }

    void getRegDataRedirectsRootAndKey()
    {
        QTemporaryDir system;
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(system.path()));
        QDir().mkpath(system.path() + u"/Ovalin"_s);
        {
            QFile file(system.path() + u"/Ovalin/Brindle.conf"_s);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Elsewhere]\nLeft=222\nTop=111\n");
        }
        auto window = makeWindow();
        auto *placement = brindle::app::attachPlacement(window.get());
        int calls = 0;
        placement->OnGetRegData = [&](StoreRoot &root, QString &key) {
            ++calls;
            QCOMPARE(key, u"Software\\Ovalin\\Freeware\\Brindle 1.0\\Main Window"_s);
            root = StoreRoot::Machine;
            key = u"\\Elsewhere"_s;
        };
        show(*window);
        QCOMPARE(window->frameGeometry().topLeft(), QPoint(222, 111));
        placement->setAutoSaveRestore(false);
        placement->OnGetRegData = {};
        QCOMPARE(calls, 1);
        qunsetenv("XDG_CONFIG_DIRS");
    }

    void damagedFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("damaged");
        const QByteArray key = "Ovalin\\Freeware\\Brindle%201.0\\Main%20Window\\";
        const QByteArray values = key + "Left=300\n" + key + "Top=200\n" + key + "State=0\n";
        const QByteArray section = "[Software]\n" + values;
        QTest::addRow("a stray line before the section") << "a stray line\n" + section << false;
        QTest::addRow("a stray line in the section") << "[Software]\nstray\n" + values << false;
        QTest::addRow("a stray line of binary noise")
            << QByteArray("\x01\x7f\xfe\xff noise\n") + section << false;
        QTest::addRow("garbage with an open quote before the section")
            << "\x01\x7fgarbage \"with an open quote\n" + section << true;
        QTest::addRow("a value with an open quote before the section")
            << "[Other]\nx=\"open\n" + section << true;
        QTest::addRow("a backslash at the end of a line before the section")
            << "garbage\\\n" + section << true;
        QTest::addRow("an unterminated [section line") << "[Software\n" + values << true;
        QTest::addRow("an unterminated [section line before the section") << "[Other\n" + section << true;
    }
    void damagedFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, damaged);
        QDir().mkpath(m_dir->path() + u"/Ovalin"_s);
        {
            QFile out(confFile());
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(file);
        }
        brindle::test::FakeDialogs fake;
        auto window = std::make_unique<brindle::ui::Tovalinform>();
        brindle::app::attachPlacement(window.get());
        show(*window);
        if (damaged) {
            // Reported once, and the window stays at its built-in place.
            QCOMPARE(fake.kinds(), QStringList{u"error"_s});
            QCOMPARE(fake.last().text,
                     u"The settings file \"%1\" is damaged; the window's last place is not restored."_s.arg(
                         confFile()));
            QCOMPARE(window->frameGeometry().topLeft(), QPoint(0, 0));
        } else {
            QCOMPARE(fake.kinds(), QStringList());
            QCOMPARE(window->frameGeometry().topLeft(), QPoint(300, 200));
        }
        fake.clear();
        window->move(250, 140);
        const QRect outer = window->frameGeometry();
        QVERIFY(window->close());
        window.reset();
        // Nothing is said at exit, and the file is written whole: it reads
        // without a fault and holds the place the window had.
        QCOMPARE(fake.kinds(), QStringList());
        QCOMPARE(stored(), values(outer, 0));
        QSettings check(confFile(), QSettings::IniFormat);
        check.allKeys();
        QCOMPARE(check.status(), QSettings::NoError);
    }

    void storeFailures_data()
    {
        QTest::addColumn<bool>("fileIsFolder");
        QTest::addColumn<QStringList>("reports");
        QTest::addRow("folder cannot be made: nothing stored, nothing said") << false << QStringList();
        QTest::addRow("file cannot be written") << true << QStringList{u"Failed to set data for 'Left'."_s};
    }
    void storeFailures()
    {
        QFETCH(bool, fileIsFolder);
        QFETCH(QStringList, reports);
        if (fileIsFolder) {
            QVERIFY(QDir().mkpath(confFile()));
        } else {
            QFile blocker(m_dir->path() + u"/plain-file"_s);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker.fileName() + u"/config"_s));
        }
        brindle::test::FakeDialogs fake;
        auto window = makeWindow();
        brindle::app::attachPlacement(window.get());
        show(*window);
        QVERIFY(fake.shown().empty());
        window.reset();
        QStringList shown;
        for (const auto &s : fake.shown())
            shown << s.text;
        QCOMPARE(shown, reports);
    }
};

QTEST_MAIN(TestPlacement)
#include "tst_windowplacement.moc"
