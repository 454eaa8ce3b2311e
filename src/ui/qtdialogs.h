#pragma once

// QtDialogs, the real Dialogs: Qt's message boxes and file dialogs.

#include "base/dialogs.h"

#include <QFileIconProvider>

class QFileDialog;

namespace brindle::ui {

// The program's real dialogs: Qt's message boxes and file dialogs.
class QtDialogs final : public Dialogs
{
public:
    void information(QWidget *parent, const QString &caption, const QString &text) override;
    bool confirm(QWidget *parent, const QString &caption, const QString &text) override;
    std::optional<QString> openFileName(QWidget *parent, const FileDialogOptions &options,
                                        const QString &initialFile) override;
    std::optional<QString> saveFileName(QWidget *parent, const FileDialogOptions &options,
                                        const QString &initialFile) override;
    void errorReport(QWidget *parent, const QString &text) override;
};

// Icons and type names for the file dialogs from a file's name and kind
// alone. Qt's own provider reads a file to guess its type, and some files
// never answer a read (/proc/kmsg, a named pipe): the dialog would hang.
class NameOnlyIconProvider : public QFileIconProvider
{
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo &info) const override;
    QString type(const QFileInfo &info) const override;
};

// Gives a file dialog the program's title, filter, default suffix and
// overwrite question; `icons` must outlive the dialog.
void setUpFileDialog(QFileDialog &dialog, QAbstractFileIconProvider *icons, const FileDialogOptions &options,
                     const QString &initialFile, bool forSaving);

} // namespace brindle::ui
