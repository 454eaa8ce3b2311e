// Converts an HTML file to RTF in memory with the tags viewer's colours and
// reports the throughput of the input, best of several runs.
//
//   bench_rtf_convert FILE [-n RUNS] [-x TIMES] [-o OUT]
//
// -x TIMES converts the file repeated TIMES over (one text), to check that
// the time grows linearly; -o writes the RTF of the last run to OUT.

#include "render/colorize.h"

#include <QFile>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: bench_rtf_convert FILE [-n RUNS] [-x TIMES] [-o OUT]\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    const char *path = nullptr;
    const char *outPath = nullptr;
    int runs = 10;
    int times = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-n") == 0 && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "-x") == 0 && i + 1 < argc)
            times = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc)
            outPath = argv[++i];
        else if (!path && argv[i][0] != '-')
            path = argv[i];
        else
            return usage();
    }
    if (!path || runs < 1 || times < 1)
        return usage();

    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_rtf_convert: cannot open %s\n", path);
        return 1;
    }
    const QByteArray input = file.readAll().repeated(times);

    using Clock = std::chrono::steady_clock;
    double best = 1e300;
    double total = 0;
    QByteArray rtf;
    for (int run = 0; run < runs; ++run) {
        rtf = QByteArray(); // every run allocates its output anew, as the viewer does
        const auto start = Clock::now();
        rtf = brindle::render::colorizeHtml(input);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        best = std::min(best, seconds);
        total += seconds;
    }
    const double megabytes = double(input.size()) / 1e6;
    std::printf("input %.3f MB (x%d), output %.3f MB, %d runs: best %.4f s = %.1f MB/s, mean %.4f s\n",
                megabytes, times, double(rtf.size()) / 1e6, runs, best, megabytes / best, total / runs);

    if (outPath) {
        QFile out(QString::fromLocal8Bit(outPath));
        if (!out.open(QIODevice::WriteOnly) || out.write(rtf) != rtf.size()) {
            std::fprintf(stderr, "bench_rtf_convert: cannot write %s\n", outPath);
            return 1;
        }
    }
    return 0;
}
