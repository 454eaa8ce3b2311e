#include "pagehead/pageapply.h"

#include "base/error.h"
#include "base/filewriter.h"
#include "base/textutil.h"
#include "pagehead/pagecharset.h"
#include "pagehead/pageimport.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace brindle::pagehead {

using namespace brindle::tags;

namespace {

bool isVoid(const QString &name)
{
    return name == u"meta"_s || name == u"link"_s || name == u"base"_s || name == u"basefont"_s ||
           name == u"bgsound"_s;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

qsizetype lineStartOf(QByteArrayView page, qsizetype pos)
{
    while (pos > 0 && !isLineEnd(page[pos - 1]))
        --pos;
    return pos;
}

QByteArray indentOf(QByteArrayView page, qsizetype pos)
{
    const qsizetype start = lineStartOf(page, pos);
    qsizetype i = start;
    while (i < page.size() && isBlank(page[i]))
        ++i;
    return page.sliced(start, i - start).toByteArray();
}

bool blankBefore(QByteArrayView page, qsizetype pos)
{
    for (qsizetype i = lineStartOf(page, pos); i < pos; ++i) {
        if (!isBlank(page[i]))
            return false;
    }
    return true;
}

// Where the line of pos ends when only blanks follow pos on it: the offset
// of its line end, or page.size() at the end of the bytes; -1 when
// something else follows.
qsizetype blankLineEndAfter(QByteArrayView page, qsizetype pos)
{
    qsizetype i = pos;
    while (i < page.size() && isBlank(page[i]))
        ++i;
    if (i == page.size())
        return i;
    return isLineEnd(page[i]) ? i : -1;
}

qsizetype pastLineEnd(QByteArrayView page, qsizetype lineEnd)
{
    return page[lineEnd] == '\r' && lineEnd + 1 < page.size() && page[lineEnd + 1] == '\n' ? lineEnd + 2
                                                                                           : lineEnd + 1;
}

// A later tag of a kind already there goes, with its line when it stands alone on one.
PageEdit removalOf(QByteArrayView page, const HeadElement &element)
{
    const qsizetype start = element.start.offset;
    if (blankBefore(page, start)) {
        const qsizetype lineEnd = blankLineEndAfter(page, element.end);
        if (lineEnd >= 0 && lineEnd < page.size())
            return {lineStartOf(page, start), pastLineEnd(page, lineEnd), {}};
    }
    return {start, element.end, {}};
}

QByteArray encodeLine(const QString &line, const QString &encoding)
{
    if (isUtf8Name(encoding))
        return line.toUtf8();
    const bool hz = encoding.compare(u"hz-gb-2312"_s, Qt::CaseInsensitive) == 0;
    bool ascii = true;
    for (QChar c : line)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii && !hz)
        return line.toLatin1();
    const std::optional<QByteArray> bytes = encodeCharset(line, encoding);
    if (!bytes)
        throw Error(u"its charset %1 has no form for the line %2"_s.arg(encoding, line));
    return *bytes;
}

// The lines for the tags the page lacks, placed after `anchorEnd`: on the
// next line when only blanks follow it on its own, else right after it,
// and then what followed goes on a line of its own.
// The lines indented, each as a whole line: at a line's start, each ends with
// the line end; after other text, each begins with one.
QByteArray lineBlock(const std::vector<QByteArray> &lines, const QByteArray &indent, const QByteArray &eol,
                     bool atLineStart)
{
    QByteArray block;
    for (const QByteArray &line : lines)
        block += atLineStart ? indent + line + eol : eol + indent + line;
    return block;
}

PageEdit insertionAfter(QByteArrayView page, qsizetype anchorEnd, const QByteArray &indent,
                        const std::vector<QByteArray> &lines, const QByteArray &eol)
{
    const qsizetype lineEnd = blankLineEndAfter(page, anchorEnd);
    if (lineEnd >= 0 && lineEnd < page.size()) {
        const qsizetype at = pastLineEnd(page, lineEnd);
        return {at, at, lineBlock(lines, indent, eol, true)};
    }
    QByteArray block = lineBlock(lines, indent, eol, false);
    if (lineEnd < 0)
        block += eol + indent;
    return {anchorEnd, anchorEnd, block};
}

PageEdit insertionBefore(QByteArrayView page, qsizetype headEnd, const QByteArray &indent,
                         const std::vector<QByteArray> &lines, const QByteArray &eol)
{
    if (blankBefore(page, headEnd)) {
        const qsizetype at = lineStartOf(page, headEnd);
        return {at, at, lineBlock(lines, indent, eol, true)};
    }
    return {headEnd, headEnd, lineBlock(lines, indent, eol, false) + eol + indentOf(page, headEnd)};
}

} // namespace

ProfileLines ProfileLines::of(const TagValues &values, const RowTicks &ticks)
{
    ProfileLines lines;
    for (int t = 0; t < kTagCount; ++t) {
        if (!ticks[std::size_t(listRowOfTag(t))])
            continue;
        const QString &value = values.values[std::size_t(t)];
        // As the generator does: a ticked text tag without text writes nothing.
        if (t < kTextTagCount && value.isEmpty())
            continue;
        const QString content = t == Charset ? toQString(tags::charsetCode(values.charsetItem)) : value;
        lines.html[std::size_t(t)] = tagLine(t, content, QString::fromUtf16(kModeHtml));
        lines.xhtml[std::size_t(t)] = tagLine(t, content, QString::fromUtf16(kModeXhtml));
        if (t == Charset)
            lines.charsetCode = content;
    }
    // The generator checks the values; each line is then made as it makes it.
    socialLines(values.social, values.values[Title], values.values[Description],
                QString::fromUtf16(kModeHtml));
    for (int f = 0; values.social.used && f < kSocialFieldCount; ++f) {
        const QString value =
            effectiveSocialValue(values.social, f, values.values[Title], values.values[Description]);
        if (value.isEmpty())
            continue;
        lines.socialHtml[std::size_t(f)] = socialLine(f, value, QString::fromUtf16(kModeHtml));
        lines.socialXhtml[std::size_t(f)] = socialLine(f, value, QString::fromUtf16(kModeXhtml));
    }
    return lines;
}

bool ProfileLines::writesNothing() const
{
    const auto empty = [](const QString &line) { return line.isEmpty(); };
    return std::all_of(html.begin(), html.end(), empty) &&
           std::all_of(socialHtml.begin(), socialHtml.end(), empty);
}

std::vector<PageEdit> planEdits(const PageHead &head, QByteArrayView page, const ProfileLines &lines,
                                const QString &encoding)
{
    // The kinds of tag: the thirteen by TagIndex, then the social fields.
    constexpr int kKinds = kTagCount + kSocialFieldCount;
    std::array<QString, kKinds> text;
    const auto &tagLines = head.xhtml ? lines.xhtml : lines.html;
    const auto &fieldLines = head.xhtml ? lines.socialXhtml : lines.socialHtml;
    std::copy(tagLines.begin(), tagLines.end(), text.begin());
    std::copy(fieldLines.begin(), fieldLines.end(), text.begin() + kTagCount);
    std::array<std::vector<const HeadElement *>, kKinds> found;
    for (const HeadElement &element : head.elements) {
        int kind = tagOfElement(element);
        if (const int f = socialFieldOfElement(element); kind < 0 && f >= 0)
            kind = kTagCount + f;
        if (kind >= 0)
            found[std::size_t(kind)].push_back(&element);
    }

    std::vector<PageEdit> edits;
    std::vector<const HeadElement *> removed;
    std::vector<QByteArray> missing;
    for (int t = 0; t < kKinds; ++t) {
        const QString &line = text[std::size_t(t)];
        if (line.isEmpty())
            continue;
        const std::vector<const HeadElement *> &same = found[std::size_t(t)];
        if (same.empty()) {
            missing.push_back(encodeLine(line, encoding));
            continue;
        }
        const HeadElement &first = *same.front();
        if (t == Title && !first.endTagWritten)
            throw Error(u"its <title> has no end tag"_s);
        edits.push_back({first.start.offset, first.end, encodeLine(line, encoding)});
        for (std::size_t k = 1; k < same.size(); ++k) {
            edits.push_back(removalOf(page, *same[k]));
            removed.push_back(same[k]);
        }
    }

    if (!missing.empty()) {
        const HeadElement *last = nullptr;
        for (const auto &same : found) {
            for (const HeadElement *element : same) {
                if (std::find(removed.begin(), removed.end(), element) == removed.end() &&
                    (!last || element->start.offset > last->start.offset))
                    last = element;
            }
        }
        const QByteArray &eol = head.lineEnd;
        if (last && !last->endTagWritten && last->name == u"title"_s)
            throw Error(u"its <title> has no end tag"_s);
        if (last) {
            edits.push_back(
                insertionAfter(page, last->end, indentOf(page, last->start.offset), missing, eol));
        } else {
            // Indented like the head's other children that begin a line.
            // Only after an element that is closed: after the start tag of a
            // <template> or <noscript> left open the lines would be inside it.
            const HeadElement *child = nullptr;
            for (const HeadElement &element : head.elements) {
                if (element.depth == 0 && (element.endTagWritten || isVoid(element.name)) &&
                    (head.headEndTag < 0 || element.start.offset < head.headEndTag))
                    child = &element;
            }
            const HeadElement *lined = nullptr;
            for (const HeadElement &element : head.elements) {
                if (element.depth == 0 && blankBefore(page, element.start.offset) &&
                    (head.headEndTag < 0 || element.start.offset < head.headEndTag))
                    lined = &element;
            }
            if (head.headEndTag >= 0) {
                const QByteArray indent =
                    lined ? indentOf(page, lined->start.offset) : indentOf(page, head.headEndTag);
                edits.push_back(insertionBefore(page, head.headEndTag, indent, missing, eol));
            } else if (child) {
                edits.push_back(
                    insertionAfter(page, child->end, indentOf(page, child->start.offset), missing, eol));
            } else if (head.headTagWritten) {
                edits.push_back(insertionAfter(page, head.headStartTagEnd,
                                               indentOf(page, head.headStartTagEnd - 1), missing, eol));
            } else {
                throw Error(u"has no place for the tags in its head"_s);
            }
        }
    }

    std::erase_if(edits, [page](const PageEdit &edit) {
        return page.sliced(edit.begin, edit.end - edit.begin) == QByteArrayView(edit.bytes);
    });
    std::stable_sort(edits.begin(), edits.end(), [](const PageEdit &a, const PageEdit &b) {
        return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
    });
    for (std::size_t i = 1; i < edits.size(); ++i) {
        if (edits[i].begin < edits[i - 1].end)
            throw Error(u"its tags overlap in a way Brindle cannot rewrite"_s);
    }
    return edits;
}

namespace {

void readWhole(PageFile &file)
{
    if (file.stamp().size > kRewriteLimit)
        throw Error(u"is larger than %1 MiB, too large to rewrite"_s.arg(kRewriteLimit >> 20));
    // One byte past the size it had shows whether it grew meanwhile.
    file.readUpTo(qsizetype(file.stamp().size) + 1);
    if (file.bytes().size() > kRewriteLimit)
        throw Error(u"is larger than %1 MiB, too large to rewrite"_s.arg(kRewriteLimit >> 20));
}

} // namespace

bool changesCharset(const PageHead &head, const ProfileLines &lines)
{
    return !lines.charsetCode.isEmpty() && !sameCharset(lines.charsetCode, head.encoding);
}

QString linesCharset(const PageHead &head, QByteArrayView wholePage, const ProfileLines &lines)
{
    return charsetForLines(head, wholePage, lines.charsetCode);
}

PreparedPage preparePage(const QString &path, const ProfileLines &lines, const ApplyOptions &options,
                         FileBatch &batch)
{
    PreparedPage prepared;
    prepared.path = path;
    PageResult &result = prepared.result;
    try {
        PageFile file(path);
        const PageHead head = readHead(file);
        if (head.problem != HeadProblem::None)
            throw Error(head.problemText);
        if (!head.headTagWritten && head.elements.empty())
            throw Error(u"has no head: not an HTML page"_s);
        if (changesCharset(head, lines))
            readWhole(file);
        const QString encoding = linesCharset(head, file.bytes(), lines);
        const std::vector<PageEdit> edits = planEdits(head, file.bytes(), lines, encoding);
        if (edits.empty()) {
            result.outcome = PageOutcome::Unchanged;
            return prepared;
        }
        readWhole(file);
        if (options.dryRun) {
            result.diff = unifiedDiff(file.bytes(), edits, path);
            result.outcome = PageOutcome::Changed;
            return prepared;
        }
        prepared.stamp = file.stamp();
        prepared.readWhole = file.bytes().size() == file.stamp().size;
        // Written now, put in place by finishPage: the reasons they could
        // not be written wait there too, to be told in the order of the checks.
        if (!options.backupSuffix.isEmpty()) {
            try {
                prepared.backup = batch.add(path + options.backupSuffix, file.bytes());
            } catch (const Error &e) {
                prepared.backupError = e.message();
            }
        }
        try {
            prepared.page = batch.add(path, editedPieces(file.bytes(), edits));
        } catch (const Error &e) {
            prepared.pageError = e.message();
        }
        prepared.pending = true;
    } catch (const Error &e) {
        result.outcome = PageOutcome::Failed;
        result.message = pageMessage(path, e.message());
    } catch (const std::exception &e) {
        result.outcome = PageOutcome::Failed;
        result.message = pageMessage(path, QString::fromLocal8Bit(e.what()));
    }
    return prepared;
}

PageResult finishPage(const PreparedPage &prepared, const ApplyOptions &options, FileBatch &batch)
{
    if (!prepared.pending)
        return prepared.result;
    const QString &path = prepared.path;
    PageResult result;
    try {
        // The file behind any symbolic link is what is replaced, and what must not have changed.
        const auto unchangedOnDisk = [&] {
            return prepared.readWhole && PageFile::stampOf(path) == prepared.stamp;
        };
        if (options.beforeReplace)
            options.beforeReplace(path);
        if (!unchangedOnDisk())
            throw Error(u"changed while it was being read; left alone"_s);
        if (!options.backupSuffix.isEmpty()) {
            try {
                if (!prepared.backupError.isEmpty())
                    throw Error(prepared.backupError);
                // A page whose new bytes could not be written stays, and needs no backup.
                if (prepared.pageError.isEmpty())
                    batch.replace(prepared.backup);
            } catch (const Error &e) {
                throw Error(u"cannot write the backup %1 (%2); left alone"_s.arg(path + options.backupSuffix,
                                                                                 e.message()));
            }
        }
        if (!unchangedOnDisk())
            throw Error(u"changed while it was being read; left alone"_s);
        try {
            if (!prepared.pageError.isEmpty())
                throw Error(prepared.pageError);
            batch.replace(prepared.page);
        } catch (const Error &e) {
            throw Error(u"cannot be written (%1)"_s.arg(e.message()));
        }
        result.outcome = PageOutcome::Changed;
    } catch (const Error &e) {
        result.outcome = PageOutcome::Failed;
        result.message = pageMessage(path, e.message());
    } catch (const std::exception &e) {
        result.outcome = PageOutcome::Failed;
        result.message = pageMessage(path, QString::fromLocal8Bit(e.what()));
    }
    // What was not put in place goes.
    if (prepared.backup >= 0)
        batch.discard(prepared.backup);
    if (prepared.page >= 0)
        batch.discard(prepared.page);
    return result;
}

PageResult applyToPage(const QString &path, const ProfileLines &lines, const ApplyOptions &options)
{
    FileBatch batch;
    return finishPage(preparePage(path, lines, options, batch), options, batch);
}

} // namespace brindle::pagehead
