#pragma once

// Keeps the main window's thirteen inputs and check-list ticks in step with a
// profile file: the four profile arrays, the profile's name, path and flags,
// and the New / Open / Save / Save Profile As / Close flows. The window is
// reached only through ProfileView, every question and file dialog through
// the dialogs facade, so all of it runs headless under test.
//
// Errors are not caught here: a failed write, an unreadable or malformed
// file, or a choice entry that is not an integer throws brindle::Error out of
// the running flow. The window runs each flow inside brindle::guarded(), which
// shows the general error report; for FormClose an error means the window
// stays open:
//
//     bool mayClose = false;
//     brindle::guarded(this, [&] { mayClose = m_profile.FormClose(); });
//     if (!mayClose) event->ignore();

#include "base/dialogs.h"
#include "profile/profilefile.h"
#include "profile/socialentries.h"
#include "profile/tagstringarray.h"
#include "tags/tagcatalogue.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <array>

#include <optional>

class QWidget;

namespace brindle::profile {

// Implemented by the main window.
class ProfileView
{
public:
    virtual ~ProfileView() = default;
    // The text of a text input, or of a choice input's edit field.
    virtual QString tagText(int tagIndex) const = 0;
    virtual void setTagText(int tagIndex, const QString &text) = 0; // text inputs, TagIndex 0..5
    virtual int choiceItem(int tagIndex) const = 0; // choice inputs 6..12: selected item, -1 none
    // Selects an item. -1: no item and the text emptied; an index outside the
    // list: no item, text kept. For the charset input this also brings the
    // code label and the reset button in line, as a change by the user does.
    virtual void setChoiceItem(int tagIndex, int item) = 0;
    // Puts text into a choice input's edit field and keeps its item (none
    // after setChoiceItem(tagIndex, -1)), as typing does (charset input:
    // label and button brought in line too).
    virtual void setChoiceText(int tagIndex, const QString &text) = 0;
    virtual bool isRowChecked(int listRow) const = 0;
    virtual void setRowChecked(int listRow, bool checked) = 0;
    virtual void uncheckAllRows() = 0;
    // The social card values and their group's tick, as the Social Cards
    // window shows them.
    virtual tags::SocialValues socialValues() const = 0;
    virtual void setSocialValues(const tags::SocialValues &social) = 0;
    // The head values and their ticks, as the Head window shows them. A view
    // without that window keeps none: a profile's head values then go
    // unshown and are not written back.
    virtual tags::HeadValues headValues() const { return {}; }
    virtual void setHeadValues(const tags::HeadValues &) {}
    virtual void setProfileStatus(const QString &text) = 0; // left status pane
    virtual QWidget *dialogParent() = 0;
};

inline constexpr char16_t kUntitledCaption[] = u"Untitled";
inline constexpr char16_t kStatusPrefix[] = u"Profile : ";
inline constexpr char16_t kOpenDialogTitle[] = u"Open Meta Tags Profile";
inline constexpr char16_t kSaveDialogTitle[] = u"Save Meta Tags Profile";
inline constexpr char16_t kSaveAsDialogTitle[] = u"Save Meta Tags Profile As...";
inline constexpr char16_t kProfileFilterName[] = u"Meta Tags Profile";
inline constexpr char16_t kProfilePattern[] = u"*.wmp";
inline constexpr char16_t kProfileSuffix[] = u"wmp";
inline constexpr char16_t kImportDialogTitle[] = u"Import from Web Page";
inline constexpr char16_t kPageFilterName[] = u"Web Page";
inline constexpr char16_t kPagePatterns[] = u"*.html *.htm *.xhtml";

// What importing a page puts into the inputs and the check list.
struct ImportedInputs
{
    std::array<QString, tags::kTagCount> texts; // text inputs, and the edit text of choice inputs
    std::array<int, tags::kTagCount> items{};   // choice inputs' items; -1: the text as typed
    std::array<bool, tags::kRowCount> rows{};
    tags::SocialValues social;
    tags::HeadValues head = {}; // initialised: braces may give only the members above
};

// The file name without its folder and with every ".wmp" removed, exactly
// and case-sensitively: "x.wmpold.wmp" gives "xold", "Shop.WMP" stays.
QString profileNameFromPath(const QString &path);

// Do you want to save the changes to "shop" ?
QString savePromptText(const QString &profileName);

// The profile among dropped URLs: the one local file whose name ends in
// ".wmp" (any letter case); empty for anything else, several files included.
QString droppedProfilePath(const QList<QUrl> &urls);

// The item index a choice entry stands for: empty selects item 0, otherwise a
// decimal integer with leading blanks and one sign allowed and nothing after
// the digits. Throws "'%s' is not a valid integer value".
int choiceItemOfEntry(const QString &entry);

class ProfileWorkflow
{
public:
    // Every question, notice and file dialog of the flows goes to the
    // program-wide brindle::dialogs(); the steps below ask none.
    // Construction touches no input: the window calls ResetProfile() once its
    // inputs exist, as the last step of its creation.
    explicit ProfileWorkflow(ProfileView &view);

    // Operations.
    void CaptureInputs();
    // LoadedValues/LoadedUsed into the inputs, ticks and current arrays; the
    // profile is named after path. Every choice entry is checked before any
    // input changes, so a bad entry throws and leaves everything as it was.
    void ApplyLoaded(const QString &path);
    // Compares the captured inputs with the loaded arrays entry by entry.
    bool TestModified();
    void ResetProfile();

    // Flows, one per user action.
    void btNewClick();
    void btOpenClick();
    // The Open flow for a file named outside the open dialog (the command
    // line, a later copy, a drop): the save prompt when the profile is
    // modified, then the file read and applied as if chosen in the dialog,
    // whose remembered name stays as it was. False when it was rejected.
    bool openGivenFile(const QString &path);
    void btSaveClick();
    void SaveProfileAs1Click();
    // File > Import from Web Page...: as Open, but the chosen page's head
    // fills the inputs as a new untitled profile that counts as modified.
    void importFromWebPage();
    // Whether the main window may close now.
    bool FormClose();

    // Steps of the flows, also used by brindle-cli; none of them asks or
    // tells the user anything. openProfileFile reads path and applies it;
    // NotAProfile when the file was rejected, and then nothing has changed
    // (the flows tell the user kNotAProfileMessage). writeProfile writes the
    // current arrays to path and makes them the loaded ones.
    ReadOutcome openProfileFile(const QString &path);
    void writeProfile(const QString &path);
    // Resets to a new untitled profile, then shows the imported values and
    // ticks; the profile counts as modified until it is saved or replaced.
    void showImported(const ImportedInputs &inputs);

    const TOvStringArray &CurrentValues() const { return m_currentValues; }
    const TOvStringArray &CurrentUsed() const { return m_currentUsed; }
    const TOvStringArray &LoadedValues() const { return m_loadedValues; }
    const TOvStringArray &LoadedUsed() const { return m_loadedUsed; }
    const ProfileExtras &currentExtras() const { return m_currentExtras; }
    const ProfileExtras &loadedExtras() const { return m_loadedExtras; }
    const SocialEntries &currentSocial() const { return m_currentExtras.social; }
    const SocialEntries &loadedSocial() const { return m_loadedExtras.social; }
    const QString &ProfileName() const { return m_profileName; }
    const QString &ProfilePath() const { return m_profilePath; }
    bool ProfileUntitled() const { return m_profileUntitled; }
    bool ProfileModified() const { return m_profileModified; }
    const QString &UntitledCaption() const { return m_untitledCaption; }
    FileDialog &odi() { return m_odi; }
    FileDialog &sadi() { return m_sadi; }
    FileDialog &importDialog() { return m_importDialog; }

private:
    void offerToSaveBeforeOpen();
    // openProfileFile, and the notice when the file is not a profile.
    bool openOrTellWhyNot(const QString &path);
    // Saves the inputs under the profile's file, asking for one while it is
    // untitled; false when that question is cancelled.
    bool saveInputs();
    bool askSaveChanges();
    std::optional<QString> askSaveFile();
    void showName();

    ProfileView &m_view;

    TOvStringArray m_currentValues;
    TOvStringArray m_currentUsed;
    TOvStringArray m_loadedValues;
    TOvStringArray m_loadedUsed;
    // The choice texts, the social and the head values go with the arrays: captured,
    // applied, compared and written with them.
    ProfileExtras m_currentExtras;
    ProfileExtras m_loadedExtras;
    QString m_profileName;
    QString m_profilePath;
    bool m_profileUntitled = true;
    bool m_profileModified = false;
    bool m_importedUnsaved = false; // an import's values, not yet saved
    const QString m_untitledCaption;

    FileDialog m_odi;
    FileDialog m_sadi;
    FileDialog m_importDialog;
};

} // namespace brindle::profile
