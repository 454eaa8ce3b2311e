#include "profile/profileworkflow.h"

#include "base/error.h"
#include "base/parseint.h"
#include "base/textutil.h"
#include "pagehead/pageimport.h"
#include "profile/profilefile.h"
#include "tags/tagcatalogue.h"

#include <QFileInfo>

#include <array>
#include <limits>

using namespace Qt::StringLiterals;

namespace brindle::profile {

namespace {

using tags::kTagCount;
using tags::kTextTagCount;

constexpr int kChoiceCount = kTagCount - kTextTagCount;

const QString kUsedYes = u"Y"_s;
const QString kUsedNo = u"N"_s;

FileDialogOptions dialogOptions(const char16_t *title, bool confirmOverwrite)
{
    return {QString::fromUtf16(title), QString::fromUtf16(kProfileFilterName),
            QString::fromUtf16(kProfilePattern), QString::fromUtf16(kProfileSuffix), confirmOverwrite};
}

// The value entries of a new profile: empty texts, default item indexes.
TOvStringArray defaultValues()
{
    TOvStringArray values;
    for (int t = kTextTagCount; t < kTagCount; ++t)
        values[t] = QString::number(tags::tagInfo(t).defaultItem);
    return values;
}

// The text a choice input shows beside its item: kept only where the item
// does not say it.
QString choiceTextBeside(int tagIndex, int item, const QString &text)
{
    const auto items = tags::tagInfo(tagIndex).items;
    if (item >= 0 && std::size_t(item) < items.size() && toQString(items[std::size_t(item)]) == text)
        return {};
    return text;
}

// Checks every choice entry before anything is changed, so a bad entry
// leaves the window exactly as it was.
std::array<int, kChoiceCount> choiceItemsOf(const TOvStringArray &values)
{
    std::array<int, kChoiceCount> items{};
    for (int t = kTextTagCount; t < kTagCount; ++t)
        items[static_cast<std::size_t>(t - kTextTagCount)] = choiceItemOfEntry(values[t]);
    return items;
}

} // namespace

QString profileNameFromPath(const QString &path)
{
    return QFileInfo(path).fileName().remove(u".wmp"_s, Qt::CaseSensitive);
}

QString savePromptText(const QString &profileName)
{
    return u"Do you want to save the changes to "_s + u'"' + profileName + u'"' + u" ?"_s;
}

QString droppedProfilePath(const QList<QUrl> &urls)
{
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return {};
    const QString path = urls.front().toLocalFile();
    return path.endsWith(u".wmp"_s, Qt::CaseInsensitive) ? path : QString();
}

int choiceItemOfEntry(const QString &entry)
{
    if (entry.isEmpty())
        return 0;
    qsizetype i = 0;
    while (i < entry.size() && entry[i] == u' ')
        ++i;
    const ParsedInt32 parsed = parseInt32(QStringView(entry).mid(i));
    if (parsed.status != ParseStatus::Ok)
        throw Error(u"'%1' is not a valid integer value"_s.arg(entry));
    return parsed.value;
}

ProfileWorkflow::ProfileWorkflow(ProfileView &view)
    : m_view(view), m_currentUsed(kUsedNo), m_loadedValues(defaultValues()), m_loadedUsed(kUsedNo),
      m_profileName(QString::fromUtf16(kUntitledCaption)),
      m_untitledCaption(QString::fromUtf16(kUntitledCaption)), m_odi(dialogOptions(kOpenDialogTitle, false)),
      m_sadi(dialogOptions(kSaveDialogTitle, true)), m_importDialog({QString::fromUtf16(kImportDialogTitle),
                                                                     QString::fromUtf16(kPageFilterName),
                                                                     QString::fromUtf16(kPagePatterns),
                                                                     {},
                                                                     false})
{}

void ProfileWorkflow::CaptureInputs()
{
    for (int t = 0; t < kTextTagCount; ++t)
        m_currentValues[t] = m_view.tagText(t);
    for (int t = kTextTagCount; t < kTagCount; ++t) {
        const int item = m_view.choiceItem(t);
        m_currentValues[t] = QString::number(item);
        m_currentExtras.choiceTexts[t] = choiceTextBeside(t, item, m_view.tagText(t));
    }
    for (int t = 0; t < kTagCount; ++t)
        m_currentUsed[t] = m_view.isRowChecked(tags::listRowOfTag(t)) ? kUsedYes : kUsedNo;
    m_currentExtras.social = SocialEntries::of(m_view.socialValues());
    m_currentExtras.head = m_view.headValues();
}

void ProfileWorkflow::ApplyLoaded(const QString &path)
{
    const std::array<int, kChoiceCount> items = choiceItemsOf(m_loadedValues);
    // Texts longer than an input's limit are shown whole; the view must not cut them.
    for (int t = 0; t < kTextTagCount; ++t)
        m_view.setTagText(t, m_loadedValues[t]);
    for (int t = kTextTagCount; t < kTagCount; ++t) {
        const int item = items[static_cast<std::size_t>(t - kTextTagCount)];
        m_view.setChoiceItem(t, item);
        if (const QString &text = m_loadedExtras.choiceTexts[t]; !text.isEmpty())
            m_view.setChoiceText(t, text);
        // As the input shows it, so that a text that changes nothing there
        // (one beside a text tag, or the item's own) is no change either.
        m_loadedExtras.choiceTexts[t] = choiceTextBeside(t, m_view.choiceItem(t), m_view.tagText(t));
    }
    for (int t = 0; t < kTextTagCount; ++t)
        m_loadedExtras.choiceTexts[t].clear();
    // Exactly "Y" ticks; "y", "yes" and "" untick.
    for (int t = 0; t < kTagCount; ++t)
        m_view.setRowChecked(tags::listRowOfTag(t), m_loadedUsed[t] == kUsedYes);
    m_view.setSocialValues(m_loadedExtras.social.toValues());
    m_view.setHeadValues(m_loadedExtras.head);
    m_currentValues = m_loadedValues;
    m_currentUsed = m_loadedUsed;
    m_currentExtras = m_loadedExtras;
    m_importedUnsaved = false;
    m_profileUntitled = false;
    m_profilePath = path;
    m_profileName = profileNameFromPath(path);
    showName();
}

bool ProfileWorkflow::TestModified()
{
    CaptureInputs();
    // Entry by entry: joined texts would take "AN"+"" for "A"+"N".
    m_profileModified = m_currentValues != m_loadedValues || m_currentUsed != m_loadedUsed ||
                        m_currentExtras != m_loadedExtras || m_importedUnsaved;
    return m_profileModified;
}

void ProfileWorkflow::ResetProfile()
{
    for (int t = 0; t < kTextTagCount; ++t)
        m_view.setTagText(t, QString());
    for (int t = kTextTagCount; t < kTagCount; ++t)
        m_view.setChoiceItem(t, tags::tagInfo(t).defaultItem);
    m_view.uncheckAllRows();
    m_view.setSocialValues({});
    m_view.setHeadValues({});
    m_currentValues = TOvStringArray();
    m_currentUsed = TOvStringArray(kUsedNo);
    m_loadedUsed = TOvStringArray(kUsedNo);
    m_loadedValues = defaultValues();
    m_currentExtras = ProfileExtras();
    m_loadedExtras = ProfileExtras();
    m_profileName = m_untitledCaption;
    m_view.setProfileStatus(QString::fromUtf16(kStatusPrefix) + m_untitledCaption);
    m_profileUntitled = true;
    m_importedUnsaved = false;
}

void ProfileWorkflow::btNewClick()
{
    if (!TestModified() || !askSaveChanges()) {
        ResetProfile();
        return;
    }
    if (saveInputs())
        ResetProfile();
}

void ProfileWorkflow::offerToSaveBeforeOpen()
{
    // A cancelled save dialog here does not stop the open.
    if (TestModified() && askSaveChanges())
        btSaveClick();
}

void ProfileWorkflow::btOpenClick()
{
    offerToSaveBeforeOpen();
    const std::optional<QString> file = m_odi.askOpen(m_view.dialogParent());
    if (!file)
        return;
    openOrTellWhyNot(*file);
}

bool ProfileWorkflow::openGivenFile(const QString &path)
{
    offerToSaveBeforeOpen();
    return openOrTellWhyNot(path);
}

bool ProfileWorkflow::openOrTellWhyNot(const QString &path)
{
    if (openProfileFile(path) == ReadOutcome::Accepted)
        return true;
    dialogs().information(m_view.dialogParent(), QString::fromUtf16(kApplicationTitle),
                          QString::fromUtf16(kNotAProfileMessage));
    return false;
}

void ProfileWorkflow::btSaveClick()
{
    saveInputs();
}

bool ProfileWorkflow::saveInputs()
{
    CaptureInputs();
    if (m_profileUntitled) {
        // Saving an untitled profile keeps it untitled: the next Save asks again.
        const std::optional<QString> file = askSaveFile();
        if (!file)
            return false;
        writeProfile(*file);
        return true;
    }
    writeProfile(m_profilePath);
    return true;
}

void ProfileWorkflow::SaveProfileAs1Click()
{
    // The title is put back on every way out, errors included.
    struct TitleRestorer
    {
        FileDialog &dialog;
        ~TitleRestorer() { dialog.options().title = QString::fromUtf16(kSaveDialogTitle); }
    } restore{m_sadi};
    m_sadi.options().title = QString::fromUtf16(kSaveAsDialogTitle);
    const std::optional<QString> file = askSaveFile();
    if (!file)
        return;
    CaptureInputs();
    writeProfile(*file);
    openOrTellWhyNot(*file);
}

void ProfileWorkflow::importFromWebPage()
{
    // A cancelled save dialog here does not stop the import, as with Open.
    if (TestModified() && askSaveChanges())
        btSaveClick();
    const std::optional<QString> file = m_importDialog.askOpen(m_view.dialogParent());
    if (!file)
        return;
    // Read before anything changes: a page that cannot be read leaves all as it was.
    const pagehead::ImportedProfile page = pagehead::importPage(*file);
    ImportedInputs inputs;
    inputs.texts = page.texts;
    inputs.items = page.items;
    inputs.rows = page.ticks;
    inputs.social = page.social;
    inputs.head = page.head;
    showImported(inputs);
}

void ProfileWorkflow::showImported(const ImportedInputs &inputs)
{
    ResetProfile();
    for (int t = 0; t < kTextTagCount; ++t)
        m_view.setTagText(t, inputs.texts[std::size_t(t)]);
    for (int t = kTextTagCount; t < kTagCount; ++t) {
        const int item = inputs.items[std::size_t(t)];
        m_view.setChoiceItem(t, item);
        if (item < 0)
            m_view.setChoiceText(t, inputs.texts[std::size_t(t)]);
    }
    for (int t = 0; t < kTagCount; ++t) {
        const int row = tags::listRowOfTag(t);
        m_view.setRowChecked(row, inputs.rows[std::size_t(row)]);
    }
    m_view.setSocialValues(inputs.social);
    m_view.setHeadValues(inputs.head);
    m_importedUnsaved = true;
}

bool ProfileWorkflow::FormClose()
{
    if (!TestModified() || !askSaveChanges())
        return true;
    return saveInputs();
}

ReadOutcome ProfileWorkflow::openProfileFile(const QString &path)
{
    // Read into copies: a rejected or failed read, or a bad choice entry,
    // leaves the loaded arrays and the window as they were.
    TOvStringArray values = m_loadedValues;
    TOvStringArray used = m_loadedUsed;
    ProfileExtras extras{m_loadedExtras.choiceTexts, {}};
    if (ReadProfile(path, values, used, &extras) == ReadOutcome::NotAProfile)
        return ReadOutcome::NotAProfile;
    choiceItemsOf(values);
    m_loadedValues = values;
    m_loadedUsed = used;
    m_loadedExtras = extras;
    ApplyLoaded(path);
    return ReadOutcome::Accepted;
}

void ProfileWorkflow::writeProfile(const QString &path)
{
    WriteProfile(m_currentValues, m_currentUsed, m_currentExtras, path);
    m_loadedValues = m_currentValues;
    m_loadedUsed = m_currentUsed;
    m_loadedExtras = m_currentExtras;
    m_importedUnsaved = false;
}

bool ProfileWorkflow::askSaveChanges()
{
    return dialogs().confirm(m_view.dialogParent(), QString::fromUtf16(kApplicationTitle),
                             savePromptText(m_profileName));
}

std::optional<QString> ProfileWorkflow::askSaveFile()
{
    return m_sadi.askSave(m_view.dialogParent());
}

void ProfileWorkflow::showName()
{
    m_view.setProfileStatus(QString::fromUtf16(kStatusPrefix) + m_profileName);
}

} // namespace brindle::profile
