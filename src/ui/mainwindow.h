#pragma once

// Tovalinform, the main window: the tag check list, the thirteen inputs level
// with their rows, the tool bar, the menus and the status bar.

#include "profile/profileworkflow.h"
#include "tags/metataggenerator.h"
#include "tags/tagcatalogue.h"
#include "tags/tagmode.h"

#include <QMainWindow>

#include <array>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;

namespace brindle::widgets {
class ComboBox;
class Edit;
class GradientPanel;
class ImageButton;
class StatusBar;
class TOvCheckList;
} // namespace brindle::widgets

namespace brindle::ui {

class Tfview;
class Thintf;
class Tfinfo;
class SocialCardsWindow;
class HeadWindow;

class Tovalinform : public QMainWindow, public profile::ProfileView
{
    Q_OBJECT

public:
    explicit Tovalinform(QWidget *parent = nullptr);
    ~Tovalinform() override;

    // The windows it opens; set once at start-up.
    void setViewer(Tfview *viewer) { m_viewer = viewer; }
    void setHintPopup(Thintf *hint) { m_hint = hint; }
    void setAboutBox(Tfinfo *about) { m_about = about; }

    void CreateTags(tags::TagMode mode);
    void btNewClick();
    void btOpenClick();
    void importFromWebPage();
    void btSaveClick();
    void SaveProfileAs1Click();
    void SelectAll1Click();
    void DeselectAll1Click();
    void SelectBasicOnly1Click();
    void btDefCharsetClick();
    void btAbotClick();
    void About1Click();
    // Tags > Social Cards...: the window is made at its first showing.
    void showSocialCards();
    SocialCardsWindow *socialCardsWindow() const { return m_socialCards; }
    // Tags > Head...: made at its first showing too.
    void showHeadWindow();
    HeadWindow *headWindow() const { return m_headWindow; }
    // Every value the tags are made from now.
    tags::TagValues tagValues() const;
    void showHint(int listRow);
    // The Open flow for a file named from outside (command line, drop).
    void openProfile(const QString &path);

    widgets::TOvCheckList *tagList() const { return taglis; }
    profile::ProfileWorkflow &workflow() { return *m_workflow; }
    QWidget *input(int tagIndex) const { return m_inputs[std::size_t(tagIndex)]; }
    QLabel *charsetCodeLabel() const { return lchars; }
    widgets::ImageButton *charsetResetButton() const { return btDefCharset; }
    QString statusText() const;

    // profile::ProfileView
    QString tagText(int tagIndex) const override;
    void setTagText(int tagIndex, const QString &text) override;
    int choiceItem(int tagIndex) const override;
    void setChoiceItem(int tagIndex, int item) override;
    void setChoiceText(int tagIndex, const QString &text) override;
    bool isRowChecked(int listRow) const override;
    void setRowChecked(int listRow, bool checked) override;
    void uncheckAllRows() override;
    tags::SocialValues socialValues() const override;
    void setSocialValues(const tags::SocialValues &social) override;
    // The head values and their ticks, as the Head window shows them.
    tags::HeadValues headValues() const override;
    void setHeadValues(const tags::HeadValues &head) override;
    void setProfileStatus(const QString &text) override;
    QWidget *dialogParent() override { return this; }

signals:
    // A profile file was dropped on the window; opened from the event loop.
    void profileDropped(const QString &path);
    // The social card values changed, in the Social Cards window or by a
    // profile flow.
    void socialValuesChanged();
    // The head values changed, in the Head window or by a profile flow.
    void headValuesChanged();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildToolBar(QWidget *client);
    void buildFields(QWidget *body);
    void buildMenus();
    void cbCharsetChange();
    QComboBox *choice(int tagIndex) const;
    int tagOfWidget(const QObject *object) const;
    bool takeProfileDrag(QEvent *event);

    widgets::GradientPanel *pntulbar = nullptr;
    widgets::GradientPanel *pnfields = nullptr;
    widgets::TOvCheckList *taglis = nullptr;
    std::array<QWidget *, tags::kTagCount> m_inputs{};
    widgets::ImageButton *btDefCharset = nullptr;
    QLabel *lchars = nullptr;
    widgets::StatusBar *sabar = nullptr;
    QMenu *poptaglis = nullptr;

    Tfview *m_viewer = nullptr;
    Thintf *m_hint = nullptr;
    Tfinfo *m_about = nullptr;
    SocialCardsWindow *m_socialCards = nullptr;
    tags::SocialValues m_social; // until the Social Cards window exists
    HeadWindow *m_headWindow = nullptr;
    tags::HeadValues m_head; // until the Head window exists
    int m_pageMode = 1;      // of the tags made last, which the Head window previews
    std::unique_ptr<profile::ProfileWorkflow> m_workflow;
};

} // namespace brindle::ui
