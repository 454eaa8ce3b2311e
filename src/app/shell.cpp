#include "app/shell.h"

#include "app/singleinstance.h"
#include "app/windowplacement.h"
#include "base/dialogs.h"
#include "base/error.h"
#include "base/filewriter.h"

#include <QCoreApplication>
#include <QFile>

using namespace Qt::StringLiterals;

namespace brindle::app {

namespace {

void appendTestLog(const QString &path, const QStringList &fields)
{
    QFile old(path);
    QByteArray text = old.open(QIODevice::ReadOnly) ? old.readAll() : QByteArray();
    text += fields.join(u'\t').toUtf8() + '\n';
    try {
        writeFileSafely(path, text);
    } catch (const Error &e) {
        // Only the tests read this log; a failure to keep it must not stop the program.
        qWarning("Cannot write the hand-over log \"%s\": %s", qPrintable(path), qPrintable(e.message()));
    }
}

} // namespace

std::optional<int> startSingleInstance(TOvRunOnce &guard)
{
    QStringList paramStr = QCoreApplication::arguments();
    const QString self = QCoreApplication::applicationFilePath();
    if (paramStr.isEmpty())
        paramStr << self;
    else
        paramStr[0] = self;
    try {
        if (!guard.load(paramStr))
            return 0;
    } catch (const std::exception &e) {
        reportError(nullptr, e);
        return 1;
    }
    const QString log = qEnvironmentVariable("BRINDLE_TEST_LOG_HANDOVER");
    if (!log.isEmpty()) {
        appendTestLog(log, {u"running"_s, QString::number(QCoreApplication::applicationPid())});
        QObject::connect(&guard, &TOvRunOnce::OnOtherInstance, &guard,
                         [log](QObject *, unsigned, const QStringList &paramStr) {
                             appendTestLog(log, QStringList{u"handover"_s} + paramStr);
                         });
    }
    return std::nullopt;
}

TOvCCompRegWdwState *attachPlacement(QWidget *mainWindow)
{
    auto *placement = new TOvCCompRegWdwState(mainWindow);
    placement->setObjectName(u"SaveRegWnd"_s);
    placement->setSubKey(u"Software\\Ovalin\\Freeware\\Brindle 1.0\\Main Window"_s);
    placement->setAutoSaveRestore(true);
    return placement;
}

} // namespace brindle::app
