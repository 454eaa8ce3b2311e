#pragma once

// Opens the profiles named from outside the window (the command line, a
// later copy's command line, a file dropped on the window) through the Open
// flow, once the user has nothing else open: while a user action runs or a
// modal window is up, the request waits.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

namespace brindle::ui {
class Tovalinform;
}

namespace brindle::app {

class TOvRunOnce;

class ProfileOpener : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRetryMs = 100;

    explicit ProfileOpener(ui::Tovalinform *window, QObject *parent = nullptr);

    // Opens path from the event loop, as soon as nothing else is open. An
    // empty path is ignored; a newer request replaces one still waiting.
    void request(const QString &path);
    // The profile that a later copy's command line names is opened as well,
    // and the window brought to the front for it.
    void openFromLaterCopies(TOvRunOnce &guard);

    bool isWaiting() const { return !m_pending.isEmpty(); }

private:
    void tryOpen();

    QPointer<ui::Tovalinform> m_window;
    QString m_pending;
    bool m_raise = false;
    QTimer m_retry;
};

} // namespace brindle::app
