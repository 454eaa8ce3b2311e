#include "tags/metataggenerator.h"

#include "base/encodinglabels.h"
#include "base/error.h"
#include "base/textutil.h"

namespace brindle::tags {

using namespace Qt::StringLiterals;

TagValues TagValues::defaults()
{
    TagValues v;
    for (int t = kTextTagCount; t < kTagCount; ++t) {
        const TagInfo &info = tagInfo(t);
        v.values[static_cast<std::size_t>(t)] =
            toQString(info.items[static_cast<std::size_t>(info.defaultItem)]);
    }
    v.charsetItem = tagInfo(Charset).defaultItem;
    return v;
}

QString tagLine(int tagIndex, const QString &value, QStringView mode)
{
    const bool html = mode == QStringView(kModeHtml);
    QString line = toQString(tagInfo(tagIndex).templ);
    QString content = value;
    if (tagIndex != Title) {
        line.replace(u"#CL#"_s, html ? u">"_s : u" />"_s);
        // A quote would end the attribute early and break the line.
        content.replace(u'"', u"&quot;"_s);
    }
    line.replace(u"#CNT#"_s, content);
    return line;
}

namespace {

// Without the ASCII white space around it, which a label may have.
QString withoutBlanksAround(const QString &text)
{
    const auto blank = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
    };
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && blank(text[from]))
        ++from;
    while (to > from && blank(text[to - 1]))
        --to;
    return text.sliced(from, to - from);
}

} // namespace

CharsetChoice charsetChoice(int item, const QString &text)
{
    if (const std::string_view code = charsetCode(item); !code.empty())
        return {toQString(code), {}, {}};
    const QString typed = withoutBlanksAround(text);
    if (const std::optional<QLatin1StringView> encoding = encodingOfLabel(typed))
        return {typed, {}, encoding->toString()};
    for (const std::string_view code : CharsetCodes) {
        if (typed.compare(toQString(code), Qt::CaseInsensitive) == 0)
            return {typed, {}, {}};
    }
    const QString choose =
        u"choose one of the list or type a charset name browsers know, such as windows-1252"_s;
    if (typed.isEmpty())
        return {{}, u"No charset given: "_s + choose, {}, true};
    return {{}, u"Unknown charset \"%1\": "_s.arg(typed) + choose, {}};
}

GeneratedTags generateTags(const TagValues &input, const RowTicks &ticks, QStringView mode,
                           RefusedCharset refused)
{
    GeneratedTags out;
    RowTicks now = ticks;
    for (int t = 0; t < kTextTagCount; ++t) {
        const int row = listRowOfTag(t);
        if (input.values[static_cast<std::size_t>(t)].isEmpty()) {
            if (now[static_cast<std::size_t>(row)])
                out.rowsToUntick.push_back(row);
            now[static_cast<std::size_t>(row)] = false;
        }
    }

    int ticked = 0;
    for (int t = 0; t < kTagCount; ++t) {
        if (!now[static_cast<std::size_t>(listRowOfTag(t))])
            continue;
        ++ticked;
        QString value = input.values[static_cast<std::size_t>(t)];
        if (t == Charset) {
            const CharsetChoice charset = charsetChoice(input.charsetItem, value);
            if (!charset.refusal.isEmpty() && refused == RefusedCharset::Throws)
                throw Error(charset.refusal);
            value = charset.refusal.isEmpty() ? charset.code : withoutBlanksAround(value);
        }
        out.lines.append(tagLine(t, value, mode));
    }

    const QStringList social =
        socialLines(input.social, input.values[Title], input.values[Description], mode);
    out.lines += social;
    const QStringList head = headLines(input, mode);
    out.lines += head;
    if (input.head.isUsed(Language))
        out.pageLanguage = input.head[Language];

    out.caption = u"Meta Tags For "_s + mode.toString() + u" Documents"_s;
    out.pageMode = mode == QStringView(kModeHtml) ? 1 : 2;
    out.noticeDue = ticked < 1 && social.isEmpty() && head.isEmpty();
    return out;
}

QString joinLines(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines) {
        text += line;
        text += u"\r\n"_s;
    }
    return text;
}

} // namespace brindle::tags
