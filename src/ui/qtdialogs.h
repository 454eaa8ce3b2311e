#pragma once

#include "core/dialogs.h"

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

} // namespace brindle::ui
