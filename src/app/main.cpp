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
    QWidget window;
    window.setWindowTitle(u"Ovalin Brindle"_s);
    window.show();
    return QApplication::exec();
}
