#pragma once

// The main window's thirteen inputs and check list as the generator reads
// them, with one signal for any change: what the preview and check windows
// follow while they are open.

#include "tags/metataggenerator.h"

#include <QObject>

#include <array>
#include <functional>

class QComboBox;
class QWidget;

namespace brindle::widgets {
class TOvCheckList;
}

namespace brindle::ui {

class Tovalinform;

class TagInputs : public QObject
{
    Q_OBJECT

public:
    // inputs by TagIndex: line edits for the text tags, drop-downs for the others.
    TagInputs(const std::array<QWidget *, tags::kTagCount> &inputs, widgets::TOvCheckList *list,
              QObject *parent = nullptr);
    // With the main window's social card and head values as well.
    static TagInputs *of(Tovalinform *mainWindow);
    void setSocialSource(std::function<tags::SocialValues()> source) { m_social = std::move(source); }
    void setHeadSource(std::function<tags::HeadValues()> source) { m_head = std::move(source); }

    tags::TagValues values() const;
    tags::RowTicks ticks() const;
    // The lines "For HTML" would show now; no row is unticked by asking.
    // Social card values that "For HTML" would refuse are in them as typed,
    // for the checker to name; head values it would refuse are left out (the
    // Head window names them).
    QStringList lines() const;

signals:
    void changed();

private:
    QComboBox *choice(int tagIndex) const;

    std::array<QWidget *, tags::kTagCount> m_inputs;
    widgets::TOvCheckList *m_list;
    std::function<tags::SocialValues()> m_social;
    std::function<tags::HeadValues()> m_head;
};

} // namespace brindle::ui
