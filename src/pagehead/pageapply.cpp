#include "pagehead/pageapply.h"

#include "base/error.h"
#include "base/filename.h"
#include "base/filewriter.h"
#include "base/textutil.h"
#include "pagehead/pagecharset.h"
#include "pagehead/pageimport.h"

#include <algorithm>

#include <sys/stat.h>

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

// The line end lines inserted at `at` take: that of the line before them.
// At a line's start that is the line that ends there; within a line, the
// line itself; on a last line without an end, the line before it.
QByteArray lineEndBefore(QByteArrayView page, qsizetype at, const QByteArray &pageLineEnd)
{
    if (at > 0 && isLineEnd(page[at - 1])) {
        const qsizetype end = page[at - 1] == '\n' && at >= 2 && page[at - 2] == '\r' ? at - 2 : at - 1;
        return page.sliced(end, at - end).toByteArray();
    }
    qsizetype i = at;
    while (i < page.size() && !isLineEnd(page[i]))
        ++i;
    if (i < page.size())
        return page.sliced(i, pastLineEnd(page, i) - i).toByteArray();
    const qsizetype start = lineStartOf(page, at);
    return start > 0 ? lineEndBefore(page, start, pageLineEnd) : pageLineEnd;
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
                        const std::vector<QByteArray> &lines, const QByteArray &pageLineEnd)
{
    const qsizetype lineEnd = blankLineEndAfter(page, anchorEnd);
    if (lineEnd >= 0 && lineEnd < page.size()) {
        const qsizetype at = pastLineEnd(page, lineEnd);
        return {at, at, lineBlock(lines, indent, lineEndBefore(page, at, pageLineEnd), true)};
    }
    const QByteArray eol = lineEndBefore(page, anchorEnd, pageLineEnd);
    QByteArray block = lineBlock(lines, indent, eol, false);
    if (lineEnd < 0)
        block += eol + indent;
    return {anchorEnd, anchorEnd, block};
}

PageEdit insertionBefore(QByteArrayView page, qsizetype headEnd, const QByteArray &indent,
                         const std::vector<QByteArray> &lines, const QByteArray &pageLineEnd)
{
    if (blankBefore(page, headEnd)) {
        const qsizetype at = lineStartOf(page, headEnd);
        return {at, at, lineBlock(lines, indent, lineEndBefore(page, at, pageLineEnd), true)};
    }
    const QByteArray eol = lineEndBefore(page, headEnd, pageLineEnd);
    return {headEnd, headEnd, lineBlock(lines, indent, eol, false) + eol + indentOf(page, headEnd)};
}

// Whether `&` at text[i] starts a character reference: &name;, &#digits; or &#xhex;.
bool startsReference(QStringView text, qsizetype i)
{
    qsizetype j = i + 1;
    const auto run = [&](auto &&accepts) {
        const qsizetype from = j;
        while (j < text.size() && accepts(text[j]))
            ++j;
        return j > from;
    };
    const auto isDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    const auto isHex = [&](QChar c) { return isDigit(c) || (c.toLower() >= u'a' && c.toLower() <= u'f'); };
    const auto isNameChar = [&](QChar c) {
        return isDigit(c) || (c.toLower() >= u'a' && c.toLower() <= u'z');
    };
    bool ok = false;
    if (j < text.size() && text[j] == u'#') {
        ++j;
        if (j < text.size() && (text[j] == u'x' || text[j] == u'X')) {
            ++j;
            ok = run(isHex);
        } else {
            ok = run(isDigit);
        }
    } else if (j < text.size() && text[j].toLower() >= u'a' && text[j].toLower() <= u'z') {
        ok = run(isNameChar);
    }
    return ok && j < text.size() && text[j] == u';';
}

// Throws brindle::Error, naming the tag, when its line would break the page:
// a title holding its own end tag ends early and leaves the rest of the
// value as markup (and every later run adds it again); in an XHTML page a
// "<" or a "&" that starts no character reference makes it malformed XML.
void refuseBreakingLine(int kind, const QString &line, bool xhtml)
{
    const QString name = kind < kTagCount ? tagName(kind) : findingName({-1, kind - kTagCount, 0, false});
    constexpr qsizetype kTitleTags = 15; // "<title>" and "</title>"
    const QStringView value = kind == Title ? QStringView(line).sliced(7, line.size() - kTitleTags)
                                            : QStringView(line).sliced(1); // after the template's "<"
    if (kind == Title && value.contains(u"</title"_s, Qt::CaseInsensitive))
        throw Error(u"the title holds \"</title\", which would end it early; left alone"_s);
    if (!xhtml)
        return;
    if (value.contains(u'<'))
        throw Error(u"the %1 holds \"<\", which an XHTML page cannot hold; left alone"_s.arg(name));
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'&' && !startsReference(value, i))
            throw Error(u"the %1 holds a \"&\" that starts no character reference, which an XHTML page "
                        u"cannot hold; left alone"_s.arg(name));
    }
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
        QString content = value;
        if (t == Charset) {
            const CharsetChoice charset = charsetChoice(values.charsetItem, value);
            if (!charset.refusal.isEmpty() && !charset.blank)
                throw Error(charset.refusal);
            content = charset.code;
        }
        // A choice without text, typed away or never read from a page: an
        // empty value would replace what a page says.
        if (content.isEmpty()) {
            lines.withoutText[std::size_t(t)] = true;
            continue;
        }
        lines.html[std::size_t(t)] = tagLine(t, content, TagMode::Html);
        lines.xhtml[std::size_t(t)] = tagLine(t, content, TagMode::Xhtml);
        if (t == Charset)
            lines.charsetCode = content;
    }
    // The generator checks the values; each line is then made as it makes it.
    socialLines(values.social, values.values[Title], values.values[Description], TagMode::Html);
    for (int f = 0; values.social.used && f < kSocialFieldCount; ++f) {
        const QString value =
            effectiveSocialValue(values.social, f, values.values[Title], values.values[Description]);
        if (value.isEmpty())
            continue;
        lines.socialHtml[std::size_t(f)] = socialLine(f, value, TagMode::Html);
        lines.socialXhtml[std::size_t(f)] = socialLine(f, value, TagMode::Xhtml);
    }
    return lines;
}

bool ProfileLines::writesNothing() const
{
    const auto empty = [](const QString &line) { return line.isEmpty(); };
    return std::all_of(html.begin(), html.end(), empty) &&
           std::all_of(socialHtml.begin(), socialHtml.end(), empty) &&
           std::find(withoutText.begin(), withoutText.end(), true) == withoutText.end();
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
        const std::vector<const HeadElement *> &same = found[std::size_t(t)];
        if (t < kTagCount && lines.withoutText[std::size_t(t)] && !same.empty()) {
            throw Error(u"its %1 tag would be emptied: the profile's %2 has no text"_s.arg(
                tagName(t), toQString(tagInfo(t).rowText)));
        }
        if (line.isEmpty())
            continue;
        if (same.empty()) {
            refuseBreakingLine(t, line, head.xhtml);
            missing.push_back(encodeLine(line, encoding));
            continue;
        }
        const HeadElement &first = *same.front();
        if (t == Title && !first.endTagWritten)
            throw Error(u"its <title> has no end tag"_s);
        QByteArray bytes = encodeLine(line, encoding);
        if (page.sliced(first.start.offset, first.end - first.start.offset) != QByteArrayView(bytes))
            refuseBreakingLine(t, line, head.xhtml);
        edits.push_back({first.start.offset, first.end, std::move(bytes)});
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

namespace {

// What keeps a page that would change from being written, before anything
// is written: another name of the same file would keep the old bytes, and
// a backup must never replace a file or go through a link.
void refuseUnsafeWrite(const PageFile &file, const QString &path, const ApplyOptions &options)
{
    if (file.linkCount() > 1)
        throw Error(
            u"has %1 names (hard links), which replacing it would split; left alone"_s.arg(file.linkCount()));
    if (options.backupSuffix.isEmpty())
        return;
    const QString backup = path + options.backupSuffix;
    struct stat st = {};
    if (::lstat(fileNameBytes(backup).constData(), &st) != 0)
        return;
    if (!options.replaceBackup)
        throw Error(u"its backup %1 exists already; left alone"_s.arg(displayFileName(backup)));
    if (!S_ISREG(st.st_mode))
        throw Error(u"its backup %1 is not a regular file; left alone"_s.arg(displayFileName(backup)));
}

} // namespace

PreparedPage preparePage(const QString &path, const ProfileLines &lines, const ApplyOptions &options,
                         FileBatch &batch, const FileStamp *found)
{
    PreparedPage prepared;
    prepared.path = path;
    PageResult &result = prepared.result;
    try {
        PageFile file(path);
        // The name may lead elsewhere now than when its folder was read.
        if (found && !file.stamp().sameFile(*found))
            throw Error(u"was replaced by another file after its folder was read; left alone"_s);
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
        refuseUnsafeWrite(file, path, options);
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
            WriteOptions backup;
            backup.followLinks = false;
            backup.keepExisting = !options.replaceBackup;
            backup.attributesFrom = file.descriptor();
            try {
                prepared.backup = batch.add(path + options.backupSuffix, file.bytes(), backup);
            } catch (const std::exception &e) {
                prepared.backupError = messageOf(e);
            }
        }
        WriteOptions page;
        page.attributesFrom = file.descriptor();
        page.expected = file.stamp();
        try {
            prepared.page = batch.add(path, editedPieces(file.bytes(), edits), page);
        } catch (const FileChanged &) {
            prepared.pageChanged = true;
        } catch (const std::exception &e) {
            prepared.pageError = messageOf(e);
        }
        prepared.pending = true;
    } catch (const std::exception &e) {
        result.outcome = PageOutcome::Failed;
        result.message = pageMessage(path, messageOf(e));
    }
    return prepared;
}

PageResult finishPage(const PreparedPage &prepared, const ApplyOptions &options, FileBatch &batch)
{
    if (!prepared.pending)
        return prepared.result;
    const QString &path = prepared.path;
    const QString changed = u"changed while it was being read; left alone"_s;
    PageResult result;
    try {
        // The file behind any symbolic link is what is replaced, and what must not have changed.
        const auto unchangedOnDisk = [&] {
            if (!prepared.readWhole || prepared.pageChanged)
                return false;
            if (prepared.page >= 0)
                return batch.targetUnchanged(prepared.page);
            return PageFile::stampOf(path) == prepared.stamp;
        };
        if (options.beforeReplace)
            options.beforeReplace(path);
        if (!unchangedOnDisk())
            throw Error(changed);
        if (!options.backupSuffix.isEmpty()) {
            try {
                if (!prepared.backupError.isEmpty())
                    throw Error(prepared.backupError);
                // A page whose new bytes could not be written stays, and needs no backup.
                if (prepared.pageError.isEmpty())
                    batch.replace(prepared.backup);
            } catch (const std::exception &e) {
                throw Error(u"cannot write the backup %1 (%2); left alone"_s.arg(
                    displayFileName(path + options.backupSuffix), messageOf(e)));
            }
        }
        try {
            if (!prepared.pageError.isEmpty())
                throw Error(prepared.pageError);
            batch.replace(prepared.page);
        } catch (const FileChanged &) {
            throw Error(changed);
        } catch (const std::exception &e) {
            throw Error(u"cannot be written (%1)"_s.arg(messageOf(e)));
        }
        result.outcome = PageOutcome::Changed;
    } catch (const std::exception &e) {
        result.outcome = PageOutcome::Failed;
        result.message = pageMessage(path, messageOf(e));
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
    PageResult result = finishPage(preparePage(path, lines, options, batch), options, batch);
    for (const QString &failure : batch.syncFolders()) {
        result.outcome = PageOutcome::Failed;
        result.message = failure;
    }
    return result;
}

} // namespace brindle::pagehead
