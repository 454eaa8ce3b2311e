// Start-up benchmark: starts Brindle and one or more yardstick programs (the
// bare Qt window, with and without text) in interleaved rounds and reports the
// median time from process start to the first painted frame of the main
// window, the resident memory then, and Brindle's ratio to each yardstick.
//
//   bench_startup BRINDLE BARE [BARE...] [ROUNDS]
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
    QStringList programs = QCoreApplication::arguments().mid(1);
    int rounds = 15;
    bool numeric = false;
    if (!programs.isEmpty() && (programs.last().toInt(&numeric), numeric))
        rounds = programs.takeLast().toInt();
    if (programs.size() < 2 || rounds < 1) {
        std::fprintf(stderr, "usage: bench_startup BRINDLE BARE [BARE...] [ROUNDS]\n");
        return 2;
    }
    const auto n = programs.size();
    std::vector<std::vector<double>> ms(n), rss(n);
    QTemporaryDir home;
    for (const QString &program : programs)
        runOnce(program, home); // warm the page cache
    for (int r = 0; r < rounds; ++r) {
        // Each round starts with a different program, so none always runs first.
        for (qsizetype k = 0; k < n; ++k) {
            const qsizetype i = (k + r) % n;
            const Sample s = runOnce(programs[i], home);
            if (s.ms < 0) {
                std::fprintf(stderr, "no frame reported by %s\n", qPrintable(programs[i]));
                return 1;
            }
            ms[i].push_back(s.ms);
            rss[i].push_back(s.rssKb);
        }
    }
    std::printf("%-40s %12s %12s %14s\n", "program", "first frame", "resident", "ratio (time, memory)");
    const double m0 = median(ms[0]), r0 = median(rss[0]);
    for (qsizetype i = 0; i < n; ++i) {
        const double m = median(ms[i]), r = median(rss[i]);
        std::printf("%-40s %9.1f ms %9.0f kB", qPrintable(programs[i].section(QLatin1Char('/'), -1)), m, r);
        if (i > 0)
            std::printf("   %5.2f %5.2f", m0 / m, r0 / r);
        std::printf("\n");
    }
    std::printf("(median of %d interleaved rounds; ratio = first program / this one)\n", rounds);
    return 0;
}
