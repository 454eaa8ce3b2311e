#include "cli/cli.h"

#include "base/error.h"
#include "pagehead/pageimport.h"
#include "profile/inputsview.h"
#include "profile/profileworkflow.h"

using namespace Qt::StringLiterals;

namespace brindle::cli {

namespace {

void reportFindings(const QString &page, const pagehead::ImportedProfile &profile)
{
    for (const pagehead::TagFinding &found : profile.findings) {
        QString line = u"%1:%2: %3"_s.arg(page).arg(found.line).arg(pagehead::findingName(found));
        if (found.repeated)
            line += u" again; the first one is used"_s;
        writeStderrLine(line);
    }
    for (const pagehead::ImportWarning &warning : profile.warnings)
        writeStderrLine(u"%1:%2: %3"_s.arg(page).arg(warning.line).arg(warning.text));
    if (!profile.unknownCharset.isNull())
        writeStderrLine(u"%1:%2: charset \"%3\" is not in the charset table; kept as typed"_s.arg(page)
                            .arg(profile.unknownCharsetLine)
                            .arg(profile.unknownCharset));
}

} // namespace

int runImport(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Reads the head of a web page and prints its tags as Brindle writes them (for XHTML when the "
        u"page's doctype or xmlns says XHTML), each followed by CR LF; standard error tells which tags "
        u"were found on which line. Title, the nine <meta name> tags, cache-control, content-language, "
        u"the charset, the social card tags (og:title, twitter:card, ...) and the head tags (viewport, "
        u"canonical, alternates, theme-color, icon, the <html>'s lang, JSON-LD structured data) are read; a "
        u"tag that occurs twice counts once, at its first place."_s);
    parser.addPositionalArgument(u"PAGE"_s, u"The web page."_s, u"PAGE"_s);
    parser.addOption({u"save-profile"_s,
                      u"Write the page's tags as a .wmp profile instead, byte for byte as the window's Save "
                      u"after File > Import from Web Page. A choice text that is not one of the list's items "
                      u"is saved as -1."_s,
                      u"file"_s});
    if (!parseOrHelp(parser, arguments, u"import"_s))
        return kExitOk;
    const QStringList pages = parser.positionalArguments();
    if (pages.isEmpty())
        throw UsageError(u"missing PAGE"_s);
    if (pages.size() > 1)
        throw UsageError(u"unexpected argument \"%1\""_s.arg(pages.at(1)));
    const QString &page = pages.constFirst();

    const pagehead::ImportedProfile imported = pagehead::importPage(page);
    reportFindings(page, imported);

    if (parser.isSet(u"save-profile"_s)) {
        profile::InputsView view;
        profile::ProfileWorkflow workflow(view);
        workflow.showImported(
            {imported.texts, imported.items, imported.ticks, imported.social, imported.head});
        workflow.CaptureInputs();
        const QString file = parser.value(u"save-profile"_s);
        writeNamingTheFile(file, [&] { workflow.writeProfile(file); });
        return kExitOk;
    }

    // The page's own charset, even one browsers do not know (reported above).
    const std::optional<QString> text = tagLinesText(
        imported.tagValues(), imported.ticks, imported.xhtml ? tags::TagMode::Xhtml : tags::TagMode::Html,
        pagehead::pageMessage(page, u"none of the thirteen tags found"_s),
        tags::RefusedCharset::WrittenAsTyped);
    if (!text)
        return kExitFailure;
    writeStdout(text->toUtf8());
    return kExitOk;
}

} // namespace brindle::cli
