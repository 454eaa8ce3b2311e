#include "ui/taginputs.h"

#include "base/error.h"
#include "ui/mainwindow.h"
#include "widgets/tagchecklist.h"

#include <QComboBox>
#include <QLineEdit>

namespace brindle::ui {

TagInputs::TagInputs(const std::array<QWidget *, tags::kTagCount> &inputs, widgets::TOvCheckList *list,
                     QObject *parent)
    : QObject(parent), m_inputs(inputs), m_list(list)
{
    for (int t = 0; t < tags::kTagCount; ++t) {
        if (t < tags::kTextTagCount)
            connect(static_cast<QLineEdit *>(m_inputs[std::size_t(t)]), &QLineEdit::textChanged, this,
                    &TagInputs::changed);
        else
            connect(choice(t), &QComboBox::currentTextChanged, this, &TagInputs::changed);
    }
    connect(m_list, &widgets::TOvCheckList::rowStateChanged, this, &TagInputs::changed);
}

TagInputs *TagInputs::of(Tovalinform *mainWindow)
{
    std::array<QWidget *, tags::kTagCount> inputs{};
    for (int t = 0; t < tags::kTagCount; ++t)
        inputs[std::size_t(t)] = mainWindow->input(t);
    auto *watcher = new TagInputs(inputs, mainWindow->tagList(), mainWindow);
    watcher->setSocialSource([mainWindow] { return mainWindow->socialValues(); });
    connect(mainWindow, &Tovalinform::socialValuesChanged, watcher, &TagInputs::changed);
    watcher->setHeadSource([mainWindow] { return mainWindow->headValues(); });
    connect(mainWindow, &Tovalinform::headValuesChanged, watcher, &TagInputs::changed);
    return watcher;
}

QComboBox *TagInputs::choice(int tagIndex) const
{
    return static_cast<QComboBox *>(m_inputs[std::size_t(tagIndex)]);
}

tags::TagValues TagInputs::values() const
{
    tags::TagValues values;
    for (int t = 0; t < tags::kTagCount; ++t) {
        values.values[std::size_t(t)] = t < tags::kTextTagCount
                                            ? static_cast<QLineEdit *>(m_inputs[std::size_t(t)])->text()
                                            : choice(t)->currentText();
    }
    values.charsetItem = choice(tags::Charset)->currentIndex();
    if (m_social)
        values.social = m_social();
    if (m_head)
        values.head = m_head();
    return values;
}

tags::RowTicks TagInputs::ticks() const
{
    tags::RowTicks ticks{};
    for (int row = 0; row < tags::kRowCount; ++row)
        ticks[std::size_t(row)] = m_list->IsRowChecked(row);
    return ticks;
}

QStringList TagInputs::lines() const
{
    tags::TagValues now = values();
    for (int f = 0; f < tags::kHeadFieldCount; ++f) {
        if (!tags::headValueProblem(f, now.head[f]).isEmpty())
            now.head.used[std::size_t(f)] = false;
    }
    try {
        tags::headLines(now, tags::TagMode::Html);
    } catch (const Error &) {
        // The structured data refuses a value it borrows from the social cards.
        now.head.used[std::size_t(tags::StructuredData)] = false;
    }
    // Refused values are written as they are, so that the checker names what is wrong.
    constexpr auto kAsTyped = tags::RefusedCharset::WrittenAsTyped;
    try {
        return tags::generateTags(now, ticks(), tags::TagMode::Html, kAsTyped).lines;
    } catch (const Error &) {
        const tags::SocialValues social = now.social;
        now.social.used = false;
        QStringList lines = tags::generateTags(now, ticks(), tags::TagMode::Html, kAsTyped).lines;
        // The social lines go where they belong, before the head lines.
        qsizetype at = lines.size() - tags::headLines(now, tags::TagMode::Html).size();
        for (int f = 0; f < tags::kSocialFieldCount; ++f) {
            const QString value =
                tags::effectiveSocialValue(social, f, now.values[tags::Title], now.values[tags::Description]);
            if (!value.isEmpty())
                lines.insert(at++, tags::socialLine(f, value, tags::TagMode::Html));
        }
        return lines;
    }
}

} // namespace brindle::ui
