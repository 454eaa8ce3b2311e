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

#include <string>

#if defined(__linux__)
#include <csignal>
#include <sys/mman.h>
#include <unistd.h>
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

#if defined(__linux__)
// The message for a mapped input whose file is cut short during the
// conversion: its vanished pages then raise SIGBUS.
std::string g_truncatedMessage;

extern "C" void onBusError(int)
{
    [[maybe_unused]] const auto written = ::write(2, g_truncatedMessage.data(), g_truncatedMessage.size());
    _exit(kExitFailure);
}
#endif

// The HTML text, NUL-terminated. A regular file is mapped into memory rather
// than read: no copy and no fresh pages for the kernel to clear, which for an
// input of many megabytes was a fifth of the command's time. The NUL is the
// byte after the end, in the last page, which the kernel fills up with zeros;
// that page is made private at once, so a writer appending to the file cannot
// take the NUL away.
class InputText
{
public:
    explicit InputText(const QString &path)
    {
        const bool fromStdin = path.isEmpty() || path == u"-"_s;
        const QString shownPath = fromStdin ? u"-"_s : path;
        QFile file(fromStdin ? QString() : path);
        const bool opened = fromStdin ? file.open(stdin, QIODevice::ReadOnly | QIODevice::Unbuffered)
                                      : file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        if (!opened)
            throw Error(u"Cannot open file \"%1\". %2"_s.arg(shownPath, file.errorString()));
        if (!file.isSequential() && map(file, shownPath))
            return;
        // Pipes and other sequential inputs are read in chunks until their end.
        m_text = file.isSequential() ? file.readAll() : readWholeFile(file);
        if (file.error() != QFileDevice::NoError)
            throw Error(u"Cannot read file \"%1\". %2"_s.arg(shownPath, file.errorString()));
    }
    ~InputText()
    {
#if defined(__linux__)
        if (m_mapping) {
            sigaction(SIGBUS, &m_previousBusAction, nullptr);
            munmap(m_mapping, m_mappingLength);
        }
#endif
    }
    InputText(const InputText &) = delete;
    InputText &operator=(const InputText &) = delete;

    const QByteArray &text() const
    {
        return m_text;
    }

private:
    bool map([[maybe_unused]] QFile &file, [[maybe_unused]] const QString &shownPath)
    {
#if defined(__linux__)
        const qint64 size = file.size();
        const long pageSize = sysconf(_SC_PAGESIZE);
        // Without a partial last page there is no byte after the end to map.
        if (size <= 0 || pageSize <= 0 || size % pageSize == 0)
            return false;
        const auto length = std::size_t(size) + 1;
        void *mapping =
            mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_POPULATE, file.handle(), 0);
        if (mapping == MAP_FAILED)
            return false;
        auto *bytes = static_cast<char *>(mapping);
        bytes[size] = '\0'; // copies the last page: from now on it is ours
        m_mapping = mapping;
        m_mappingLength = length;
        m_text = QByteArray::fromRawData(bytes, size);

        g_truncatedMessage =
            (errorReportText(
                 u"Cannot read file \"%1\". The file was truncated while it was read"_s.arg(shownPath)) +
             u'\n')
                .toStdString();
        struct sigaction action = {};
        action.sa_handler = onBusError;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &m_previousBusAction);
        return true;
#else
        return false;
#endif
    }

    QByteArray m_text;
#if defined(__linux__)
    void *m_mapping = nullptr;
    std::size_t m_mappingLength = 0;
    struct sigaction m_previousBusAction = {};
#endif
};

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

    const InputText input(files.isEmpty() ? QString() : files.constFirst());
    writeDocument(input.text());
    return kExitOk;
}

} // namespace brindle::cli
