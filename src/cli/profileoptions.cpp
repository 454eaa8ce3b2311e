#include "cli/cli.h"

#include "base/error.h"
#include "base/textutil.h"
#include "profile/inputsview.h"
#include "profile/profilefile.h"
#include "profile/profileworkflow.h"

using namespace Qt::StringLiterals;

namespace brindle::cli {

using namespace brindle::tags;

namespace {

const QString kProfileOption = u"profile"_s;
const QString kSaveProfileOption = u"save-profile"_s;

} // namespace

std::array<int, kTagCount> ProfileOptions::defaultItems()
{
    std::array<int, kTagCount> items{};
    for (int t = 0; t < kTagCount; ++t)
        items[std::size_t(t)] = tagInfo(t).defaultItem;
    return items;
}

void ProfileOptions::addTo(QCommandLineParser &parser)
{
    parser.addOption({kProfileOption,
                      u"Start from the values and ticks of a .wmp profile, as the window shows them after "
                      u"opening it. Tag options override single values, --use overrides the ticks."_s,
                      u"file"_s});
    parser.addOption({kSaveProfileOption,
                      u"Write the values and ticks as a .wmp profile, byte for byte as the window's Save, "
                      u"instead of printing the tags. A choice text is saved as the index of the item with "
                      u"exactly that text, or -1. \"-\" is standard output."_s,
                      u"file"_s});
}

bool ProfileOptions::load(const QCommandLineParser &parser, TagValues &values, RowTicks &ticks)
{
    if (!parser.isSet(kProfileOption))
        return false;
    loadFile(parser.value(kProfileOption), values, ticks, &m_items);
    return true;
}

void ProfileOptions::loadFile(const QString &path, TagValues &values, RowTicks &ticks,
                              std::array<int, kTagCount> *items)
{
    profile::InputsView view;
    profile::ProfileWorkflow workflow(view);
    workflow.ResetProfile(); // the window right after start-up
    if (workflow.openProfileFile(path) == profile::ReadOutcome::NotAProfile)
        throw Error(QString::fromUtf16(profile::kNotAProfileMessage));
    for (int t = 0; t < kTagCount; ++t)
        values.values[std::size_t(t)] = view.texts[std::size_t(t)];
    values.charsetItem = view.items[Charset];
    values.social = view.social;
    values.head = view.head;
    ticks = view.rows;
    if (items)
        *items = view.items;
}

bool ProfileOptions::save(const QCommandLineParser &parser, const TagValues &values, const RowTicks &ticks)
{
    if (!parser.isSet(kSaveProfileOption))
        return false;
    profile::InputsView view;
    profile::ProfileWorkflow workflow(view);
    view.items = m_items;
    for (int t = 0; t < kTagCount; ++t) {
        view.texts[std::size_t(t)] = values.values[std::size_t(t)];
        if (t < kTextTagCount || !parser.isSet(TagOptions::optionName(t)))
            continue;
        view.items[std::size_t(t)] = t == Charset
                                         ? values.charsetItem
                                         : itemIndexOfText(t, toView(values.values[std::size_t(t)].toUtf8()));
    }
    view.rows = ticks;
    view.social = values.social;
    view.head = values.head;
    workflow.CaptureInputs();
    const QString path = parser.value(kSaveProfileOption);
    if (isStandardStream(path))
        writeStdout(profile::profileBytes(workflow.CurrentValues(), workflow.CurrentUsed(),
                                          workflow.currentExtras()));
    else
        writeNamingTheFile(path, [&] { workflow.writeProfile(path); });
    return true;
}

} // namespace brindle::cli
