#pragma once

// onNextModal: drives a real modal window in a test without a person.

#include <QApplication>
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

} // namespace brindle::test
