// The desktop's launch feedback under X11: each start of the program tells
// the desktop it is complete, the first by showing its window, a later one
// (which hands its command line over and opens none) by itself. Watches the
// root window for the messages as a launcher does. Run by xvfb_run.sh on a
// display of its own.

#include "app/startupnotification.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A launcher's view of the root window: the startup messages, reassembled.
class Launcher
{
public:
    Launcher() : m_connection(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(m_connection))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        m_begin = atom("_NET_STARTUP_INFO_BEGIN");
        m_more = atom("_NET_STARTUP_INFO");
        xcb_flush(m_connection);
    }
    ~Launcher() { xcb_disconnect(m_connection); }
    Launcher(const Launcher &) = delete;
    Launcher &operator=(const Launcher &) = delete;

    bool connected() const { return xcb_connection_has_error(m_connection) == 0 && m_begin != XCB_ATOM_NONE; }

    // Waits for a whole message; the messages seen so far stay in messages().
    bool waitFor(const QByteArray &message, int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (!m_messages.contains(message)) {
            if (clock.elapsed() > ms)
                return false;
            readEvents();
            QTest::qWait(20);
        }
        return true;
    }
    const QList<QByteArray> &messages() const { return m_messages; }

private:
    xcb_atom_t atom(const char *name)
    {
        const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(
                m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name), nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    void readEvents()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                const auto *message = reinterpret_cast<const xcb_client_message_event_t *>(event);
                if (message->format == 8 && (message->type == m_begin || message->type == m_more)) {
                    QByteArray &pending = m_pending[message->window];
                    if (message->type == m_begin)
                        pending.clear();
                    const auto *bytes = reinterpret_cast<const char *>(message->data.data8);
                    const qsizetype end = qsizetype(strnlen(bytes, 20));
                    pending.append(bytes, end);
                    if (end < 20)
                        m_messages << std::exchange(pending, {});
                }
            }
            std::free(event);
        }
    }

    xcb_connection_t *m_connection;
    xcb_window_t m_root = 0;
    xcb_atom_t m_begin = XCB_ATOM_NONE;
    xcb_atom_t m_more = XCB_ATOM_NONE;
    QHash<xcb_window_t, QByteArray> m_pending;
    QList<QByteArray> m_messages;
};

} // namespace

class TestStartupNotify : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

    QProcessEnvironment environment(const QByteArray &startupId) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        env.insert(u"XDG_RUNTIME_DIR"_s, m_home.filePath(u"runtime"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, m_home.filePath(u"config"_s));
        env.insert(u"DESKTOP_STARTUP_ID"_s, QString::fromUtf8(startupId));
        return env;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        QVERIFY(QDir(m_home.path()).mkdir(u"runtime"_s));
        QVERIFY(QFile::setPermissions(m_home.filePath(u"runtime"_s),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void removeMessage_data()
    {
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<QByteArray>("message");
        QTest::addRow("plain") << QByteArray("launcher-1234-host-brindle-0_TIME567")
                               << QByteArray("remove: ID=launcher-1234-host-brindle-0_TIME567");
        QTest::addRow("blank") << QByteArray("a b") << QByteArray("remove: ID=\"a b\"");
        QTest::addRow("quote and backslash")
            << QByteArray("a\"b\\c") << QByteArray("remove: ID=\"a\\\"b\\\\c\"");
    }
    void removeMessage()
    {
        QFETCH(QByteArray, id);
        QFETCH(QByteArray, message);
        QCOMPARE(brindle::app::StartupNotification::removeMessage(id), message);
    }

    void everyStartIsCompleted()
    {
        Launcher launcher;
        QVERIFY2(launcher.connected(), "no X display");

        QProcess first;
        first.setProcessEnvironment(environment("first-start_TIME0"));
        first.start(QStringLiteral(BRINDLE_EXE));
        QVERIFY(first.waitForStarted());
        QVERIFY2(launcher.waitFor("remove: ID=first-start_TIME0", 20000),
                 qPrintable(u"the first window did not complete its start; seen: "_s +
                            QString::fromUtf8(launcher.messages().join(" | ")) + u"; its output: "_s +
                            QString::fromLocal8Bit(first.readAllStandardError())));

        // Ids a launcher makes are long: the message spans several pieces.
        const QByteArray longId = "launcher/brindle/" + QByteArray(60, 'x') + "-second_TIME0";
        QProcess second;
        second.setProcessEnvironment(environment(longId));
        second.start(QStringLiteral(BRINDLE_EXE));
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY2(launcher.waitFor("remove: ID=" + longId, 5000),
                 qPrintable(u"the handing-over start did not complete; seen: "_s +
                            QString::fromUtf8(launcher.messages().join(" | "))));

        first.terminate();
        first.waitForFinished(10000);
    }
};

QTEST_GUILESS_MAIN(TestStartupNotify)
#include "tst_startupnotify.moc"
