// libFuzzer harness for the head reader and the page editor. Besides
// crashes and sanitizer reports (leaks included) it checks their promises:
// every element lies within the page in source order and starts at a '<';
// the beginning of a page either asks for more bytes or reads the same head
// as the whole page; and writing a profile into a page is done in one run,
// so a second run changes nothing.

#include "base/error.h"
#include "pagehead/pageapply.h"
#include "pagehead/pageimport.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;
using namespace brindle::pagehead;

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_headreader: %s\n", what);
    std::abort();
}

QStringList summary(const PageHead &head)
{
    QStringList out;
    for (const HeadElement &e : head.elements)
        out << u"%1@%2:%3-%4"_s.arg(e.name).arg(e.start.offset).arg(e.start.line).arg(e.end);
    return out;
}

// Whether the character at offset is a '<', in the page's own encoding.
bool lessThanAt(QByteArrayView page, const PageHead &head, qsizetype offset)
{
    if (head.encoding == u"UTF-16LE"_s)
        return page.sliced(offset).startsWith(QByteArrayView("<\0", 2));
    if (head.encoding == u"UTF-16BE"_s)
        return page.sliced(offset).startsWith(QByteArrayView("\0<", 2));
    return page[offset] == '<';
}

// The classic tags; with `head`, every head field as well (the <html>'s
// lang, alternates in order, structured data as a whole script).
const ProfileLines &profileLines(bool head)
{
    static const auto make = [](bool withHead) {
        using namespace brindle::tags;
        TagValues values = TagValues::defaults();
        values.values[Title] = u"T \"1\" é"_s;
        values.values[Description] = u"a & \"b\""_s;
        RowTicks ticks{};
        for (int t : {Title, Description, Robots, Charset, ContentLanguage})
            ticks[std::size_t(listRowOfTag(t))] = true;
        if (withHead) {
            values.head[Canonical] = u"https://example.org/?a=1&b=2"_s;
            values.head[Alternates] = u"de=https://example.org/de/ x-default=https://example.org/"_s;
            values.head[ThemeColor] = u"#336699"_s;
            values.head[Icon] = u"/i.png"_s;
            values.head[Language] = u"de-AT"_s;
            values.head[StructuredData] = u"Article"_s;
            values.head[DatePublished] = u"2024-05-01"_s;
            for (int f : {Viewport, Canonical, Alternates, ThemeColor, Icon, Language, StructuredData})
                values.head.used[std::size_t(f)] = true;
        }
        return ProfileLines::of(values, ticks);
    };
    static const ProfileLines classic = make(false);
    static const ProfileLines withHead = make(true);
    return head ? withHead : classic;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView page(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::optional<PageHead> head = parseHead(page, true);
    if (!head)
        fail("a whole page asked for more bytes");
    qsizetype previous = -1;
    for (const HeadElement &e : head->elements) {
        if (e.start.offset <= previous || e.start.offset >= page.size() || e.end > page.size() ||
            e.startTagEnd > e.end || e.start.offset >= e.startTagEnd ||
            !lessThanAt(page, *head, e.start.offset))
            fail("an element outside the page or out of order");
        previous = e.start.offset;
    }
    const QStringList whole = summary(*head);
    const qsizetype cut = size > 0 ? qsizetype(data[0]) * page.size() / 256 : 0;
    if (const std::optional<PageHead> part = parseHead(page.first(cut), false)) {
        if (part->problem == HeadProblem::None && head->problem == HeadProblem::None &&
            summary(*part) != whole)
            fail("a prefix read another head than the whole page");
    }

    if (head->problem != HeadProblem::None || (!head->headTagWritten && head->elements.empty()))
        return 0;
    importHead(*head);
    const ProfileLines &lines = profileLines(size > 0 && (data[size - 1] & 1) != 0);
    try {
        const QString charset = linesCharset(*head, page, lines);
        const std::vector<PageEdit> edits = planEdits(*head, page, lines, charset);
        const QByteArray once = applyEdits(page, edits);
        const std::optional<PageHead> again = parseHead(once, true);
        if (!again || again->problem != HeadProblem::None)
            fail("the changed page cannot be read");
        if (!planEdits(*again, once, lines, linesCharset(*again, once, lines)).empty())
            fail("a second run changes the page again");
    } catch (const brindle::Error &) {
        // A page left alone, with its reason.
    }
    return 0;
}
