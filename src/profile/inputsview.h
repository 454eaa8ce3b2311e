#pragma once

// The main window's inputs and check list as plain data, for running the
// profile workflow without a window (brindle-cli, tests).

#include "base/textutil.h"
#include "profile/profileworkflow.h"
#include "tags/tagcatalogue.h"

#include <array>

namespace brindle::profile {

class InputsView : public ProfileView
{
public:
    std::array<QString, tags::kTagCount> texts; // text inputs, and the edit text of choice inputs
    std::array<int, tags::kTagCount> items{};
    std::array<bool, tags::kRowCount> rows{};
    QString status;
    tags::SocialValues social;
    tags::HeadValues head;

    QString tagText(int tagIndex) const override { return texts.at(std::size_t(tagIndex)); }
    void setTagText(int tagIndex, const QString &text) override { texts.at(std::size_t(tagIndex)) = text; }
    int choiceItem(int tagIndex) const override { return items.at(std::size_t(tagIndex)); }
    void setChoiceItem(int tagIndex, int item) override
    {
        const auto list = tags::tagInfo(tagIndex).items;
        if (item >= 0 && std::size_t(item) < list.size()) {
            items.at(std::size_t(tagIndex)) = item;
            texts.at(std::size_t(tagIndex)) = toQString(list[std::size_t(item)]);
            return;
        }
        // As a drop-down does: no item; -1 also empties the text.
        items.at(std::size_t(tagIndex)) = -1;
        if (item == -1)
            texts.at(std::size_t(tagIndex)).clear();
    }
    void setChoiceText(int tagIndex, const QString &text) override { texts.at(std::size_t(tagIndex)) = text; }
    bool isRowChecked(int listRow) const override { return rows.at(std::size_t(listRow)); }
    void setRowChecked(int listRow, bool checked) override { rows.at(std::size_t(listRow)) = checked; }
    void uncheckAllRows() override { rows.fill(false); }
    tags::SocialValues socialValues() const override { return social; }
    void setSocialValues(const tags::SocialValues &values) override { social = values; }
    tags::HeadValues headValues() const override { return head; }
    void setHeadValues(const tags::HeadValues &values) override { head = values; }
    void setProfileStatus(const QString &text) override { status = text; }
    QWidget *dialogParent() override { return nullptr; }
};

} // namespace brindle::profile
