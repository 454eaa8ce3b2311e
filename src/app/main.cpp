#include "app/runonce.h"
#include "app/shell.h"
#include "ui/qtdialogs.h"

#include <QApplication>
#include <QWidget>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(u"Brindle"_s);
    brindle::ui::QtDialogs qtDialogs;
    brindle::setDefaultDialogs(&qtDialogs);

    // Before any window: a later copy hands over its command line and ends
    // here. The running copy keeps the lock until the guard goes at exit.
    brindle::app::TOvRunOnce runOnce;
    if (const auto status = brindle::app::startSingleInstance(runOnce))
        return *status;

    QWidget window;
    window.setObjectName(u"ovalinform"_s);
    window.setWindowTitle(u"Ovalin Brindle"_s);
    runOnce.setMainWindow(&window);
    brindle::app::attachPlacement(&window);

    window.show();
    return QApplication::exec();
}
