#include "app/appwindows.h"

#include "app/shell.h"
#include "app/windowplacement.h"
#include "ui/aboutbox.h"
#include "ui/checkwindow.h"
#include "ui/hintpopup.h"
#include "ui/mainwindow.h"
#include "ui/pagebuilderwindow.h"
#include "ui/searchpreviewwindow.h"
#include "ui/taginputs.h"
#include "ui/tagsviewer.h"

#include <QLineEdit>
#include <QSettings>

#include <array>

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

// Where a window beside the main window was left: the outer rectangle in the
// settings file, in a group of its own beside the main window's placement.
ui::PlaceStore keptPlace(const QString &windowName)
{
    const QString group = TOvCCompRegWdwState::groupOf(QString::fromUtf16(kProgramKey) + u'\\' + windowName);
    static constexpr std::array kNames{u"Left", u"Top", u"Width", u"Height"};
    ui::PlaceStore store;
    store.load = [group]() -> std::optional<QRect> {
        QSettings settings(TOvCCompRegWdwState::storeFile(StoreRoot::User), QSettings::IniFormat);
        settings.beginGroup(group);
        std::array<int, kNames.size()> values{};
        for (std::size_t i = 0; i < kNames.size(); ++i) {
            bool ok = false;
            values[i] = settings.value(QString::fromUtf16(kNames[i])).toString().trimmed().toInt(&ok);
            // A value that is not a whole number is no place: the window goes
            // beside the main window, as the first time.
            if (!ok)
                return std::nullopt;
        }
        return QRect(values[0], values[1], values[2], values[3]);
    };
    store.save = [group](const QRect &outer) {
        QSettings settings(TOvCCompRegWdwState::storeFile(StoreRoot::User), QSettings::IniFormat);
        // A file that does not read cleanly is left to the main window's
        // placement, which reports it and writes it anew at exit.
        settings.childGroups();
        if (settings.status() != QSettings::NoError)
            return;
        settings.beginGroup(group);
        const std::array<int, kNames.size()> values{outer.left(), outer.top(), outer.width(), outer.height()};
        for (std::size_t i = 0; i < kNames.size(); ++i)
            settings.setValue(QString::fromUtf16(kNames[i]), values[i]);
    };
    return store;
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
        windows().fcreaht->showFor(pageMode, windows().fview->text(), over, windows().fview->pageLanguage());
    });
    w.hintf->setMeasuredInputs(qobject_cast<QLineEdit *>(main->input(tags::Title)),
                               qobject_cast<QLineEdit *>(main->input(tags::Description)));
    w.fview->addMenuItem(u"Search Preview"_s, u"SearchPreview1"_s, [] {
        AppWindows &w = windows();
        if (!w.searchPreview) {
            w.searchPreview = new ui::SearchPreviewWindow(inputsOf(w.ovalinform), w.ovalinform);
            w.searchPreview->setStore(keptPlace(u"Search Preview"_s));
        }
        w.searchPreview->showBesideMain();
    });
    w.fview->addMenuItem(u"Check"_s, u"Check1"_s, [] {
        AppWindows &w = windows();
        if (!w.checkWindow) {
            w.checkWindow = new ui::CheckWindow(inputsOf(w.ovalinform), w.ovalinform);
            w.checkWindow->setStore(keptPlace(u"Check"_s));
        }
        w.checkWindow->showBesideMain();
    });
    QObject::connect(main.get(), &QObject::destroyed, [] { windows() = {}; });
    return main;
}

} // namespace brindle::app
