// Start-up and shutdown: settings for the whole application, the
// single-instance guard, the five windows in their order, the event loop
// until the main window closes.

#include "app/appwindows.h"
#include "app/commandline.h"
#include "app/profileopener.h"
#include "app/shell.h"
#include "app/singleinstance.h"
#include "app/startup.h"
#include "app/startupnotification.h"
#include "ui/mainwindow.h"
#include "ui/qtdialogs.h"

#include <QApplication>

#ifdef BRINDLE_TEST_HOOKS
#include "app/firstframeprobe.h"
#include "app/handoverlog.h"
#endif

#include <cstdio>

int main(int argc, char *argv[])
{
    // Before the display connection and the single-instance guard.
    if (const auto answer = brindle::app::earlyAnswer(brindle::app::argumentList(argc, argv))) {
        const QByteArray text = answer->toLocal8Bit();
        std::fwrite(text.constData(), 1, std::size_t(text.size()), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    // The command line a later copy hands over names its files by absolute paths.
    const brindle::app::AbsoluteFileArguments absoluteFiles(argc, argv);
    // Overlaps the font configuration's loading with the display connection.
    brindle::app::FontConfigWarmUp fontConfig;
    brindle::app::StartupNotification startupNotification;
    QApplication app(argc, argv);
    brindle::app::applyApplicationSettings(app);
    brindle::ui::QtDialogs qtDialogs;
    brindle::setDefaultDialogs(&qtDialogs);

    // Before any window: a later copy hands over its command line and ends
    // here. The running copy keeps the lock until the guard goes at exit.
    brindle::app::TOvRunOnce runOnce;
    if (const auto status = brindle::app::startSingleInstance(runOnce)) {
        startupNotification.complete();
        return *status;
    }
#ifdef BRINDLE_TEST_HOOKS
    brindle::app::HandOverLog::attachIfRequested(runOnce);
#endif

    fontConfig.wait();
    std::unique_ptr<brindle::ui::Tovalinform> mainWindow = brindle::app::createWindows();
    runOnce.setMainWindow(mainWindow.get());
    brindle::app::attachPlacement(mainWindow.get());
#ifdef BRINDLE_TEST_HOOKS
    brindle::app::FirstFrameProbe::attachIfRequested(mainWindow.get());
#endif
    brindle::app::ProfileOpener opener(mainWindow.get());
    opener.openFromLaterCopies(runOnce);
    mainWindow->show();
    opener.request(brindle::app::profileArgument(QCoreApplication::arguments()));
    const int status = QApplication::exec();
    // The placement is saved as the main window is destroyed, before the
    // guard releases the lock and before the dialogs it may use go.
    mainWindow.reset();
    return status;
}
