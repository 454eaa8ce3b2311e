#pragma once

// Every modal notice, question and file dialog of the program goes through
// one Dialogs object, so tests can replace it with scripted answers. The
// interface has no widgets in it, so the flows that use it live in the core.

#include <QString>
#include <QStringList>

#include <exception>
#include <optional>
#include <utility>

class QWidget;

namespace brindle {

inline constexpr char16_t kApplicationTitle[] = u"Brindle";

struct FileDialogOptions
{
    QString title;
    QString filterName;    // "Meta Tags Profile"
    QString pattern;       // "*.wmp"
    QString defaultSuffix; // "wmp", added to a name typed without one
    bool confirmOverwrite = false;
};

class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // Information box with one OK button.
    virtual void information(QWidget *parent, const QString &caption, const QString &text) = 0;
    // Question box with Yes and No; true only for Yes.
    virtual bool confirm(QWidget *parent, const QString &caption, const QString &text) = 0;
    // File dialogs; nullopt when cancelled. initialFile is the name last chosen.
    virtual std::optional<QString> openFileName(QWidget *parent, const FileDialogOptions &options,
                                                const QString &initialFile) = 0;
    virtual std::optional<QString> saveFileName(QWidget *parent, const FileDialogOptions &options,
                                                const QString &initialFile) = 0;
    // The general error report: title "Brindle", error icon, one OK button.
    virtual void errorReport(QWidget *parent, const QString &text) = 0;
};

// The program-wide instance: a replacement installed by a test, else the
// default that start-up installs (the Qt message boxes and file dialogs).
Dialogs &dialogs();
// Installs a replacement (not owned); nullptr goes back to the default.
void setDialogs(Dialogs *replacement);
void setDefaultDialogs(Dialogs *real);

// A file dialog that keeps the name last chosen in it, as one dialog
// instance does for the life of its window.
class FileDialog
{
public:
    explicit FileDialog(FileDialogOptions options) : m_options(std::move(options)) {}

    std::optional<QString> askOpen(QWidget *parent);
    std::optional<QString> askSave(QWidget *parent);

    FileDialogOptions &options() { return m_options; }
    const QString &lastFile() const { return m_lastFile; }

private:
    std::optional<QString> remember(std::optional<QString> chosen);

    FileDialogOptions m_options;
    QString m_lastFile;
};

// Adds ".suffix" to a file name that has no extension of its own.
QString withDefaultSuffix(const QString &fileName, const QString &suffix);

// Shows an exception through the general error report.
void reportError(QWidget *parent, const std::exception &e);

// Whether a user action is running now (one run by guarded(), which may
// be waiting in a modal dialog of its own).
bool userActionRunning();

namespace detail {
class UserActionScope
{
public:
    UserActionScope();
    ~UserActionScope();
    UserActionScope(const UserActionScope &) = delete;
    UserActionScope &operator=(const UserActionScope &) = delete;
};
} // namespace detail

// Runs one user action; an error ends it and is shown once, never crossing
// a Qt event handler.
template<typename Action>
bool guarded(QWidget *parent, Action &&action)
{
    const detail::UserActionScope running;
    try {
        std::forward<Action>(action)();
        return true;
    } catch (const std::exception &e) {
        reportError(parent, e);
        return false;
    }
}

} // namespace brindle
