// brindle-cli: the tag generator and its outputs for scripts and build
// pipelines, built on the same core as the windows so that nothing it prints
// can differ from what they produce.

#include "cli/cli.h"

#include "base/error.h"
#include "base/filename.h"
#include "buildinfo.h"

#include <QCoreApplication>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>

#include <functional>
#include <map>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace brindle::cli;

namespace {

struct Command
{
    std::function<int(const QStringList &)> run;
    const char16_t *summary;
};

const std::map<QString, Command> &commands()
{
    static const std::map<QString, Command> table = {
        {u"tags"_s, {runTags, u"print the tag lines for the given values"}},
        {u"page"_s, {runPage, u"print the blank web page for the given values"}},
        {u"colorize"_s, {runColorize, u"write an HTML file as RTF in the tags viewer's colours"}},
        {u"import"_s, {runImport, u"read the tags of a web page's head, as tag lines or a profile"}},
        {u"apply"_s, {runApply, u"write a profile's tags into existing web pages"}},
        {u"check"_s, {runCheck, u"check web pages' titles and meta tags as search engines read them"}},
    };
    return table;
}

void printUsage()
{
    QString text = u"Usage: brindle-cli COMMAND [OPTIONS]\n\nCommands:\n"_s;
    for (const auto &[name, command] : commands())
        text += u"  %1  %2\n"_s.arg(name, -10).arg(QString::fromUtf16(command.summary));
    text += u"\nOptions:\n  -h, --help  List the commands.\n  --version   Show the version.\n"_s;
    text += u"\n'brindle-cli COMMAND --help' describes the options of a command.\n"_s;
    writeStdout(text.toUtf8());
}

// A standard descriptor that the caller closed would be taken by the next
// file opened, and output meant for standard output would land in that file.
// Each closed one is opened on /dev/null for the other direction, so that
// using it fails (EBADF) as using a closed descriptor does.
void occupyClosedStandardDescriptors()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

// The command line as strings. Commands that take file names take them as
// the file system holds them, whatever their bytes; the others take text,
// where bytes that are not UTF-8 become U+FFFD.
QStringList commandLine(int argc, char *argv[])
{
    const bool fileNames = argc > 1 && std::strcmp(argv[1], "apply") == 0;
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << (fileNames ? brindle::fileNameFromBytes(argv[i]) : QString::fromLocal8Bit(argv[i]));
    return args;
}

int runCommand(const QString &name, QStringList args)
{
    if (name == u"--help"_s || name == u"-h"_s || name == u"help"_s) {
        printUsage();
        return kExitOk;
    }
    if (name == u"--version"_s) {
        writeStdout(u"brindle-cli %1\n"_s.arg(QStringLiteral(BRINDLE_VERSION)).toUtf8());
        return kExitOk;
    }
    const auto it = commands().find(name);
    if (it == commands().end()) {
        writeStderrLine(u"brindle-cli: unknown command \"%1\" (try 'brindle-cli --help')"_s.arg(name));
        return kExitUsage;
    }
    args.removeAt(1); // the subcommand's parser sees "brindle-cli OPTIONS..."
    return it->second.run(args);
}

} // namespace

int main(int argc, char *argv[])
{
    // No application object: the tool needs no event loop, and the toolkit's
    // would take file descriptors a low limit may not have (and abort).
    std::setlocale(LC_ALL, "");
    // Writing into a pipe whose reader has gone then fails with EPIPE, which
    // ends the command quietly, instead of killing it.
    std::signal(SIGPIPE, SIG_IGN);
    // A file-size limit (ulimit -f) then fails a write with EFBIG, reported
    // like any failed write, instead of killing the program mid-way.
    std::signal(SIGXFSZ, SIG_IGN);
    occupyClosedStandardDescriptors();
    QCoreApplication::setApplicationName(u"brindle-cli"_s);
    const QStringList args = commandLine(argc, argv);
    if (args.size() < 2) {
        writeStderrLine(u"brindle-cli: missing command (try 'brindle-cli --help')"_s);
        return kExitUsage;
    }
    const QString &name = args.at(1);
    try {
        const int status = runCommand(name, args);
        if (status != kExitUsage)
            finishStdout();
        return status;
    } catch (const BrokenPipe &) {
        return kExitFailure;
    } catch (const UsageError &e) {
        writeStderrLine(u"brindle-cli %1: "_s.arg(name) + QString::fromUtf8(e.what()));
        return kExitUsage;
    } catch (const std::exception &e) {
        writeStderrLine(brindle::errorReportText(brindle::messageOf(e)));
        return kExitFailure;
    }
}
