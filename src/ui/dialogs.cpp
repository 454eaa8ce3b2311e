#include "ui/dialogs.h"

#include "core/error.h"

#include <QFileDialog>
#include <QFileInfo>
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
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setSizeGripEnabled(true);
    if (!initialFile.isEmpty())
        dialog.selectFile(initialFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

class QtDialogs final : public Dialogs
{
public:
    void information(QWidget *parent, const QString &caption, const QString &text) override
    {
        QMessageBox::information(parent, caption, text, QMessageBox::Ok);
    }

    bool confirm(QWidget *parent, const QString &caption, const QString &text) override
    {
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parent);
        QAbstractButton *yes = box.addButton(u"&Yes"_s, QMessageBox::YesRole);
        box.addButton(u"&No"_s, QMessageBox::NoRole);
        box.exec();
        return box.clickedButton() == yes;
    }

    std::optional<QString> openFileName(QWidget *parent, const FileDialogOptions &options,
                                        const QString &initialFile) override
    {
        return runFileDialog(parent, options, initialFile, QFileDialog::AcceptOpen);
    }

    std::optional<QString> saveFileName(QWidget *parent, const FileDialogOptions &options,
                                        const QString &initialFile) override
    {
        return runFileDialog(parent, options, initialFile, QFileDialog::AcceptSave);
    }

    void errorReport(QWidget *parent, const QString &text) override
    {
        QMessageBox::critical(parent, QString::fromUtf16(kApplicationTitle), text, QMessageBox::Ok);
    }
};

Dialogs *g_replacement = nullptr;

} // namespace

Dialogs &dialogs()
{
    static QtDialogs real;
    return g_replacement ? *g_replacement : real;
}

void setDialogs(Dialogs *replacement)
{
    g_replacement = replacement;
}

QString withDefaultSuffix(const QString &fileName, const QString &suffix)
{
    if (suffix.isEmpty() || !QFileInfo(fileName).suffix().isEmpty())
        return fileName;
    return fileName + u'.' + suffix;
}

std::optional<QString> FileDialog::remember(std::optional<QString> chosen)
{
    if (!chosen)
        return std::nullopt;
    m_lastFile = withDefaultSuffix(*chosen, m_options.defaultSuffix);
    return m_lastFile;
}

std::optional<QString> FileDialog::askOpen(QWidget *parent)
{
    return remember(dialogs().openFileName(parent, m_options, m_lastFile));
}

std::optional<QString> FileDialog::askSave(QWidget *parent)
{
    return remember(dialogs().saveFileName(parent, m_options, m_lastFile));
}

void reportError(QWidget *parent, const std::exception &e)
{
    dialogs().errorReport(parent, errorReportText(messageOf(e)));
}

} // namespace brindle::ui
