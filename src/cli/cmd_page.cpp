#include "cli/cli.h"

#include "base/filewriter.h"
#include "render/webpage.h"

using namespace Qt::StringLiterals;

namespace brindle::cli {

namespace {

QString documentTypeNames()
{
    QStringList names;
    for (const render::DocumentType &type : render::kDocumentTypes)
        names << u'"' + QString::fromUtf16(type.listText.data(), qsizetype(type.listText.size())) + u'"';
    return names.join(u", "_s);
}

} // namespace

int runPage(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Prints the blank web page that \"Create HTML Page\" writes for the given tags. The XHTML "
        u"document types take the tag lines for XHTML, the others those for HTML."_s);
    parser.addOption({u"doctype"_s,
                      u"Document type, as the builder lists it: "_s + documentTypeNames() + u'.', u"name"_s});
    parser.addOption(
        {{u"o"_s, u"output"_s},
         u"Write the page to this file instead (replaced atomically); \"-\" is standard output."_s,
         u"file"_s});
    TagOptions options;
    options.addTo(parser, true);
    if (!parseOrHelp(parser, arguments, u"page"_s))
        return kExitOk;
    if (!parser.positionalArguments().isEmpty())
        throw UsageError(u"unexpected argument \"%1\""_s.arg(parser.positionalArguments().constFirst()));
    if (!parser.isSet(u"doctype"_s))
        throw UsageError(u"--doctype is required; one of "_s + documentTypeNames());
    const int row = render::documentTypeRow(parser.value(u"doctype"_s));
    if (row < 0)
        throw UsageError(u"unknown document type \"%1\"; one of %2"_s.arg(parser.value(u"doctype"_s),
                                                                          documentTypeNames()));
    const bool xhtml = render::kDocumentTypes[std::size_t(row)].xhtml;
    // The viewer offers only the document types of the mode its lines were made for.
    if (parser.isSet(u"xhtml"_s) && !xhtml)
        throw UsageError(u"--xhtml does not go with an HTML document type"_s);

    tags::TagValues values = tags::TagValues::defaults();
    tags::RowTicks ticks{};
    options.apply(parser, values, ticks, false);
    const tags::GeneratedTags generated =
        tags::generateTags(values, ticks, QString::fromUtf16(xhtml ? tags::kModeXhtml : tags::kModeHtml));
    if (generated.noticeDue) {
        writeStderrLine(QString::fromUtf16(tags::kNoTagsNotice));
        return kExitFailure;
    }

    const QByteArray page = render::pageBytes(render::declarationText(row), tags::joinLines(generated.lines),
                                              generated.pageLanguage);
    if (const QString output = parser.value(u"output"_s);
        parser.isSet(u"output"_s) && !isStandardStream(output))
        writeNamingTheFile(output, [&] { writeFileSafely(output, page); });
    else
        writeStdout(page);
    return kExitOk;
}

} // namespace brindle::cli
