#include "cli/cli.h"

#include "base/parallel.h"
#include "base/textutil.h"
#include "check/checker.h"
#include "check/pagecheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <thread>

using namespace Qt::StringLiterals;

namespace brindle::cli {

namespace {

QByteArray rulesText()
{
    QString text;
    for (const check::Rule &rule : check::kRules) {
        text += u"%1  %2  %3\n"_s.arg(toQString(rule.id), -22)
                    .arg(check::levelName(rule.level), -7)
                    .arg(toQString(rule.summary));
    }
    return text.toUtf8();
}

QJsonArray rulesJson()
{
    QJsonArray rules;
    for (const check::Rule &rule : check::kRules) {
        rules.append(QJsonObject{{u"id"_s, toQString(rule.id)},
                                 {u"level"_s, check::levelName(rule.level)},
                                 {u"summary"_s, toQString(rule.summary)}});
    }
    return rules;
}

// file:line:column: level: message [rule], as compilers write it; a finding
// without a place has only the file.
QString findingLine(const QString &file, const check::Finding &f)
{
    QString place = file;
    if (f.at.line > 0) {
        place += u':' + QString::number(f.at.line);
        if (f.at.column > 0)
            place += u':' + QString::number(f.at.column);
    }
    return u"%1: %2: %3 [%4]"_s.arg(place, check::levelName(f.level), f.message, f.rule);
}

QJsonValue orNull(int n)
{
    return n > 0 ? QJsonValue(n) : QJsonValue();
}

QJsonValue measureJson(const check::LengthMeasure &m, double limit)
{
    if (!m.present)
        return QJsonValue();
    return QJsonObject{{u"characters"_s, m.characters},
                       {u"pixels"_s, std::round(m.pixels * 100) / 100},
                       {u"maxPixels"_s, limit}};
}

QByteArray reportJson(const std::vector<check::PageReport> &reports)
{
    QJsonArray pages;
    QJsonArray findings;
    int counts[3] = {};
    for (const check::PageReport &report : reports) {
        pages.append(QJsonObject{
            {u"file"_s, report.file},
            {u"title"_s, measureJson(report.title, check::kTitleMaxPixels)},
            {u"description"_s, measureJson(report.description, check::kDescriptionMaxPixels)},
        });
        for (const check::Finding &f : report.findings) {
            ++counts[int(f.level)];
            findings.append(QJsonObject{{u"file"_s, report.file},
                                        {u"line"_s, orNull(f.at.line)},
                                        {u"column"_s, orNull(f.at.column)},
                                        {u"rule"_s, f.rule},
                                        {u"level"_s, check::levelName(f.level)},
                                        {u"message"_s, f.message}});
        }
    }
    const QJsonObject document{{u"pages"_s, pages},
                               {u"findings"_s, findings},
                               {u"errors"_s, counts[int(check::Level::Error)]},
                               {u"warnings"_s, counts[int(check::Level::Warning)]},
                               {u"infos"_s, counts[int(check::Level::Info)]}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

} // namespace

int runCheck(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Checks the title and meta tags of web pages as search engines and browsers read them: lengths "
        u"and widths in a search result, tags they ignore, charsets, language tags, and the same title or "
        u"description on several of the pages. Prints one finding a line, as file:line:column: level: "
        u"message [rule]. The exit status is 1 when an error was found."_s);
    parser.addPositionalArgument(u"PAGE"_s, u"A web page to check."_s, u"PAGE..."_s);
    parser.addOption(
        {u"format"_s, u"Output: text (default) or json, one JSON document."_s, u"format"_s, u"text"_s});
    parser.addOption({u"rules"_s, u"List the rules: id, level and what each finds."_s});
    if (!parseOrHelp(parser, arguments, u"check"_s))
        return kExitOk;
    const QString format = parser.value(u"format"_s);
    if (format != u"text"_s && format != u"json"_s)
        throw UsageError(u"unknown format \"%1\"; text or json"_s.arg(format));
    const bool json = format == u"json"_s;
    if (parser.isSet(u"rules"_s)) {
        if (!parser.positionalArguments().isEmpty())
            throw UsageError(u"--rules takes no PAGE"_s);
        writeStdout(json ? QJsonDocument(rulesJson()).toJson(QJsonDocument::Indented) : rulesText());
        return kExitOk;
    }
    if (parser.positionalArguments().isEmpty())
        throw UsageError(u"missing PAGE"_s);

    // Found once, before the pages go to every core.
    const check::TextMeasure &measure = check::FontMeasure::liberationSans();
    const QStringList pages = parser.positionalArguments();
    std::vector<check::PageReport> reports(std::size_t(pages.size()));
    forEachOnThreads(reports.size(), std::max(1u, std::thread::hardware_concurrency()),
                     [&](std::size_t i) { reports[i] = check::checkPageFile(pages[qsizetype(i)], measure); });
    check::checkSite(reports);

    bool errors = false;
    for (const check::PageReport &report : reports)
        errors = errors || report.hasErrors();
    if (json) {
        writeStdout(reportJson(reports));
    } else {
        QByteArray text;
        for (const check::PageReport &report : reports) {
            for (const check::Finding &f : report.findings)
                text += findingLine(report.file, f).toUtf8() + '\n';
        }
        writeStdout(text);
    }
    return errors ? kExitFailure : kExitOk;
}

} // namespace brindle::cli
