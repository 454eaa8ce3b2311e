#include "ui/qtdialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace brindle::ui {

namespace {

std::optional<QString> runFileDialog(QWidget *parent, const FileDialogOptions &options,
                                     const QString &initialFile, bool forSaving)
{
    NameOnlyIconProvider icons; // outlives the dialog
    QFileDialog dialog(parent);
    setUpFileDialog(dialog, &icons, options, initialFile, forSaving);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

QIcon NameOnlyIconProvider::icon(const QFileInfo &info) const
{
    if (info.isRoot())
        return icon(Drive);
    return icon(info.isDir() ? Folder : File);
}

QString NameOnlyIconProvider::type(const QFileInfo &info) const
{
    if (info.isRoot())
        return u"Drive"_s;
    if (info.isDir())
        return u"Folder"_s;
    const QString suffix = info.suffix();
    return suffix.isEmpty() ? u"File"_s : suffix.toUpper() + u" File"_s;
}

void setUpFileDialog(QFileDialog &dialog, QAbstractFileIconProvider *icons, const FileDialogOptions &options,
                     const QString &initialFile, bool forSaving)
{
    dialog.setWindowTitle(options.title);
    dialog.setIconProvider(icons);
    dialog.setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // The open dialog too accepts a name that does not exist; the reader reports it.
    dialog.setFileMode(QFileDialog::AnyFile);
    // Shown by its name alone, as the platform's dialogs show a named filter.
    dialog.setNameFilter(options.filterName + u" ("_s + options.pattern + u')');
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setDefaultSuffix(options.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
    dialog.setSizeGripEnabled(true);
    if (!initialFile.isEmpty())
        dialog.selectFile(initialFile);
}

void QtDialogs::information(QWidget *parent, const QString &caption, const QString &text)
{
    QMessageBox::information(parent, caption, text, QMessageBox::Ok);
}

bool QtDialogs::confirm(QWidget *parent, const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parent);
    QPushButton *yes = box.addButton(u"&Yes"_s, QMessageBox::YesRole);
    box.addButton(u"&No"_s, QMessageBox::NoRole);
    box.exec();
    return box.clickedButton() == yes;
}

std::optional<QString> QtDialogs::openFileName(QWidget *parent, const FileDialogOptions &options,
                                               const QString &initialFile)
{
    return runFileDialog(parent, options, initialFile, false);
}

std::optional<QString> QtDialogs::saveFileName(QWidget *parent, const FileDialogOptions &options,
                                               const QString &initialFile)
{
    return runFileDialog(parent, options, initialFile, true);
}

void QtDialogs::errorReport(QWidget *parent, const QString &text)
{
    QMessageBox::critical(parent, QString::fromUtf16(kApplicationTitle), text, QMessageBox::Ok);
}

} // namespace brindle::ui
