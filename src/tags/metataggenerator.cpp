#include "tags/metataggenerator.h"

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

GeneratedTags generateTags(const TagValues &input, const RowTicks &ticks, QStringView mode)
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
        const QString value = t == Charset ? toQString(charsetCode(input.charsetItem))
                                           : input.values[static_cast<std::size_t>(t)];
        out.lines.append(tagLine(t, value, mode));
    }

    const QStringList social =
        socialLines(input.social, input.values[Title], input.values[Description], mode);
    out.lines += social;

    out.caption = u"Meta Tags For "_s + mode.toString() + u" Documents"_s;
    out.pageMode = mode == QStringView(kModeHtml) ? 1 : 2;
    out.noticeDue = ticked < 1 && social.isEmpty();
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
