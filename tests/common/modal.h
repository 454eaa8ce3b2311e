#pragma once

// onNextModal: drives a real modal window in a test without a person.

#include <QApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace brindle::test {

// Runs `act` on the next modal window that shows up, then closes it.
inline void onNextModal(std::function<void(QWidget *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
            modal->close();
        }
    });
    timer->start();
}

// Runs `open` (which shows a window modally) and does `step` on the modal
// window as soon as it is up; returns what `open` returns. A window the step
// leaves open is closed after `giveUpMs`, so a fault fails the test instead
// of hanging the run.
inline int execWith(const std::function<int()> &open, const std::function<void(QWidget *)> &step,
                    int giveUpMs = 10000)
{
    bool ran = false;
    QTimer poll;
    poll.setInterval(10);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (!ran) {
            ran = true;
            step(modal);
        } else if (clock.elapsed() > giveUpMs) {
            qWarning("modal window left open by the test; closing it");
            modal->close();
        }
    });
    poll.start();
    return open();
}

} // namespace brindle::test
