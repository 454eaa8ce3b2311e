#include "app/shell.h"

#include "app/singleinstance.h"
#include "app/windowplacement.h"
#include "base/dialogs.h"
#include "base/error.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace brindle::app {

std::optional<int> startSingleInstance(TOvRunOnce &guard)
{
    QStringList arguments = QCoreApplication::arguments();
    const QString self = QCoreApplication::applicationFilePath();
    if (arguments.isEmpty())
        arguments << self;
    else
        arguments[0] = self;
    try {
        if (!guard.load(arguments))
            return 0;
    } catch (const std::exception &e) {
        reportError(nullptr, e);
        return 1;
    }
    return std::nullopt;
}

TOvCCompRegWdwState *attachPlacement(QWidget *mainWindow)
{
    auto *placement = new TOvCCompRegWdwState(mainWindow);
    placement->setObjectName(u"SaveRegWnd"_s);
    placement->setSubKey(QString::fromUtf16(kProgramKey) + u"\\Main Window"_s);
    placement->setAutoSaveRestore(true);
    return placement;
}

} // namespace brindle::app
