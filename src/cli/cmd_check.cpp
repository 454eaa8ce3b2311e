#include "cli/cli.h"

#include "base/filename.h"
#include "base/parallel.h"
#include "base/textutil.h"
#include "buildinfo.h"
#include "check/checker.h"
#include "check/pagecheck.h"
#include "pagehead/pagewalk.h"

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

// A line for a terminal: file names and page values may hold control
// characters (ESC would drive the terminal) and bytes that are not UTF-8;
// each is shown as an escape instead. C1 controls get their code point, as
// their \xHH would read as a byte of the name.
QString terminalSafe(const QString &line)
{
    QString shown = displayFileName(line);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const char16_t u = shown.at(i).unicode();
        if (u >= 0x80 && u <= 0x9F) {
            const QString escape = u"\\u%1"_s.arg(uint(u), 4, 16, QChar(u'0'));
            shown.replace(i, 1, escape);
            i += escape.size() - 1;
        }
    }
    return shown;
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

QString sarifLevel(check::Level level)
{
    // SARIF has no "info"; "note" is its least level.
    return level == check::Level::Info ? u"note"_s : check::levelName(level);
}

// A page's name as a URI reference: relative names stay relative (to the
// folder check ran in, which CI services take as the repository's top),
// others become file: addresses. Every byte of the name is kept.
QString sarifUri(const QString &file)
{
    QByteArray path = fileNameBytes(file);
    while (path.startsWith("./"))
        path.remove(0, 2);
    const QByteArray uri = path.toPercentEncoding("/");
    return QString::fromLatin1(file.startsWith(u'/') ? "file://" + uri : uri);
}

QJsonArray sarifRules()
{
    QJsonArray rules;
    for (const check::Rule &rule : check::kRules) {
        const QString summary = toQString(rule.summary);
        rules.append(QJsonObject{
            {u"id"_s, toQString(rule.id)},
            {u"shortDescription"_s, QJsonObject{{u"text"_s, summary}}},
            {u"help"_s,
             QJsonObject{{u"text"_s,
                          u"Finds where %1. `brindle-cli check --rules` lists every rule."_s.arg(summary)}}},
            {u"defaultConfiguration"_s, QJsonObject{{u"level"_s, sarifLevel(rule.level)}}},
        });
    }
    return rules;
}

int ruleIndex(const QString &id)
{
    for (std::size_t i = 0; i < check::kRules.size(); ++i) {
        if (id == toQString(check::kRules[i].id))
            return int(i);
    }
    return -1;
}

QByteArray reportSarif(const std::vector<check::PageReport> &reports, const QStringList &failures)
{
    QJsonArray results;
    for (const check::PageReport &report : reports) {
        for (const check::Finding &f : report.findings) {
            QJsonObject physical{{u"artifactLocation"_s, QJsonObject{{u"uri"_s, sarifUri(report.file)}}}};
            // Code scanning services place every result on a line: one about
            // the page as a whole goes on its first.
            QJsonObject region{{u"startLine"_s, std::max(f.at.line, 1)}};
            if (f.at.column > 0)
                region.insert(u"startColumn"_s, f.at.column);
            physical.insert(u"region"_s, region);
            results.append(QJsonObject{
                {u"ruleId"_s, f.rule},
                {u"ruleIndex"_s, ruleIndex(f.rule)},
                {u"level"_s, sarifLevel(f.level)},
                {u"message"_s, QJsonObject{{u"text"_s, f.message}}},
                {u"locations"_s, QJsonArray{QJsonObject{{u"physicalLocation"_s, physical}}}},
            });
        }
    }
    // Folders that could not be read are the run's trouble, not a page's.
    QJsonArray notifications;
    for (const QString &failure : failures) {
        notifications.append(
            QJsonObject{{u"level"_s, u"error"_s}, {u"message"_s, QJsonObject{{u"text"_s, failure}}}});
    }
    QJsonObject invocation{{u"executionSuccessful"_s, failures.isEmpty()}};
    if (!notifications.isEmpty())
        invocation.insert(u"toolExecutionNotifications"_s, notifications);
    QJsonObject driver{{u"name"_s, u"brindle-cli"_s},
                       {u"version"_s, QStringLiteral(BRINDLE_VERSION)},
                       {u"rules"_s, sarifRules()}};
    if (const QString home = QStringLiteral(BRINDLE_HOMEPAGE); !home.isEmpty())
        driver.insert(u"informationUri"_s, home);
    const QJsonObject run{{u"tool"_s, QJsonObject{{u"driver"_s, driver}}},
                          {u"invocations"_s, QJsonArray{invocation}},
                          {u"columnKind"_s, u"unicodeCodePoints"_s},
                          {u"results"_s, results}};
    const QJsonObject log{
        {u"$schema"_s,
         u"https://docs.oasis-open.org/sarif/sarif/v2.1.0/errata01/os/schemas/sarif-schema-2.1.0.json"_s},
        {u"version"_s, u"2.1.0"_s},
        {u"runs"_s, QJsonArray{run}}};
    return QJsonDocument(log).toJson(QJsonDocument::Indented);
}

} // namespace

int runCheck(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Checks the head of web pages as search engines and browsers read it: the title's and "
        u"description's lengths and widths in a search result, tags they ignore, charsets, language tags, "
        u"the viewport, the canonical address and the alternates by language, the language of <html>, "
        u"XHTML's syntax, structured data, and the same title or description on several of the pages. "
        u"Prints one finding a line, as file:line:column: level: message [rule]. The exit status is 1 when "
        u"an error was found."_s);
    parser.addPositionalArgument(
        u"PAGE"_s, u"A web page, or a folder whose *.html, *.htm and *.xhtml pages are taken."_s,
        u"PAGE..."_s);
    parser.addOption({u"format"_s,
                      u"Output: text (default), json (one JSON document) or sarif (SARIF 2.1.0, for code "
                      u"scanning services)."_s,
                      u"format"_s, u"text"_s});
    parser.addOption(
        {{u"r"_s, u"recursive"_s}, u"Walk the folders given as PAGE into their subfolders too."_s});
    parser.addOption({u"rules"_s, u"List the rules: id, level and what each finds."_s});
    if (!parseOrHelp(parser, arguments, u"check"_s))
        return kExitOk;
    const QString format = parser.value(u"format"_s);
    if (format != u"text"_s && format != u"json"_s && format != u"sarif"_s)
        throw UsageError(u"unknown format \"%1\"; text, json or sarif"_s.arg(format));
    if (parser.isSet(u"rules"_s)) {
        if (!parser.positionalArguments().isEmpty())
            throw UsageError(u"--rules takes no PAGE"_s);
        if (format == u"sarif"_s)
            writeStdout(reportSarif({}, {}));
        else
            writeStdout(format == u"json"_s ? QJsonDocument(rulesJson()).toJson(QJsonDocument::Indented)
                                            : rulesText());
        return kExitOk;
    }
    if (parser.positionalArguments().isEmpty())
        throw UsageError(u"missing PAGE"_s);

    // The same pages, and the same tree boundary, as apply.
    const pagehead::PageWalk walk(parser.positionalArguments(), parser.isSet(u"recursive"_s));
    QStringList failures;
    for (const pagehead::PageWalk::Skipped &skipped : walk.skipped()) {
        writeStderrLine(skipped.message);
        if (skipped.failure)
            failures << skipped.message;
    }

    // Found once, before the pages go to every core.
    const check::TextMeasure &measure = check::FontMeasure::liberationSans();
    const std::vector<pagehead::PageWalk::Page> &pages = walk.pages();
    std::vector<check::PageReport> reports(pages.size());
    forEachOnThreads(reports.size(), std::max(1u, std::thread::hardware_concurrency()),
                     [&](std::size_t i) { reports[i] = check::checkPageFile(pages[i].path, measure); });
    check::checkSite(reports);

    bool errors = !failures.isEmpty();
    for (const check::PageReport &report : reports)
        errors = errors || report.hasErrors();
    if (format == u"json"_s) {
        writeStdout(reportJson(reports));
    } else if (format == u"sarif"_s) {
        writeStdout(reportSarif(reports, failures));
    } else {
        QByteArray text;
        for (const check::PageReport &report : reports) {
            for (const check::Finding &f : report.findings)
                text += terminalSafe(findingLine(report.file, f)).toUtf8() + '\n';
        }
        writeStdout(text);
    }
    return errors ? kExitFailure : kExitOk;
}

} // namespace brindle::cli
