#include "cli/cli.h"

using namespace Qt::StringLiterals;

namespace brindle::cli {

int runTags(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Prints the title and meta tag lines, each followed by CR LF, exactly as \"Save to TXT\" "
        u"writes them. Empty text tags are left out; when no tag is left, the notice goes to "
        u"standard error and the exit status is 1."_s);
    TagOptions options;
    options.addTo(parser);
    ProfileOptions profile;
    profile.addTo(parser);
    if (!parseOrHelp(parser, arguments, u"tags"_s))
        return kExitOk;
    if (!parser.positionalArguments().isEmpty())
        throw UsageError(u"unexpected argument \"%1\""_s.arg(parser.positionalArguments().constFirst()));

    tags::TagValues values = tags::TagValues::defaults();
    tags::RowTicks ticks{};
    const bool fromProfile = profile.load(parser, values, ticks);
    options.apply(parser, values, ticks, fromProfile);
    if (profile.save(parser, values, ticks))
        return kExitOk;

    const std::optional<QString> text = tagLinesText(values, ticks, TagOptions::mode(parser));
    if (!text)
        return kExitFailure;
    writeStdout(text->toUtf8());
    return kExitOk;
}

} // namespace brindle::cli
