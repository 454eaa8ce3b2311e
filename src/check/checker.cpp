#include "check/checker.h"

#include "check/headrules.h"
#include "pagehead/pagecharset.h"
#include "tags/languagetag.h"
#include "tags/socialtags.h"

#include <QHash>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace brindle::check {

const std::array<Rule, 36> kRules = {{
    {u"page-unreadable", Level::Error, u"the page cannot be read"},
    {u"title-missing", Level::Error, u"the page has no title"},
    {u"title-empty", Level::Error, u"the title is empty"},
    {u"title-multiple", Level::Error, u"more than one title; only the first counts"},
    {u"title-length", Level::Warning,
     u"the title is wider than a search result shows (600 px at 20 px Arial, about 60 characters)"},
    {u"title-duplicate", Level::Warning, u"another of the given pages has the same title"},
    {u"description-missing", Level::Warning, u"the page has no description"},
    {u"description-short", Level::Warning, u"the description is shorter than 50 characters"},
    {u"description-length", Level::Warning,
     u"the description is wider than a search result shows (920 px at 14 px Arial, about 160 characters)"},
    {u"description-duplicate", Level::Warning, u"another of the given pages has the same description"},
    {u"charset-undecodable", Level::Error,
     u"the page's bytes do not decode with the declared charset (or, with none declared, as UTF-8), or "
     u"browsers refuse to decode the charset"},
    {u"charset-conflict", Level::Error, u"a second charset declaration differs from the first"},
    {u"charset-unknown", Level::Warning,
     u"the declared charset is not one browsers know, so they ignore the declaration"},
    {u"charset-mismatch", Level::Warning,
     u"the page's bytes are UTF-8 with non-ASCII characters, but another charset is declared"},
    {u"charset-missing", Level::Warning,
     u"the page has non-ASCII characters but declares no charset, so browsers may guess another one"},
    {u"charset-late", Level::Warning,
     u"the charset declaration ends after the first 1024 bytes, where browsers look for it before "
     u"reading the page"},
    {u"content-language-tag", Level::Info, u"content-language is not a language tag (BCP 47)"},
    {u"robots-noindex", Level::Info, u"robots keeps the page out of search engines' indexes"},
    {u"robots-nofollow", Level::Info, u"robots tells search engines not to follow the page's links"},
    {u"keywords-ignored", Level::Info, u"major search engines ignore the keywords tag"},
    {u"revisit-after-ignored", Level::Info, u"major search engines ignore the revisit-after tag"},
    {u"distribution-ignored", Level::Info, u"major search engines ignore the distribution tag"},
    {u"rating-ignored", Level::Info, u"major search engines ignore the rating tag unless it says \"adult\""},
    {u"social-image-missing", Level::Warning,
     u"social card tags without og:image: the card of a shared link shows no picture"},
    {u"social-title-length", Level::Warning, u"og:title is longer than 60 characters, where cards cut it"},
    {u"social-image-address", Level::Error,
     u"og:image or twitter:image is not an absolute http:// or https:// address"},
    {u"viewport-missing", Level::Warning,
     u"no <meta name=\"viewport\">: phones lay the page out at a desktop width, zoomed out"},
    {u"html-lang-missing", Level::Warning,
     u"the <html> tag has no lang: screen readers and translation must guess the page's language"},
    {u"canonical-relative", Level::Warning,
     u"the canonical address is relative; search engines want it absolute"},
    {u"canonical-multiple", Level::Error,
     u"more than one canonical link; search engines then ignore them all"},
    {u"canonical-invalid", Level::Error, u"the canonical address is not an http:// or https:// address"},
    {u"hreflang-invalid", Level::Error,
     u"an alternate's hreflang is not a language tag (BCP 47) or x-default"},
    {u"hreflang-no-self", Level::Warning,
     u"the page's alternates by language do not list the page itself (its canonical address)"},
    {u"xhtml-not-well-formed", Level::Error,
     u"a bare & or < in a tag's value of an XHTML page, which XML parsers refuse"},
    {u"structured-data-invalid", Level::Error,
     u"structured data (application/ld+json) that is not JSON, or lacks @context or @type"},
    {u"structured-data-incomplete", Level::Warning,
     u"structured data of type WebSite, Organization or Article without a property search engines "
     u"require for it"},
}};

QString levelName(Level level)
{
    switch (level) {
    case Level::Error:
        return u"error"_s;
    case Level::Warning:
        return u"warning"_s;
    case Level::Info:
        break;
    }
    return u"info"_s;
}

const Rule *findRule(QStringView id)
{
    for (const Rule &rule : kRules) {
        if (id == QStringView(rule.id.data(), qsizetype(rule.id.size())))
            return &rule;
    }
    return nullptr;
}

bool PageReport::hasErrors() const
{
    return std::any_of(findings.begin(), findings.end(),
                       [](const Finding &f) { return f.level == Level::Error; });
}

namespace {

// How far browsers look for a charset declaration before reading a page.
constexpr qsizetype kCharsetScanBytes = 1024;

// Where the cards of chat programs and social networks cut a title.
constexpr int kSocialTitleMaxCharacters = 60;

Finding finding(std::u16string_view id, Position at, const QString &message)
{
    return makeFinding(id, at, message);
}

QString pixels(double width)
{
    return QString::number(std::lround(width));
}

QString characters(int n)
{
    return n == 1 ? u"1 character"_s : u"%1 characters"_s.arg(n);
}

QString quoted(const QString &text)
{
    return u'"' + text + u'"';
}

bool isNamed(const MetaFact &meta, QStringView name)
{
    return meta.name.trimmed().compare(name, Qt::CaseInsensitive) == 0;
}

bool isHttpEquiv(const MetaFact &meta, QStringView name)
{
    return meta.httpEquiv.trimmed().compare(name, Qt::CaseInsensitive) == 0;
}

LengthMeasure measureText(const QString &text, const TextMeasure &measure, int pixelSize)
{
    return {true, characterCount(text), measure.width(text, pixelSize)};
}

void checkTitle(const PageFacts &facts, const TextMeasure &measure, PageReport &report)
{
    if (facts.titles.empty()) {
        report.findings.push_back(finding(u"title-missing", {}, u"page has no <title>"_s));
        return;
    }
    const TitleFact &first = facts.titles.front();
    for (std::size_t i = 1; i < facts.titles.size(); ++i) {
        report.findings.push_back(
            finding(u"title-multiple", facts.titles[i].at,
                    u"second <title>; the first, at line %1, is the one that counts"_s.arg(first.at.line)));
    }
    report.titleText = collapseWhitespace(first.text);
    report.titleAt = first.at;
    report.title = measureText(report.titleText, measure, kTitlePixelSize);
    if (report.titleText.isEmpty()) {
        report.findings.push_back(finding(u"title-empty", first.at, u"title is empty"_s));
        return;
    }
    if (report.title.pixels > kTitleMaxPixels) {
        report.findings.push_back(
            finding(u"title-length", first.at,
                    u"title is %1, %2 px wide; search results show "
                    u"about %3 px (about %4 characters)"_s.arg(characters(report.title.characters))
                        .arg(pixels(report.title.pixels))
                        .arg(kTitleMaxPixels)
                        .arg(kTitleAboutCharacters)));
    }
}

void checkDescription(const PageFacts &facts, const TextMeasure &measure, PageReport &report)
{
    const auto it = std::find_if(facts.metas.begin(), facts.metas.end(),
                                 [](const MetaFact &meta) { return isNamed(meta, u"description"); });
    if (it == facts.metas.end()) {
        report.findings.push_back(
            finding(u"description-missing", {}, u"page has no <meta name=\"description\">"_s));
        return;
    }
    report.descriptionText = collapseWhitespace(it->content);
    report.descriptionAt = it->at;
    report.description = measureText(report.descriptionText, measure, kDescriptionPixelSize);
    const LengthMeasure &m = report.description;
    if (m.characters < kDescriptionMinCharacters) {
        report.findings.push_back(
            finding(u"description-short", it->at,
                    u"description is %1; search results want at least %2"_s.arg(characters(m.characters))
                        .arg(kDescriptionMinCharacters)));
    } else if (m.pixels > kDescriptionMaxPixels) {
        report.findings.push_back(finding(u"description-length", it->at,
                                          u"description is %1, %2 px wide; search results show "
                                          u"about %3 (%4 px)"_s.arg(characters(m.characters))
                                              .arg(pixels(m.pixels))
                                              .arg(kDescriptionAboutCharacters)
                                              .arg(kDescriptionMaxPixels)));
    }
}

void checkCharsets(const PageFacts &facts, PageReport &report)
{
    // A byte-order mark decides the charset before any declaration; the
    // head reader has read the page in it.
    const bool byteOrderMark = !facts.byteOrderMark.isEmpty();
    if (facts.charsets.empty() && !facts.bytesAreUtf8 && !byteOrderMark) {
        report.findings.push_back(
            finding(u"charset-undecodable", {}, u"page's bytes are not UTF-8 and it declares no charset"_s));
        return;
    }
    if (facts.charsets.empty() && !facts.bytesAreAscii && !byteOrderMark) {
        report.findings.push_back(finding(u"charset-missing", {},
                                          u"page has non-ASCII characters but declares no charset; browsers "
                                          u"may guess another one and garble them"_s));
    }
    // Browsers look for the declaration in the first 1024 bytes before they
    // read the page; one they meet later makes them start again in it.
    if (!facts.charsets.empty() && facts.wholePage && !byteOrderMark &&
        facts.charsets.front().endOffset > kCharsetScanBytes) {
        const CharsetFact &first = facts.charsets.front();
        report.findings.push_back(finding(
            u"charset-late", first.at,
            u"charset declaration ends at byte %1; browsers look for it in the first %2 bytes, and read the "
            u"page again or in a guessed charset when it comes later"_s.arg(first.endOffset)
                .arg(kCharsetScanBytes)));
    }
    const CharsetFact *first = nullptr;
    for (const CharsetFact &fact : facts.charsets) {
        if (first && !pagehead::sameCharset(first->charset, fact.charset)) {
            report.findings.push_back(
                finding(u"charset-conflict", fact.at,
                        u"charset %1 differs from %2, declared at line %3"_s.arg(
                            fact.charset, first->charset, QString::number(first->at.line))));
        }
        if (!first)
            first = &fact;
        if (byteOrderMark)
            continue;
        switch (fact.decoding) {
        case Decoding::Fails:
            report.findings.push_back(finding(u"charset-undecodable", fact.at,
                                              u"page's bytes do not decode as %1"_s.arg(fact.charset)));
            break;
        case Decoding::Refused:
            report.findings.push_back(finding(
                u"charset-undecodable", fact.at,
                u"browsers do not decode charset %1: they show nothing of the page"_s.arg(fact.charset)));
            break;
        case Decoding::UnknownCharset:
            report.findings.push_back(finding(
                u"charset-unknown", fact.at,
                u"charset %1 is not one browsers know; they ignore it and guess the page's charset"_s.arg(
                    fact.charset)));
            break;
        case Decoding::Decodes:
            // Latin-1 and its kind decode any bytes: UTF-8 text then shows as
            // two odd characters for each non-ASCII one.
            if (facts.bytesAreUtf8 && !facts.bytesAreAscii && !pagehead::isUtf8Name(fact.charset)) {
                report.findings.push_back(
                    finding(u"charset-mismatch", fact.at,
                            u"page's bytes are UTF-8 but it declares %1; browsers will show its non-ASCII "
                            u"characters wrongly"_s.arg(fact.charset)));
            }
            break;
        }
    }
}

void checkMetas(const PageFacts &facts, PageReport &report)
{
    for (const MetaFact &meta : facts.metas) {
        const QString content = meta.content.trimmed();
        if (isHttpEquiv(meta, u"content-language") && !tags::isLanguageTagList(content)) {
            QString message = u"content-language %1 is not a language tag (BCP 47)"_s.arg(quoted(content));
            const QString tag = tags::languageTagOfListItem(content);
            if (!tag.isEmpty()) {
                message += u"; the tag for %1 is %2 (Brindle's list writes the language's name, as it "
                           u"always has)"_s.arg(content, quoted(tag));
            }
            report.findings.push_back(finding(u"content-language-tag", meta.at, message));
        } else if (isNamed(meta, u"robots")) {
            bool noindex = false;
            bool nofollow = false;
            for (const QString &token : content.toLower().split(QChar(u','), Qt::SkipEmptyParts)) {
                const QString t = token.trimmed();
                noindex = noindex || t == u"noindex"_s || t == u"none"_s;
                nofollow = nofollow || t == u"nofollow"_s || t == u"none"_s;
            }
            if (noindex) {
                report.findings.push_back(
                    finding(u"robots-noindex", meta.at,
                            u"robots %1: search engines leave this page out of their results"_s.arg(
                                quoted(content))));
            }
            if (nofollow) {
                report.findings.push_back(finding(
                    u"robots-nofollow", meta.at,
                    u"robots %1: search engines do not follow this page's links"_s.arg(quoted(content))));
            }
        } else if (isNamed(meta, u"keywords")) {
            report.findings.push_back(
                finding(u"keywords-ignored", meta.at, u"major search engines ignore the keywords tag"_s));
        } else if (isNamed(meta, u"revisit-after")) {
            report.findings.push_back(finding(u"revisit-after-ignored", meta.at,
                                              u"major search engines ignore the revisit-after tag; they "
                                              u"choose their own visits"_s));
        } else if (isNamed(meta, u"distribution")) {
            report.findings.push_back(finding(u"distribution-ignored", meta.at,
                                              u"major search engines ignore the distribution tag"_s));
        } else if (isNamed(meta, u"rating")) {
            // "adult" is the one value search engines' safe search reads.
            if (content.compare(u"adult"_s, Qt::CaseInsensitive) != 0) {
                report.findings.push_back(
                    finding(u"rating-ignored", meta.at,
                            u"major search engines ignore rating %1; they read only \"adult\""_s.arg(
                                quoted(content))));
            }
        }
    }
}

// Open Graph tags are written with property, Twitter card tags with name;
// pages use either attribute for either kind.
QString socialName(const MetaFact &meta)
{
    for (const QString *attribute : {&meta.property, &meta.name}) {
        QString name = attribute->trimmed().toLower();
        if (name.startsWith(u"og:"_s) || name.startsWith(u"twitter:"_s))
            return name;
    }
    return {};
}

void checkSocial(const PageFacts &facts, PageReport &report)
{
    const MetaFact *first = nullptr;
    bool image = false;
    bool titleSeen = false;
    for (const MetaFact &meta : facts.metas) {
        const QString name = socialName(meta);
        if (name.isEmpty())
            continue;
        if (!first)
            first = &meta;
        const QString content = meta.content.trimmed();
        if (name == u"og:image"_s || name == u"twitter:image"_s) {
            image = image || (name == u"og:image"_s && !content.isEmpty());
            if (!content.isEmpty() && !tags::isAbsoluteWebAddress(content)) {
                report.findings.push_back(
                    finding(u"social-image-address", meta.at,
                            u"%1 %2 is not an absolute http:// or https:// address; networks cannot fetch "
                            u"the picture"_s.arg(name, quoted(content))));
            }
        } else if (name == u"og:title"_s && !titleSeen) {
            // Only the first counts, as with the title.
            titleSeen = true;
            const int length = characterCount(collapseWhitespace(meta.content));
            if (length > kSocialTitleMaxCharacters) {
                report.findings.push_back(
                    finding(u"social-title-length", meta.at,
                            u"og:title is %1; cards cut it after about %2"_s.arg(characters(length))
                                .arg(kSocialTitleMaxCharacters)));
            }
        }
    }
    if (first && !image) {
        report.findings.push_back(
            finding(u"social-image-missing", first->at,
                    u"social card tags but no og:image: the card of a shared link shows no picture"_s));
    }
}

bool inPageOrder(const Finding &a, const Finding &b)
{
    if (a.at.line != b.at.line)
        return a.at.line < b.at.line;
    return a.at.column < b.at.column;
}

void sortFindings(PageReport &report)
{
    std::stable_sort(report.findings.begin(), report.findings.end(), inPageOrder);
}

void reportDuplicates(std::vector<PageReport> &reports, QString PageReport::*text, Position PageReport::*at,
                      std::u16string_view rule, const QString &what)
{
    QHash<QString, std::vector<std::size_t>> pagesByText;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        const QString &t = reports[i].*text;
        if (!t.isEmpty())
            pagesByText[t].push_back(i);
    }
    for (const std::vector<std::size_t> &pages : std::as_const(pagesByText)) {
        if (pages.size() < 2)
            continue;
        for (std::size_t i : pages) {
            // Each page names one other: the first, or for the first the second.
            const PageReport &other = reports[pages[i == pages.front() ? 1 : 0]];
            QString message = u"same %1 as %2:%3"_s.arg(what, other.file).arg((other.*at).line);
            if (pages.size() == 3)
                message += u" and 1 other page"_s;
            else if (pages.size() > 3)
                message += u" and %1 other pages"_s.arg(pages.size() - 2);
            PageReport &report = reports[i];
            report.findings.push_back(finding(rule, report.*at, message));
        }
    }
}

} // namespace

PageReport checkPage(const PageFacts &facts, const TextMeasure &measure, const QString &file)
{
    PageReport report;
    report.file = file;
    checkTitle(facts, measure, report);
    checkDescription(facts, measure, report);
    checkCharsets(facts, report);
    checkMetas(facts, report);
    checkSocial(facts, report);
    checkHead(facts, report.findings);
    sortFindings(report);
    return report;
}

void checkSite(std::vector<PageReport> &reports)
{
    reportDuplicates(reports, &PageReport::titleText, &PageReport::titleAt, u"title-duplicate", u"title"_s);
    reportDuplicates(reports, &PageReport::descriptionText, &PageReport::descriptionAt,
                     u"description-duplicate", u"description"_s);
    for (PageReport &report : reports)
        sortFindings(report);
}

LengthMeasure measureTitle(QStringView text, const TextMeasure &measure)
{
    return measureText(collapseWhitespace(text), measure, kTitlePixelSize);
}

LengthMeasure measureDescription(QStringView text, const TextMeasure &measure)
{
    return measureText(collapseWhitespace(text), measure, kDescriptionPixelSize);
}

Finding makeFinding(std::u16string_view id, Position at, const QString &message)
{
    const Rule *rule = findRule(QStringView(id.data(), qsizetype(id.size())));
    Q_ASSERT(rule);
    return {QString::fromUtf16(id.data(), qsizetype(id.size())), rule->level, at, message};
}

Finding unreadablePage(const QString &reason)
{
    return finding(u"page-unreadable", {}, reason);
}

} // namespace brindle::check
