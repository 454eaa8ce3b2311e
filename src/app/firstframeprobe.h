#pragma once

// Benchmark hook: when BRINDLE_BENCH_T0 (a CLOCK_REALTIME time in
// nanoseconds, taken by the benchmark just before it started the process)
// is set, report the time to the window's first painted frame and the
// resident memory at that moment on standard output, then quit.

#ifndef BRINDLE_TEST_HOOKS
#error "a test seam: only for the tests' and benchmarks' build of the program"
#endif

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace brindle::app {

class FirstFrameProbe final : public QObject
{
public:
    // Installs itself on `window` when the benchmark asked for it.
    static void attachIfRequested(QWidget *window)
    {
        const QByteArray t0 = qgetenv("BRINDLE_BENCH_T0");
        if (!t0.isEmpty())
            window->installEventFilter(new FirstFrameProbe(t0.toLongLong(), window));
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            // After this paint has been flushed to the screen.
            QTimer::singleShot(0, this, [this] { report(); });
        }
        return false;
    }

private:
    FirstFrameProbe(long long t0, QObject *parent) : QObject(parent), m_t0(t0) {}

    void report()
    {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        const double ms = double(now.tv_sec * 1000000000LL + now.tv_nsec - m_t0) / 1e6;
        long rssKb = 0;
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : status.readAll().split('\n')) {
                if (line.startsWith("VmRSS:"))
                    rssKb = line.mid(6).trimmed().split(' ').value(0).toLong();
            }
        }
        std::printf("frame %.3f ms rss %ld kB\n", ms, rssKb);
        std::fflush(stdout);
        QCoreApplication::exit(0);
    }

    long long m_t0;
    bool m_done = false;
};

} // namespace brindle::app
