// Start-up benchmark: starts Brindle and the bare Qt window program in
// interleaved rounds and reports the median time from process start to the
// first painted frame of the main window, and the resident memory then.
//
//   bench_startup BRINDLE BARE [ROUNDS]
//
// Run it on a real display (for example under xvfb-run); each program gets a
// fresh configuration and runtime folder so saved placement plays no part.

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

struct Sample
{
    double ms = -1;
    double rssKb = -1;
};

Sample runOnce(const QString &program, const QTemporaryDir &home)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    timespec t0{};
    clock_gettime(CLOCK_REALTIME, &t0);
    env.insert(QStringLiteral("BRINDLE_BENCH_T0"), QString::number(t0.tv_sec * 1000000000LL + t0.tv_nsec));
    p.setProcessEnvironment(env);
    // "PROGRAM ARG" runs PROGRAM with one argument.
    QStringList parts = program.split(QLatin1Char(' '));
    p.start(parts.takeFirst(), parts);
    Sample s;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return s;
    }
    const QList<QByteArray> words = p.readAllStandardOutput().simplified().split(' ');
    // "frame <ms> ms rss <kB> kB"
    if (words.size() >= 5 && words[0] == "frame") {
        s.ms = words[1].toDouble();
        s.rssKb = words[4].toDouble();
    }
    return s;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: bench_startup BRINDLE BARE [ROUNDS]\n");
        return 2;
    }
    const int rounds = args.size() > 3 ? args[3].toInt() : 15;
    const QStringList programs = {args[1], args[2]};
    std::vector<double> ms[2], rss[2];
    QTemporaryDir home;
    runOnce(programs[0], home); // warm the page cache
    runOnce(programs[1], home);
    for (int r = 0; r < rounds; ++r) {
        for (int k = 0; k < 2; ++k) {
            const int i = (k + r) % 2;
            const Sample s = runOnce(programs[i], home);
            if (s.ms < 0) {
                std::fprintf(stderr, "no frame reported by %s\n", qPrintable(programs[i]));
                return 1;
            }
            ms[i].push_back(s.ms);
            rss[i].push_back(s.rssKb);
        }
    }
    const double m0 = median(ms[0]), m1 = median(ms[1]), r0 = median(rss[0]), r1 = median(rss[1]);
    std::printf("%-10s %14s %14s\n", "program", "first frame", "resident");
    std::printf("%-10s %11.1f ms %11.0f kB\n", "brindle", m0, r0);
    std::printf("%-10s %11.1f ms %11.0f kB\n", "bare Qt", m1, r1);
    std::printf("ratio      %14.2f %14.2f   (median of %d interleaved rounds)\n", m0 / m1, r0 / r1, rounds);
    return 0;
}
