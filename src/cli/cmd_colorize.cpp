#include "cli/cli.h"

#include "core/error.h"
#include "output/colorize.h"
#include "output/syxrichsyntax.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

using namespace Qt::StringLiterals;

namespace brindle::cli {

namespace {

// Reads a regular file with one read into memory that the kernel may back
// with 2 MiB pages: a large input then costs a few page faults, not thousands.
QByteArray readWholeFile(QFile &file)
{
    const qint64 size = file.size();
    QByteArray bytes(size, Qt::Uninitialized);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHuge = std::uintptr_t(2) << 20;
    const auto begin = (reinterpret_cast<std::uintptr_t>(bytes.data()) + kHuge - 1) & ~(kHuge - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(bytes.data()) + std::uintptr_t(size)) & ~(kHuge - 1);
    if (end > begin)
        madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE); // only a hint
#endif
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.read(bytes.data() + done, size - done);
        if (n <= 0)
            break;
        done += n;
    }
    bytes.truncate(done);
    bytes += file.readAll(); // whatever was appended meanwhile
    return bytes;
}

QByteArray readInput(const QString &path)
{
    const bool fromStdin = path.isEmpty() || path == u"-"_s;
    const QString shownPath = fromStdin ? u"-"_s : path;
    QFile file(fromStdin ? QString() : path);
    const bool opened = fromStdin ? file.open(stdin, QIODevice::ReadOnly | QIODevice::Unbuffered)
                                  : file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    if (!opened)
        throw Error(u"Cannot open file \"%1\". %2"_s.arg(shownPath, file.errorString()));
    // Pipes and other sequential inputs are read in chunks until their end.
    QByteArray bytes = file.isSequential() ? file.readAll() : readWholeFile(file);
    if (file.error() != QFileDevice::NoError)
        throw Error(u"Cannot read file \"%1\". %2"_s.arg(shownPath, file.errorString()));
    return bytes;
}

// Converts into a buffer of 1 MiB that is written out whenever it is full.
// Holding the whole document in memory and writing it at once was slower:
// the kernel zeroes every fresh page of a large buffer, and one write of tens
// of megabytes was now and then several times slower than the same bytes in
// slices.
void writeDocument(const QByteArray &html)
{
    bool failed = false;
    QByteArray buffer;
    {
        output::RtfStream stream(buffer, [&failed](QByteArrayView slice) {
            const auto size = std::size_t(slice.size());
            if (!failed && std::fwrite(slice.data(), 1, size, stdout) != size)
                failed = true;
        });
        output::colorizeHtml(html, stream);
    }
    if (std::fflush(stdout) != 0 || failed || std::ferror(stdout))
        throw Error(u"Cannot write the RTF document to standard output. %1"_s.arg(
            QString::fromLocal8Bit(std::strerror(errno))));
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
    writeDocument(input);
    return kExitOk;
}

} // namespace brindle::cli
