#include "ui/checkwindow.h"

#include "base/error.h"
#include "check/pagecheck.h"
#include "ui/taginputs.h"
#include "widgets/fonts.h"

#include <QHeaderView>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace brindle::ui {

namespace {

enum Column
{
    LevelColumn,
    LineColumn,
    MessageColumn,
    RuleColumn,
};

QIcon levelIcon(const QStyle *style, check::Level level)
{
    switch (level) {
    case check::Level::Error:
        return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case check::Level::Warning:
        return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case check::Level::Info:
        break;
    }
    return style->standardIcon(QStyle::SP_MessageBoxInformation);
}

} // namespace

CheckWindow::CheckWindow(ui::TagInputs *inputs, QWidget *mainWindow) : ToolWindow(inputs, mainWindow)
{
    setObjectName(u"checkWindow"_s);
    setWindowTitle(u"Check"_s);
    setFont(widgets::uiFont(8));
    resize(760, 230);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(u"lvfindings"_s);
    m_list->setAccessibleName(u"Findings"_s);
    m_list->setHeaderLabels({u"Level"_s, u"Line"_s, u"Finding"_s, u"Rule"_s});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setWordWrap(true);
    m_list->setUniformRowHeights(false);
    m_list->setIconSize(QSize(16, 16));
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(MessageColumn, QHeaderView::Stretch);
    m_list->setColumnWidth(LevelColumn, 78);
    m_list->setColumnWidth(LineColumn, 36);
    m_list->setColumnWidth(RuleColumn, 136);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_list);
}

void CheckWindow::refresh()
{
    m_list->clear();
    std::vector<check::Finding> findings;
    try {
        findings = check::checkTagLines(inputs()->lines(), check::FontMeasure::liberationSans()).findings;
    } catch (const Error &e) {
        findings.push_back(check::unreadablePage(e.message()));
    }
    if (findings.empty()) {
        auto *item = new QTreeWidgetItem(m_list);
        item->setText(MessageColumn, u"No findings."_s);
        return;
    }
    for (const check::Finding &f : findings) {
        auto *item = new QTreeWidgetItem(m_list);
        item->setIcon(LevelColumn, levelIcon(style(), f.level));
        item->setText(LevelColumn, check::levelName(f.level));
        // The viewer's line; a finding about the whole page has none.
        item->setText(LineColumn, f.at.line > 0 ? QString::number(f.at.line) : QString());
        item->setText(MessageColumn, f.message);
        item->setToolTip(MessageColumn, f.message);
        item->setText(RuleColumn, f.rule);
    }
}

} // namespace brindle::ui
