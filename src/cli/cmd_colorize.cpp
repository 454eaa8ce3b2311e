#include "cli/cli.h"

#include "base/error.h"
#include "render/colorize.h"
#include "render/rtfsyntax.h"

#include <QFile>

#include <cerrno>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace brindle::cli {

namespace {

// Standard output has stopped taking bytes: reading on would be in vain.
struct OutputFailed
{};

// Streams the text through the converter in a window of bounded size, so
// that an input of any length, or an endless one, takes little memory; the
// text ends at its first NUL, and nothing after that is read. The document
// goes out in slices as it is written.
void convert(QFile &input, const QString &shownPath)
{
    int writeError = 0;
    QByteArray buffer;
    try {
        render::RtfStream stream(buffer, [&writeError](QByteArrayView slice) {
            const auto size = std::size_t(slice.size());
            if (writeError == 0 && std::fwrite(slice.data(), 1, size, stdout) != size)
                writeError = errno != 0 ? errno : EIO;
        });
        render::colorizeHtml(
            [&](char *to, qsizetype capacity) -> qsizetype {
                if (writeError != 0)
                    throw OutputFailed();
                const qint64 n = input.read(to, capacity);
                if (n < 0)
                    throw Error(u"Cannot read file \"%1\". %2"_s.arg(shownPath, input.errorString()));
                return qsizetype(n);
            },
            stream);
    } catch (const OutputFailed &) {
    }
    if (writeError == 0 && std::fflush(stdout) != 0)
        writeError = errno;
    if (writeError != 0)
        throwOutputError(writeError, u"Cannot write the RTF document to standard output."_s);
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

    const QString path = files.isEmpty() ? QString() : files.constFirst();
    const bool fromStdin = path.isEmpty() || isStandardStream(path);
    const QString shownPath = fromStdin ? u"-"_s : path;
    QFile input(fromStdin ? QString() : path);
    const bool opened = fromStdin ? input.open(stdin, QIODevice::ReadOnly | QIODevice::Unbuffered)
                                  : input.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    if (!opened)
        throw Error(u"Cannot open file \"%1\". %2"_s.arg(shownPath, input.errorString()));
    convert(input, shownPath);
    return kExitOk;
}

} // namespace brindle::cli
