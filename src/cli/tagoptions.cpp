#include "cli/cli.h"

#include "base/error.h"
#include "base/textutil.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;

namespace brindle::cli {

using namespace brindle::tags;

QString TagOptions::optionName(int tagIndex)
{
    return toQString(tagInfo(tagIndex).rowText).toLower();
}

QString TagOptions::socialOptionName(int field)
{
    return toQString(socialFieldInfo(field).key);
}

QString TagOptions::headOptionName(int field)
{
    return toQString(headFieldInfo(field).key);
}

namespace {

QString headHelp(int field)
{
    switch (HeadField(field)) {
    case Viewport:
        return u"Content of the viewport tag (empty: \"%1\")."_s.arg(QString::fromUtf16(kDefaultViewport));
    case Canonical:
        return u"The page's canonical address, absolute http:// or https://."_s;
    case Alternates:
        return u"An alternate page in another language, as LANG=URL with a BCP 47 language tag or "
               u"x-default and an absolute address; repeat it for each language."_s;
    case ThemeColor:
        return u"Theme colour: CSS hex (#336699) or a CSS colour name."_s;
    case Icon:
        return u"The icon's address, or its path as the site serves it (/favicon.ico)."_s;
    case Language:
        return u"The page's language for <html lang>, a BCP 47 tag such as en-GB."_s;
    case StructuredData:
        return u"Write JSON-LD structured data of this type: WebSite, Organization or Article."_s;
    case DatePublished:
        return u"Date published (Article), ISO 8601: 2024-05-01 or 2024-05-01T09:30:00+02:00."_s;
    case DateModified:
        return u"Date modified (Article), ISO 8601."_s;
    case Logo:
        return u"Logo address (Organization), absolute http:// or https://."_s;
    }
    return {};
}

QString socialHelp(int field)
{
    const SocialFieldInfo &info = socialFieldInfo(field);
    QString help = u"Value of the %1 tag"_s.arg(toQString(info.property));
    if (field == OgTitle)
        help += u"; empty, the title is used"_s;
    else if (field == OgDescription)
        help += u"; empty, the description is used"_s;
    switch (info.check) {
    case SocialCheck::AbsoluteAddress:
        help += u"; an absolute http:// or https:// address"_s;
        break;
    case SocialCheck::Locale:
        help += u"; language and country such as en_US"_s;
        break;
    case SocialCheck::None:
        if (!info.items.empty()) {
            QStringList items;
            for (auto item : info.items)
                items << toQString(item);
            help += u", such as "_s + items.join(u", "_s) + u"; any text"_s;
        }
        break;
    }
    return help + u'.';
}

} // namespace

void TagOptions::addTo(QCommandLineParser &parser, bool withLanguage)
{
    m_withLanguage = withLanguage;
    parser.addOption({u"xhtml"_s, u"Write the tags for XHTML documents (closer \" />\")."_s});
    for (int t = 0; t < kTagCount; ++t) {
        QString help;
        if (t == Charset)
            help =
                u"Charset: a code of the charset table, or a charset label of the Encoding Standard such as "
                u"windows-1252 or latin1 (default utf-8)."_s;
        else if (tagInfo(t).kind == InputKind::Choice)
            help = u"Value of the %1 tag, any text (default \"%2\")."_s.arg(
                toQString(tagInfo(t).rowText),
                toQString(tagInfo(t).items[std::size_t(tagInfo(t).defaultItem)]));
        else
            help = u"Value of the %1 tag (default empty)."_s.arg(toQString(tagInfo(t).rowText));
        parser.addOption({optionName(t), help, u"value"_s});
    }
    for (int f = 0; f < kSocialFieldCount; ++f)
        parser.addOption({socialOptionName(f), socialHelp(f), u"value"_s});
    for (int f = 0; f < kHeadFieldCount; ++f) {
        if (f == Language && !withLanguage)
            continue;
        const QString value = f == Alternates                            ? u"lang=url"_s
                              : f == Canonical || f == Icon || f == Logo ? u"url"_s
                                                                         : u"value"_s;
        parser.addOption({headOptionName(f), headHelp(f), value});
    }
    parser.addOption({u"use"_s,
                      u"Tags to use, separated by commas: \"all\" (the thirteen tags), \"basic\", "
                      u"\"social\" (the social card tags), \"head\" (the head tags), tag names or "
                      u"head tag names (viewport, canonical, alternate, theme-color, icon, lang, "
                      u"structured-data). Without it, the tags given on the command line are used."_s,
                      u"list"_s});
}

RowTicks TagOptions::parseUse(const QString &list, bool *social, std::array<bool, kHeadFieldCount> *head)
{
    RowTicks ticks{};
    if (social)
        *social = false;
    if (head)
        head->fill(false);
    const QStringList names = list.trimmed().split(u',', Qt::SkipEmptyParts);
    for (const QString &raw : names) {
        const QString name = raw.trimmed();
        if (name == u"all"_s) {
            // The thirteen tags, as "Select All" ticks them; not the social group.
            ticks.fill(true);
            continue;
        }
        if (name == u"basic"_s) {
            for (int row : BasicRows)
                ticks[std::size_t(row)] = true;
            continue;
        }
        if (name == u"social"_s) {
            if (!social)
                throw UsageError(u"\"social\" cannot be used here"_s);
            *social = true;
            continue;
        }
        const int field = headFieldOfKey(name);
        if (name == u"head"_s || field >= 0) {
            if (!head)
                throw UsageError(u"\"%1\" cannot be used here"_s.arg(name));
            if (field >= 0 && !headFieldInfo(field).tickable)
                throw UsageError(
                    u"\"%1\" in --use: it goes with structured-data and has no tick of its own"_s.arg(name));
            for (int f = 0; f < kHeadFieldCount; ++f) {
                if (f == field || (field < 0 && headFieldInfo(f).tickable))
                    (*head)[std::size_t(f)] = true;
            }
            continue;
        }
        int found = -1;
        for (int t = 0; t < kTagCount; ++t) {
            if (optionName(t) == name)
                found = t;
        }
        if (found < 0)
            throw UsageError(u"unknown tag name in --use: \"%1\""_s.arg(name));
        ticks[std::size_t(listRowOfTag(found))] = true;
    }
    return ticks;
}

void TagOptions::apply(const QCommandLineParser &parser, TagValues &values, RowTicks &ticks,
                       bool baseHasTicks) const
{
    RowTicks given{};
    for (int t = 0; t < kTagCount; ++t) {
        const QString name = optionName(t);
        if (!parser.isSet(name))
            continue;
        given[std::size_t(listRowOfTag(t))] = true;
        const QString value = parser.value(name);
        if (t != Charset) {
            values.values[std::size_t(t)] = value;
            continue;
        }
        // A code of the table selects its item, as picking it in the window
        // does; any other charset is the text typed.
        const int item = charsetIndexOfCode(value.toStdString());
        if (const CharsetChoice typed = charsetChoice(-1, value); item < 0 && !typed.refusal.isEmpty()) {
            QStringList codes;
            for (auto code : CharsetCodes)
                codes << toQString(code);
            const QString what = typed.blank ? u"no charset given"_s : u"unknown charset \"%1\""_s.arg(value);
            throw UsageError(what + u": give a code of the charset table (%1) or a charset label of the "
                                    u"Encoding Standard, such as windows-1252"_s.arg(codes.join(u", "_s)));
        }
        values.charsetItem = item;
        values.values[Charset] = item >= 0 ? toQString(kCharsetItems[std::size_t(item)]) : value;
    }
    bool socialGiven = false;
    for (int f = 0; f < kSocialFieldCount; ++f) {
        const QString name = socialOptionName(f);
        if (!parser.isSet(name))
            continue;
        const QString value = parser.value(name);
        if (const QString problem = socialValueProblem(f, value); !problem.isEmpty())
            throw UsageError(problem);
        values.social[f] = value;
        socialGiven = true;
    }
    std::array<bool, kHeadFieldCount> headGiven{};
    for (int f = 0; f < kHeadFieldCount; ++f) {
        const QString name = headOptionName(f);
        if ((f == Language && !m_withLanguage) || !parser.isSet(name))
            continue;
        // Each --alternate is one language; together they are the field's text.
        const QString value = f == Alternates ? parser.values(name).join(u' ') : parser.value(name);
        if (const QString problem = headValueProblem(f, value); !problem.isEmpty())
            throw UsageError(problem);
        values.head[f] = value;
        headGiven[std::size_t(f)] = headFieldInfo(f).tickable;
    }
    if (parser.isSet(u"use"_s)) {
        ticks = parseUse(parser.value(u"use"_s), &values.social.used, &values.head.used);
    } else if (!baseHasTicks) {
        ticks = given;
        values.social.used = socialGiven;
        values.head.used = headGiven;
    }
}

QString TagOptions::mode(const QCommandLineParser &parser)
{
    return QString::fromUtf16(parser.isSet(u"xhtml"_s) ? kModeXhtml : kModeHtml);
}

void throwOutputError(int errnoValue, const QString &what)
{
    if (errnoValue == EPIPE)
        throw BrokenPipe();
    throw Error(what + u' ' + QString::fromLocal8Bit(std::strerror(errnoValue)));
}

void writeStdout(QByteArrayView bytes)
{
    const auto size = std::size_t(bytes.size());
    // An empty view may have no data at all, which fwrite must not be given.
    if ((size > 0 && std::fwrite(bytes.data(), 1, size, stdout) != size) || std::fflush(stdout) != 0)
        throwOutputError(errno, u"Cannot write to standard output."_s);
}

void finishStdout()
{
    // A file system may report a failed write only when the file is closed.
    if (std::fflush(stdout) != 0 || std::fclose(stdout) != 0)
        throwOutputError(errno, u"Cannot write to standard output."_s);
}

void writeStderrLine(const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
}

bool parseOrHelp(QCommandLineParser &parser, const QStringList &arguments, const QString &command)
{
    const QCommandLineOption help({u"h"_s, u"help"_s}, u"Show this help."_s);
    parser.addOption(help);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!parser.parse(arguments))
        throw UsageError(parser.errorText());
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        // Without an application object the parser names no program.
        text.replace(u"<executable_name>"_s, u"brindle-cli "_s + command);
        writeStdout(text.toUtf8());
        return false;
    }
    return true;
}

} // namespace brindle::cli
