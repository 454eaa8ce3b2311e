#include "app/appwindows.h"

#include "ui/aboutbox.h"
#include "ui/checkwindow.h"
#include "ui/hintpopup.h"
#include "ui/mainwindow.h"
#include "ui/pagebuilderwindow.h"
#include "ui/searchpreviewwindow.h"
#include "ui/taginputs.h"
#include "ui/tagsviewer.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace brindle::app {

namespace {

// One watcher of the inputs for both windows that follow them.
ui::TagInputs *inputsOf(ui::Tovalinform *main)
{
    if (auto *inputs = main->findChild<ui::TagInputs *>(QString(), Qt::FindDirectChildrenOnly))
        return inputs;
    return ui::TagInputs::of(main);
}

} // namespace

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
    w.fview = new ui::Tfview(main.get());
    w.hintf = new ui::Thintf(main.get());
    w.fcreaht = new ui::Tfcreaht(main.get());
    w.finfo = new ui::Tfinfo(main.get());

    main->setViewer(w.fview);
    main->setHintPopup(w.hintf);
    main->setAboutBox(w.finfo);
    w.fview->setPageBuilder([](int pageMode, QWidget *over) {
        windows().fcreaht->showFor(pageMode, windows().fview->text(), over);
    });
    w.hintf->setMeasuredInputs(qobject_cast<QLineEdit *>(main->input(tags::Title)),
                               qobject_cast<QLineEdit *>(main->input(tags::Description)));
    w.fview->addMenuItem(u"Search Preview"_s, u"SearchPreview1"_s, [] {
        AppWindows &w = windows();
        if (!w.searchPreview)
            w.searchPreview = new ui::SearchPreviewWindow(inputsOf(w.ovalinform), w.ovalinform);
        w.searchPreview->showBesideMain();
    });
    w.fview->addMenuItem(u"Check"_s, u"Check1"_s, [] {
        AppWindows &w = windows();
        if (!w.checkWindow)
            w.checkWindow = new ui::CheckWindow(inputsOf(w.ovalinform), w.ovalinform);
        w.checkWindow->showBesideMain();
    });
    QObject::connect(main.get(), &QObject::destroyed, [] { windows() = {}; });
    return main;
}

} // namespace brindle::app
