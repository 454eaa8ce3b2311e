#pragma once

// The desktop's launch feedback under X11 (the startup notification
// protocol): a launcher gives the program an id in DESKTOP_STARTUP_ID and
// shows that it is starting until the program says it is done. Qt says so
// when the first window is shown; a start that hands its command line to the
// running copy shows none, so it says so itself before it ends.

#include <QByteArray>

namespace brindle::app {

class StartupNotification
{
public:
    // Reads the id; before the display connection, which takes it out of
    // the environment.
    StartupNotification();

    // Tells the desktop that this start is complete, where it is waiting to
    // be told (X11, started with an id). Once; later calls do nothing.
    void complete();

    // "remove: ID=<id>", the id quoted where it holds a blank, a quote or a
    // backslash.
    static QByteArray removeMessage(const QByteArray &id);

private:
    QByteArray m_id;
};

} // namespace brindle::app
