#include "app/startupnotification.h"

#include <QGuiApplication>

#if QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

namespace brindle::app {

namespace {

#if QT_CONFIG(xcb)
xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The message in pieces of 20 bytes, its terminating NUL included, as client
// messages to the root window: the first of type _NET_STARTUP_INFO_BEGIN,
// the rest _NET_STARTUP_INFO.
void sendToRoot(xcb_connection_t *connection, const QByteArray &message)
{
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
        return;
    const xcb_atom_t begin = atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(connection, "_NET_STARTUP_INFO");
    if (begin == XCB_ATOM_NONE || more == XCB_ATOM_NONE)
        return;
    const qsizetype length = message.size() + 1;
    for (qsizetype sent = 0; sent < length; sent += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = screen->root;
        event.type = sent == 0 ? begin : more;
        const qsizetype n = std::min<qsizetype>(20, length - sent);
        std::memcpy(event.data.data8, message.constData() + sent, std::size_t(n));
        xcb_send_event(connection, 0, screen->root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char *>(&event));
    }
    xcb_flush(connection);
}
#endif

} // namespace

StartupNotification::StartupNotification() : m_id(qgetenv("DESKTOP_STARTUP_ID")) {}

QByteArray StartupNotification::removeMessage(const QByteArray &id)
{
    QByteArray value = id;
    if (id.contains(' ') || id.contains('"') || id.contains('\\')) {
        value.replace('\\', "\\\\").replace('"', "\\\"");
        value = '"' + value + '"';
    }
    return "remove: ID=" + value;
}

void StartupNotification::complete()
{
    const QByteArray id = std::exchange(m_id, {});
    if (id.isEmpty() || QGuiApplication::platformName() != u"xcb"_s)
        return;
#if QT_CONFIG(xcb)
    if (auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        sendToRoot(x11->connection(), removeMessage(id));
#endif
}

} // namespace brindle::app
