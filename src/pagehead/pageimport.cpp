#include "pagehead/pageimport.h"

#include "base/error.h"
#include "base/filename.h"
#include "base/textutil.h"
#include "pagehead/pagecharset.h"

using namespace Qt::StringLiterals;

namespace brindle::pagehead {

using namespace brindle::tags;

namespace {

const HeadAttribute *nonEmpty(const HeadAttribute *a)
{
    return a && !a->value.trimmed().isEmpty() ? a : nullptr;
}

} // namespace

QString tagName(int tagIndex)
{
    return toQString(tagInfo(tagIndex).rowText).toLower();
}

int tagOfElement(const HeadElement &element)
{
    if (element.depth != 0)
        return -1;
    if (element.name == u"title"_s)
        return Title;
    if (element.name != u"meta"_s)
        return -1;
    if (const HeadAttribute *name = nonEmpty(element.attribute(u"name"))) {
        const QString wanted = name->value.trimmed();
        for (int t = Description; t <= Robots; ++t) {
            if (wanted.compare(tagName(t), Qt::CaseInsensitive) == 0)
                return t;
        }
        return -1;
    }
    if (const HeadAttribute *equiv = nonEmpty(element.attribute(u"http-equiv"))) {
        const QString wanted = equiv->value.trimmed();
        if (wanted.compare(u"cache-control"_s, Qt::CaseInsensitive) == 0)
            return CacheControl;
        if (wanted.compare(u"content-language"_s, Qt::CaseInsensitive) == 0)
            return ContentLanguage;
        if (wanted.compare(u"content-type"_s, Qt::CaseInsensitive) == 0)
            return Charset;
        return -1;
    }
    return element.attribute(u"charset") ? Charset : -1;
}

int socialFieldOfElement(const HeadElement &element)
{
    if (element.depth != 0 || element.name != u"meta"_s)
        return -1;
    for (const QStringView attribute : {u"property", u"name"}) {
        if (const HeadAttribute *name = nonEmpty(element.attribute(attribute)))
            return socialFieldOfProperty(name->value.trimmed());
    }
    return -1;
}

QString findingName(const TagFinding &finding)
{
    return finding.tagIndex >= 0 ? tagName(finding.tagIndex)
                                 : toQString(socialFieldInfo(finding.socialField).property);
}

QString singleLineValue(const QString &value)
{
    QString line = value;
    // As the page's line breaks reach a browser: CR LF is one.
    line.replace(u"\r\n"_s, u" "_s);
    for (QChar &c : line) {
        if (c == u'\r' || c == u'\n' || c == u'\t' || c == u'\f')
            c = u' ';
    }
    return line;
}

namespace {

// The title as browsers show it: runs of ASCII blanks are one space, none at either end.
QString collapsedTitle(const QString &title)
{
    QString collapsed;
    collapsed.reserve(title.size());
    bool blank = false;
    for (QChar c : title) {
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f') {
            blank = true;
            continue;
        }
        if (blank && !collapsed.isEmpty())
            collapsed += u' ';
        blank = false;
        collapsed += c;
    }
    return collapsed;
}

} // namespace

QString tagValueOf(const HeadElement &element, int tagIndex)
{
    if (tagIndex == Title)
        return collapsedTitle(element.text);
    if (tagIndex == Charset) {
        if (const HeadAttribute *charset = element.attribute(u"charset"))
            return charset->value.trimmed();
        const HeadAttribute *content = element.attribute(u"content");
        return content ? charsetOfContentType(content->value).value_or(QString()).trimmed() : QString();
    }
    const HeadAttribute *content = element.attribute(u"content");
    return content ? singleLineValue(content->value) : QString();
}

TagValues ImportedProfile::tagValues() const
{
    TagValues values;
    values.values = texts;
    values.charsetItem = items[Charset];
    values.social = social;
    return values;
}

ImportedProfile newProfileValues()
{
    ImportedProfile profile;
    for (int t = 0; t < kTagCount; ++t) {
        const TagInfo &info = tagInfo(t);
        profile.items[std::size_t(t)] = info.defaultItem;
        if (info.kind == InputKind::Choice)
            profile.texts[std::size_t(t)] = toQString(info.items[std::size_t(info.defaultItem)]);
    }
    return profile;
}

ImportedProfile importHead(const PageHead &head)
{
    ImportedProfile profile = newProfileValues();
    profile.xhtml = head.xhtml;
    std::array<bool, kTagCount> seen{};
    std::array<bool, kSocialFieldCount> seenSocial{};
    for (const HeadElement &element : head.elements) {
        const int t = tagOfElement(element);
        if (t < 0) {
            const int f = socialFieldOfElement(element);
            if (f < 0)
                continue;
            profile.findings.push_back({-1, f, element.start.line, seenSocial[std::size_t(f)]});
            if (seenSocial[std::size_t(f)])
                continue;
            seenSocial[std::size_t(f)] = true;
            profile.social.used = true;
            const HeadAttribute *content = element.attribute(u"content");
            const QString value = content ? singleLineValue(content->value) : QString();
            // One odd optional value does not cost the page's other tags.
            if (const QString problem = socialValueProblem(f, value); !problem.isEmpty()) {
                profile.warnings.push_back({element.start.line, problem + u"; left empty"_s});
                continue;
            }
            profile.social[f] = value;
            continue;
        }
        const auto slot = std::size_t(t);
        profile.findings.push_back({t, -1, element.start.line, seen[slot]});
        if (seen[slot])
            continue;
        seen[slot] = true;
        profile.ticks[std::size_t(listRowOfTag(t))] = true;
        const QString value = tagValueOf(element, t);
        if (t == Charset) {
            const int item = charsetItemOfName(value);
            profile.items[slot] = item;
            profile.texts[slot] = item >= 0 ? toQString(kCharsetItems[std::size_t(item)]) : value;
            if (item < 0) {
                profile.unknownCharset = value;
                profile.unknownCharsetLine = element.start.line;
            }
        } else {
            profile.texts[slot] = value;
            if (tagInfo(t).kind == InputKind::Choice)
                profile.items[slot] = itemIndexOfText(t, toView(value.toUtf8()));
        }
    }
    return profile;
}

QString pageMessage(const QString &path, const QString &reason)
{
    return displayFileName(path) + u": "_s + reason;
}

ImportedProfile importPage(const QString &path)
{
    PageHead head;
    try {
        head = readHeadOfFile(path);
    } catch (const Error &e) {
        throw Error(pageMessage(path, e.message()));
    }
    if (head.problem != HeadProblem::None)
        throw Error(pageMessage(path, head.problemText));
    if (!head.headTagWritten && head.elements.empty())
        throw Error(pageMessage(path, u"has no head: not an HTML page"_s));
    return importHead(head);
}

} // namespace brindle::pagehead
