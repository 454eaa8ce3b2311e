#pragma once

// The page checker: judges a page's head as search engines and browsers will
// read it. Works on PageFacts and knows no markup, files or windows.

#include "check/pagefacts.h"
#include "check/textmeasure.h"

#include <QString>

#include <array>
#include <string_view>
#include <vector>

namespace brindle::check {

enum class Level
{
    Error,
    Warning,
    Info,
};

// "error", "warning", "info".
QString levelName(Level level);

struct Rule
{
    std::u16string_view id;
    Level level;
    std::u16string_view summary;
};

// Every rule the checker has, in the order `brindle-cli check --rules` lists them.
extern const std::array<Rule, 36> kRules;

// The rule with that id; nullptr for none.
const Rule *findRule(QStringView id);

struct Finding
{
    QString rule;
    Level level = Level::Info;
    Position at; // none for a finding about the whole page
    QString message;
};

struct LengthMeasure
{
    bool present = false;
    int characters = 0;
    double pixels = 0;
};

struct PageReport
{
    QString file; // as the user named the page; other pages' findings refer to it
    std::vector<Finding> findings;
    LengthMeasure title;       // of the first title
    LengthMeasure description; // of the first description
    // The texts as a search result shows them, for the site check.
    QString titleText;
    QString descriptionText;
    Position titleAt;
    Position descriptionAt;

    bool hasErrors() const;
};

// The rules that need one page only. Findings come in page order.
PageReport checkPage(const PageFacts &facts, const TextMeasure &measure, const QString &file = {});

// The rules across pages: the same title or description on two or more of
// them. Adds findings to the reports and keeps each report in page order.
void checkSite(std::vector<PageReport> &reports);

// A title's or description's measure as a search result shows the text
// (whitespace collapsed), for length guidance while it is typed.
LengthMeasure measureTitle(QStringView text, const TextMeasure &measure);
LengthMeasure measureDescription(QStringView text, const TextMeasure &measure);

// A finding for a page that could not be read at all.
Finding unreadablePage(const QString &reason);

// A finding of a rule in kRules, at its level.
Finding makeFinding(std::u16string_view id, Position at, const QString &message);

} // namespace brindle::check
