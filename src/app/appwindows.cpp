#include "app/appwindows.h"

#include "output/fcreaht.h"
#include "output/fview.h"
#include "ui/fhint.h"
#include "ui/finfo.h"
#include "ui/mainwindow.h"

namespace brindle::app {

AppWindows &windows()
{
    static AppWindows refs;
    return refs;
}

std::unique_ptr<ui::Tovalinform> createWindows()
{
    AppWindows &w = windows();
    auto main = std::make_unique<ui::Tovalinform>();
    w.ovalinform = main.get();
    w.fview = new output::Tfview(main.get());
    w.hintf = new ui::Thintf(main.get());
    w.fcreaht = new output::Tfcreaht(main.get());
    w.finfo = new ui::Tfinfo(main.get());

    main->setViewer(w.fview);
    main->setHintPopup(w.hintf);
    main->setAboutBox(w.finfo);
    w.fview->setPageBuilder([](int pageMode, QWidget *over) {
        windows().fcreaht->showFor(pageMode, windows().fview->text(), over);
    });
    QObject::connect(main.get(), &QObject::destroyed, [] { windows() = {}; });
    return main;
}

} // namespace brindle::app
