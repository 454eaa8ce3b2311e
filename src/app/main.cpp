// Start-up and shutdown: settings for the whole application, the
// single-instance guard, the five windows in their order, the event loop
// until the main window closes.

#include "app/appwindows.h"
#include "app/firstframeprobe.h"
#include "app/runonce.h"
#include "app/shell.h"
#include "app/startup.h"
#include "ui/mainwindow.h"
#include "ui/qtdialogs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Overlaps the font configuration's loading with the display connection.
    brindle::app::FontConfigWarmUp fontConfig;
    QApplication app(argc, argv);
    brindle::app::applyApplicationSettings(app);
    brindle::ui::QtDialogs qtDialogs;
    brindle::setDefaultDialogs(&qtDialogs);

    // Before any window: a later copy hands over its command line and ends
    // here. The running copy keeps the lock until the guard goes at exit.
    brindle::app::TOvRunOnce runOnce;
    if (const auto status = brindle::app::startSingleInstance(runOnce))
        return *status;

    fontConfig.wait();
    std::unique_ptr<brindle::ui::Tovalinform> mainWindow = brindle::app::createWindows();
    runOnce.setMainWindow(mainWindow.get());
    brindle::app::attachPlacement(mainWindow.get());
    brindle::app::FirstFrameProbe::attachIfRequested(mainWindow.get());
    mainWindow->show();
    const int status = QApplication::exec();
    // The placement is saved as the main window is destroyed, before the
    // guard releases the lock and before the dialogs it may use go.
    mainWindow.reset();
    return status;
}
