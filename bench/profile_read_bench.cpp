// Times the profile reader on files built to stress it, each read in a child
// process of its own so that its peak memory is its own.
//
//   bench_profile_read [-n ROUNDS] [-t SECONDS] [-c TEXT]
//
// The first rows put 10k, 100k and 1M attributes on one tagname, so that time
// against size shows whether the reader stays linear; the others are files
// of 16 MiB, the largest a profile may be. Each case is read ROUNDS times
// (default 3, the best is shown); a read that takes longer than SECONDS
// (default 60) is stopped and shown as such. -c runs only the cases whose
// name contains TEXT. The seconds are those of the processor, which the
// other programs of a busy machine do not add to; the wall-clock time is
// beside them.

#include "base/error.h"
#include "profile/profilefile.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;
using namespace brindle;

namespace {

constexpr qsizetype kLimit = qsizetype(16) << 20;
const QByteArray kRootStart = "<OvalinBrindleProfile Author=\"OvalinBrindle\">";
const QByteArray kRootEnd = "</OvalinBrindleProfile>";
const QByteArray kTagname = "<tagname content=\"0\" isused=\"N\"/>";

QByteArray attributes(qsizetype count)
{
    QByteArray out;
    out.reserve(count * 12);
    for (qsizetype i = 0; i < count; ++i)
        out += " a" + QByteArray::number(i) + "=\"\"";
    return out;
}

QByteArray withOneTagname(const QByteArray &extraAttributes)
{
    return kRootStart + "<tagname content=\"t\" isused=\"Y\"" + extraAttributes + "/>" +
           kTagname.repeated(12) + kRootEnd;
}

// The root around `unit` repeated up to 16 MiB.
QByteArray filled(const QByteArray &unit, const QByteArray &close = kRootEnd)
{
    const qsizetype room = kLimit - kRootStart.size() - close.size();
    return kRootStart + unit.repeated(room / unit.size()) + close;
}

struct Case
{
    const char *name;
    std::function<QByteArray()> make;
};

const std::vector<Case> &cases()
{
    static const std::vector<Case> list = {
        {"10k attributes on one tagname", [] { return withOneTagname(attributes(10'000)); }},
        {"100k attributes on one tagname", [] { return withOneTagname(attributes(100'000)); }},
        {"1M attributes on one tagname", [] { return withOneTagname(attributes(1'000'000)); }},
        {"16 MiB: <a> nested", [] { return filled("<a>", {}); }},
        {"16 MiB: tagname elements", [] { return filled(kTagname); }},
        {"16 MiB: elements of 60 attributes", [] { return filled("<a" + attributes(60) + "/>"); }},
        {"16 MiB: one long value",
         [] {
             const QByteArray head = kRootStart + "<tagname content=\"";
             const QByteArray tail = "\" isused=\"Y\"/>" + kRootEnd;
             return head + QByteArray(kLimit - head.size() - tail.size(), 'x') + tail;
         }},
        {"16 MiB: control character references",
         [] {
             const QByteArray head = kRootStart + "<tagname content=\"";
             const QByteArray tail = "\" isused=\"Y\"/>" + kRootEnd;
             return head + QByteArray("&#1;").repeated((kLimit - head.size() - tail.size()) / 4) + tail;
         }},
        {"16 MiB: text with a bad byte at the end",
         [] {
             QByteArray file = filled(kTagname);
             file[file.size() - kRootEnd.size() - 1] = '\xff';
             return file;
         }},
    };
    return list;
}

struct Result
{
    double seconds = 0; // processor
    double wall = 0;
    char outcome[160] = {};
};

// In the child: read the file `rounds` times, write the best time and the outcome to fd.
[[noreturn]] void readInChild(const QString &path, int rounds, int fd)
{
    Result result;
    result.seconds = 1e9;
    result.wall = 1e9;
    const auto cpu = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    };
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer clock;
        clock.start();
        const double cpuStart = cpu();
        QString outcome;
        profile::TOvStringArray values;
        profile::TOvStringArray used;
        try {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                outcome = u"cannot open"_s;
            else if (profile::readProfileBytes(file.readAll(), values, used) ==
                     profile::ReadOutcome::Accepted)
                outcome = u"accepted"_s;
            else
                outcome = u"not a profile"_s;
        } catch (const Error &e) {
            outcome = u"refused: "_s + e.message().section(u'\r', 0, 0);
        }
        result.seconds = std::min(result.seconds, cpu() - cpuStart);
        result.wall = std::min(result.wall, double(clock.nsecsElapsed()) / 1e9);
        std::strncpy(result.outcome, outcome.toUtf8().constData(), sizeof result.outcome - 1);
    }
    if (write(fd, &result, sizeof result) != sizeof result)
        _exit(1);
    _exit(0);
}

} // namespace

int main(int argc, char *argv[])
{
    int rounds = 3;
    int timeout = 60;
    const char *only = "";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "-n") == 0)
            rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "-t") == 0)
            timeout = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "-c") == 0)
            only = argv[i + 1];
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(u"bench.wmp"_s);
    std::printf("%-42s %6s %8s %8s %8s  %s\n", "case", "MiB", "cpu s", "wall s", "peak MB", "outcome");
    for (const Case &c : cases()) {
        if (std::strstr(c.name, only) == nullptr)
            continue;
        {
            const QByteArray bytes = c.make();
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
                return 1;
            std::printf("%-42s %6.2f ", c.name, double(bytes.size()) / (1 << 20));
            std::fflush(stdout);
        }
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            return 1;
        const pid_t child = fork();
        if (child == 0) {
            close(pipeFds[0]);
            alarm(unsigned(timeout) * unsigned(rounds));
            readInChild(path, rounds, pipeFds[1]);
        }
        close(pipeFds[1]);
        Result result;
        const bool got = read(pipeFds[0], &result, sizeof result) == sizeof result;
        close(pipeFds[0]);
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        const double peakMb = double(usage.ru_maxrss) / 1024;
        if (got)
            std::printf("%8.3f %8.3f %8.1f  %s\n", result.seconds, result.wall, peakMb, result.outcome);
        else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM)
            std::printf("%8s %8s %8.1f  stopped after %d s\n", "-", "-", peakMb, timeout * rounds);
        else
            std::printf("%8s %8s %8.1f  ended abnormally (status %d)\n", "-", "-", peakMb, status);
    }
    return 0;
}
