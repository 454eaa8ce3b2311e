#pragma once

// Runs brindle-cli (the build's copy) and collects what it printed.

#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <vector>

#include "base/filename.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brindle::test {

struct CliRun
{
    int status = -1; // -1: crashed or timed out
    int signal = 0;  // the signal that ended it
    QByteArray out;
    QByteArray err;
    long maxResidentKb = 0; // peak resident memory, from runCliWith only
};

inline CliRun runCli(const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    p.start(QStringLiteral(BRINDLE_CLI), args);
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    CliRun r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// What runCliWith connects to the command's standard output.
enum class CliOutput
{
    Captured,   // a pipe read into CliRun::out
    Closed,     // no descriptor 1 at all
    ClosedPipe, // a pipe whose reading end is already closed
    File,       // CliOptions::outputFile, opened for writing
};

struct CliOptions
{
    QStringList args;
    // Standard input: the bytes of `input`, then whatever `moreInput` hands
    // out (0 at its end), through a pipe; or the file `inputFile`.
    QByteArray input;
    std::function<qsizetype(char *, qsizetype)> moreInput;
    QString inputFile;
    CliOutput output = CliOutput::Captured;
    // Given, it takes the captured standard output instead of CliRun::out.
    std::function<void(QByteArrayView)> outputSink;
    QString outputFile;
    QString workingDirectory;
    rlim_t fileSizeLimit = RLIM_INFINITY; // SIGXFSZ is ignored, so writes fail with EFBIG
    rlim_t addressSpaceLimit = RLIM_INFINITY;
    rlim_t openFileLimit = RLIM_INFINITY;
    // False: SIGXFSZ keeps its default action, as in a shell, and a write
    // past the file-size limit ends a program that does not ignore it.
    bool ignoreFileSizeSignal = true;
    // Run as this user and group instead (root only), with no other groups.
    uid_t user = 0;
    gid_t group = 0;
    // Called with the process id every few milliseconds while it runs.
    std::function<void(pid_t)> whileRunning;
    int timeoutMs = 60000;
};

// Like runCli, with the descriptors and resource limits a shell could set up.
inline CliRun runCliWith(const CliOptions &options)
{
    CliRun r;
    const QByteArray program = QStringLiteral(BRINDLE_CLI).toLocal8Bit();
    std::vector<QByteArray> argStore{program};
    // As the file system holds names: a name read from a folder comes back byte for byte.
    for (const QString &arg : options.args)
        argStore.push_back(brindle::fileNameBytes(arg));
    std::vector<char *> argv;
    for (QByteArray &arg : argStore)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const QByteArray cwd = QFile::encodeName(options.workingDirectory);

    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
    int inFile = -1, outFile = -1;
    if (!options.inputFile.isEmpty()) {
        inFile = open(QFile::encodeName(options.inputFile).constData(), O_RDONLY | O_CLOEXEC);
        if (inFile < 0)
            return r;
    } else if (pipe2(in, O_CLOEXEC) != 0) {
        return r;
    }
    if (options.output == CliOutput::File) {
        outFile = open(QFile::encodeName(options.outputFile).constData(), O_WRONLY | O_CLOEXEC);
        if (outFile < 0)
            return r;
    } else if (options.output != CliOutput::Closed && pipe2(out, O_CLOEXEC) != 0) {
        return r;
    }
    if (options.output == CliOutput::ClosedPipe) {
        close(out[0]);
        out[0] = -1;
    }
    if (pipe2(err, O_CLOEXEC) != 0)
        return r;

    const pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here on.
        dup2(inFile >= 0 ? inFile : in[0], 0);
        if (options.output == CliOutput::Closed)
            close(1);
        else
            dup2(outFile >= 0 ? outFile : out[1], 1);
        dup2(err[1], 2);
        struct sigaction ignore = {};
        ignore.sa_handler = options.ignoreFileSizeSignal ? SIG_IGN : SIG_DFL;
        sigaction(SIGXFSZ, &ignore, nullptr);
        struct sigaction byDefault = {};
        byDefault.sa_handler = SIG_DFL;
        sigaction(SIGPIPE, &byDefault, nullptr); // the command has to cope with it itself
        const rlimit fsize{options.fileSizeLimit, options.fileSizeLimit};
        const rlimit as{options.addressSpaceLimit, options.addressSpaceLimit};
        if (options.fileSizeLimit != RLIM_INFINITY)
            setrlimit(RLIMIT_FSIZE, &fsize);
        if (options.addressSpaceLimit != RLIM_INFINITY)
            setrlimit(RLIMIT_AS, &as);
        const rlimit files{options.openFileLimit, options.openFileLimit};
        if (options.openFileLimit != RLIM_INFINITY)
            setrlimit(RLIMIT_NOFILE, &files);
        if (options.user != 0 &&
            (setgroups(0, nullptr) != 0 || setresgid(options.group, options.group, options.group) != 0 ||
             setresuid(options.user, options.user, options.user) != 0))
            _exit(125);
        if (!cwd.isEmpty() && chdir(cwd.constData()) != 0)
            _exit(126);
        // The command gets the three standard descriptors and nothing the
        // test runner left open (a limit of open files counts from there).
        close_range(3, ~0U, 0);
        execv(argv[0], argv.data());
        _exit(127);
    }
    for (int fd : {in[0], out[1], err[1], inFile, outFile})
        if (fd >= 0)
            close(fd);
    if (pid < 0)
        return r;

    // Feeds standard input and drains both outputs at once, so that neither
    // side waits for the other. A command that stops reading early makes the
    // feeding fail with EPIPE, not end the test with SIGPIPE.
    struct sigaction ignorePipe = {}, oldPipe = {};
    ignorePipe.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignorePipe, &oldPipe);
    if (in[1] >= 0)
        fcntl(in[1], F_SETFL, O_NONBLOCK);
    QByteArray pending = options.input;
    qsizetype sent = 0;
    bool inputDone = in[1] < 0;
    if (!inputDone && pending.isEmpty() && !options.moreInput) {
        close(in[1]);
        inputDone = true;
    }
    QElapsedTimer clock;
    clock.start();
    bool timedOut = false;
    while (out[0] >= 0 || err[0] >= 0 || !inputDone) {
        std::vector<pollfd> fds;
        if (!inputDone)
            fds.push_back({in[1], POLLOUT, 0});
        if (out[0] >= 0)
            fds.push_back({out[0], POLLIN, 0});
        if (err[0] >= 0)
            fds.push_back({err[0], POLLIN, 0});
        if (options.whileRunning)
            options.whileRunning(pid);
        const int left = options.timeoutMs - int(clock.elapsed());
        const int wait = options.whileRunning ? std::min(left, 2) : left;
        const int ready = left <= 0 ? 0 : poll(fds.data(), nfds_t(fds.size()), wait);
        if (ready == 0 && wait < left)
            continue;
        if (ready <= 0) {
            timedOut = true;
            break;
        }
        for (const pollfd &p : fds) {
            if (!p.revents)
                continue;
            if (p.fd == in[1]) {
                if (sent == pending.size()) {
                    pending.resize(1 << 20);
                    const qsizetype n =
                        options.moreInput ? options.moreInput(pending.data(), pending.size()) : 0;
                    pending.resize(n);
                    sent = 0;
                }
                const ssize_t n = pending.isEmpty() ? -1
                                                    : write(in[1], pending.constData() + sent,
                                                            size_t(pending.size() - sent));
                if (n > 0)
                    sent += n;
                if (n <= 0 && !(n < 0 && errno == EAGAIN)) {
                    close(in[1]);
                    inputDone = true;
                }
                continue;
            }
            char chunk[65536];
            const ssize_t n = read(p.fd, chunk, sizeof chunk);
            if (n > 0 && p.fd == out[0] && options.outputSink) {
                options.outputSink(QByteArrayView(chunk, n));
            } else if (n > 0) {
                (p.fd == out[0] ? r.out : r.err).append(chunk, n);
            } else {
                close(p.fd);
                (p.fd == out[0] ? out[0] : err[0]) = -1;
            }
        }
    }
    for (int fd : {in[1], out[0], err[0]})
        if (fd >= 0 && !(fd == in[1] && inputDone))
            close(fd);
    if (timedOut)
        kill(pid, SIGKILL);
    sigaction(SIGPIPE, &oldPipe, nullptr);
    int status = 0;
    rusage usage = {};
    wait4(pid, &status, 0, &usage);
    r.maxResidentKb = usage.ru_maxrss;
    r.status = !timedOut && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return r;
}

} // namespace brindle::test
