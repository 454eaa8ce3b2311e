// A bare Qt window program: the yardstick for Brindle's start-up time and
// memory. It shows one empty window of Brindle's size and reports its first
// frame exactly as Brindle does.
//   bench_bare_window [--text]

#include "app/firstframeprobe.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.setFixedSize(680, 505);
    // With "--text", one line of text: the font set-up every window with
    // text pays, which the empty window does not.
    if (QCoreApplication::arguments().contains(QStringLiteral("--text")))
        (new QLabel(QStringLiteral("Ovalin Brindle"), &window))->move(10, 10);
    brindle::app::FirstFrameProbe::attachIfRequested(&window);
    window.show();
    return QApplication::exec();
}
