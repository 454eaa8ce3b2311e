#include "cli/cli.h"

#include "base/error.h"
#include "base/textutil.h"

#include <QCoreApplication>

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

void TagOptions::addTo(QCommandLineParser &parser)
{
    parser.addOption({u"xhtml"_s, u"Write the tags for XHTML documents (closer \" />\")."_s});
    for (int t = 0; t < kTagCount; ++t) {
        QString help;
        if (t == Charset)
            help = u"Charset code, one of the charset table's codes (default utf-8)."_s;
        else if (tagInfo(t).kind == InputKind::Choice)
            help = u"Value of the %1 tag, any text (default \"%2\")."_s.arg(
                toQString(tagInfo(t).rowText),
                toQString(tagInfo(t).items[std::size_t(tagInfo(t).defaultItem)]));
        else
            help = u"Value of the %1 tag (default empty)."_s.arg(toQString(tagInfo(t).rowText));
        parser.addOption({optionName(t), help, u"value"_s});
    }
    parser.addOption({u"use"_s,
                      u"Tags to use: \"all\", \"basic\", or tag names separated by commas. "
                      u"Without it, the tags given on the command line are used."_s,
                      u"list"_s});
}

RowTicks TagOptions::parseUse(const QString &list)
{
    RowTicks ticks{};
    const QString trimmed = list.trimmed();
    if (trimmed == u"all"_s) {
        ticks.fill(true);
        return ticks;
    }
    if (trimmed == u"basic"_s) {
        for (int row : BasicRows)
            ticks[std::size_t(row)] = true;
        return ticks;
    }
    const QStringList names = trimmed.split(u',', Qt::SkipEmptyParts);
    for (const QString &raw : names) {
        const QString name = raw.trimmed();
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
        const int item = charsetIndexOfCode(value.toStdString());
        if (item < 0) {
            QStringList codes;
            for (auto code : CharsetCodes)
                codes << toQString(code);
            throw UsageError(
                u"unknown charset code \"%1\"; valid codes: %2"_s.arg(value, codes.join(u", "_s)));
        }
        values.charsetItem = item;
    }
    if (parser.isSet(u"use"_s))
        ticks = parseUse(parser.value(u"use"_s));
    else if (!baseHasTicks)
        ticks = given;
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
    if (std::fwrite(bytes.data(), 1, size, stdout) != size || std::fflush(stdout) != 0)
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
        text.replace(QCoreApplication::applicationFilePath(), u"brindle-cli "_s + command);
        writeStdout(text.toUtf8());
        return false;
    }
    return true;
}

} // namespace brindle::cli
