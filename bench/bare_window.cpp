// A bare Qt window program: the yardstick for Brindle's start-up time and
// memory. It shows one empty window of Brindle's size and reports its first
// frame exactly as Brindle does.

#include "app/firstframeprobe.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.setFixedSize(680, 505);
    brindle::app::FirstFrameProbe::attachIfRequested(&window);
    window.show();
    return QApplication::exec();
}
