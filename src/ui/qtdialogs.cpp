#include "ui/qtdialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace brindle::ui {

namespace {

std::optional<QString> runFileDialog(QWidget *parent, const FileDialogOptions &options,
                                     const QString &initialFile, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, options.title);
    dialog.setAcceptMode(mode);
    // The open dialog too accepts a name that does not exist; the reader reports it.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(options.filterName + u" ("_s + options.pattern + u')');
    dialog.setDefaultSuffix(options.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
    dialog.setSizeGripEnabled(true);
    if (!initialFile.isEmpty())
        dialog.selectFile(initialFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

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
    return runFileDialog(parent, options, initialFile, QFileDialog::AcceptOpen);
}

std::optional<QString> QtDialogs::saveFileName(QWidget *parent, const FileDialogOptions &options,
                                               const QString &initialFile)
{
    return runFileDialog(parent, options, initialFile, QFileDialog::AcceptSave);
}

void QtDialogs::errorReport(QWidget *parent, const QString &text)
{
    QMessageBox::critical(parent, QString::fromUtf16(kApplicationTitle), text, QMessageBox::Ok);
}

} // namespace brindle::ui
