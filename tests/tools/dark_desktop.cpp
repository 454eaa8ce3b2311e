// Brindle's windows on a dark desktop, for the README's picture of the tags
// viewer: the Fusion style with a dark palette, a home page's values filled in,
// "For HTML" pressed. scripts/screenshots.sh takes the picture; the viewer's
// Close ends the program.
//   dark_desktop

#include "app/appwindows.h"
#include "app/startup.h"
#include "tags/metataggenerator.h"
#include "ui/mainwindow.h"
#include "ui/qtdialogs.h"
#include "ui/tagsviewer.h"

#include <QApplication>
#include <QLineEdit>
#include <QStyleFactory>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace brindle;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(u"Fusion"_s));
    QPalette dark;
    const QColor window(0x35, 0x35, 0x35), base(0x2a, 0x2a, 0x2a), text(0xe6, 0xe6, 0xe6);
    for (auto [role, colour] : {std::pair{QPalette::Window, window},
                                {QPalette::WindowText, text},
                                {QPalette::Base, base},
                                {QPalette::AlternateBase, window},
                                {QPalette::Text, text},
                                {QPalette::Button, window},
                                {QPalette::ButtonText, text},
                                {QPalette::Highlight, QColor(0x2a, 0x82, 0xda)},
                                {QPalette::HighlightedText, QColor(Qt::black)},
                                {QPalette::Light, QColor(0x50, 0x50, 0x50)},
                                {QPalette::Midlight, QColor(0x45, 0x45, 0x45)},
                                {QPalette::Dark, QColor(0x20, 0x20, 0x20)},
                                {QPalette::Mid, QColor(0x2c, 0x2c, 0x2c)},
                                {QPalette::Shadow, QColor(0x10, 0x10, 0x10)}})
        dark.setColor(role, colour);
    QApplication::setPalette(dark);
    app::applyApplicationSettings(app);
    ui::QtDialogs qtDialogs;
    setDefaultDialogs(&qtDialogs);

    std::unique_ptr<ui::Tovalinform> main = app::createWindows();
    main->show();
    static_cast<QLineEdit *>(main->input(0))->setText(u"Home Page"_s);
    static_cast<QLineEdit *>(main->input(1))->setText(u"Fish & Chips"_s);
    main->SelectBasicOnly1Click();
    QTimer::singleShot(300, main.get(), [&main] {
        main->CreateTags(tags::TagMode::Html);
        QApplication::quit();
    });
    const int status = QApplication::exec();
    main.reset();
    return status;
}
