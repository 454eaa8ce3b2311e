// Start-up and shutdown: settings for the whole application, the five
// windows in their order, the event loop until the main window closes.

#include "app/appwindows.h"
#include "app/firstframeprobe.h"
#include "app/startup.h"
#include "ui/mainwindow.h"
#include "ui/qtdialogs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    brindle::app::applyApplicationSettings(app);
    brindle::ui::QtDialogs qtDialogs;
    brindle::setDefaultDialogs(&qtDialogs);

    std::unique_ptr<brindle::ui::Tovalinform> mainWindow = brindle::app::createWindows();
    brindle::app::FirstFrameProbe::attachIfRequested(mainWindow.get());
    mainWindow->show();
    const int status = QApplication::exec();
    mainWindow.reset(); // the windows go before the dialogs they may use
    return status;
}
