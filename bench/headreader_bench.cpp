// Times the head reader on a tag of 10,000, 100,000 and 1,000,000
// attributes (and heads of as many tags), best of several runs, so that how
// the time grows with the size shows: a linear reader keeps the time per
// attribute flat.
//
//   bench_headreader [-n RUNS]

#include "pagehead/headreader.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>

using namespace brindle::pagehead;

namespace {

// One <meta> of `count` attributes with values, the reader's own last.
QByteArray wideTag(int count)
{
    QByteArray page = "<html><head><meta";
    for (int i = 0; i < count; ++i)
        page += " data-a" + QByteArray::number(i) + "=\"v\"";
    return page + " name=\"description\" content=\"Wide\"><title>T</title></head><body>";
}

// `count` tags of one attribute each, within the reader's limit.
QByteArray manyTags(int count)
{
    QByteArray page = "<html><head>";
    for (int i = 0; i < count; ++i)
        page += "<meta name=\"m" + QByteArray::number(i) + "\">";
    return page + "<title>T</title></head><body>";
}

double bestMs(const QByteArray &page, int runs, bool *read)
{
    double best = 1e300;
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        const std::optional<PageHead> head = parseHead(page, true);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
        *read = head && head->problem == HeadProblem::None && !head->titles().empty();
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-n") == 0 && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: bench_headreader [-n RUNS]\n");
            return 2;
        }
    }
    if (runs < 1)
        return 2;
    std::printf("%-22s %10s %12s %10s %10s\n", "input", "count", "bytes", "ms", "ns/item");
    for (const int count : {10000, 100000, 1000000}) {
        const QByteArray page = wideTag(count);
        bool read = false;
        const double ms = bestMs(page, runs, &read);
        std::printf("%-22s %10d %12lld %10.1f %10.1f%s\n", "attributes in one tag", count,
                    static_cast<long long>(page.size()), ms, ms * 1e6 / count, read ? "" : "  (not read)");
    }
    for (const int count : {10000, 40000, 50001}) {
        const QByteArray page = manyTags(count);
        bool read = false;
        const double ms = bestMs(page, runs, &read);
        std::printf("%-22s %10d %12lld %10.1f %10.1f%s\n", "tags in one head", count,
                    static_cast<long long>(page.size()), ms, ms * 1e6 / count,
                    read ? "" : "  (refused: over the limit)");
    }
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %ld MB\n", usage.ru_maxrss / 1024);
    return 0;
}
