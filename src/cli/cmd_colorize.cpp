#include "cli/cli.h"

#include "core/error.h"
#include "output/colorize.h"

#include <QFile>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace brindle::cli {

namespace {

QByteArray readInput(const QString &path)
{
    const bool fromStdin = path.isEmpty() || path == u"-"_s;
    const QString shownPath = fromStdin ? u"-"_s : path;
    QFile file(fromStdin ? QString() : path);
    const bool opened = fromStdin ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (!opened)
        throw Error(u"Cannot open file \"%1\". %2"_s.arg(shownPath, file.errorString()));
    // One read for a regular file (readAll sizes the buffer from the file);
    // pipes are read in chunks until their end.
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Error(u"Cannot read file \"%1\". %2"_s.arg(shownPath, file.errorString()));
    return bytes;
}

} // namespace

int runColorize(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Writes the HTML text of FILE (or standard input) as an RTF document in the tags viewer's colours "
        u"to standard output. The text is read as UTF-8 and ends at a NUL byte."_s);
    parser.addPositionalArgument(u"FILE"_s, u"The HTML file; \"-\" or none for standard input."_s,
                                 u"[FILE]"_s);
    if (!parseOrHelp(parser, arguments, u"colorize"_s))
        return kExitOk;
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        throw UsageError(u"unexpected argument \"%1\""_s.arg(files.at(1)));

    const QByteArray input = readInput(files.isEmpty() ? QString() : files.constFirst());
    writeStdout(output::colorizeHtml(input));
    return kExitOk;
}

} // namespace brindle::cli
