#pragma once

// The program's five windows, each created once and reached through one
// program-wide reference.

#include <memory>

namespace brindle::ui {
class Tovalinform;
class Thintf;
class Tfinfo;
class Tfview;
class Tfcreaht;
class SearchPreviewWindow;
class CheckWindow;
} // namespace brindle::ui

namespace brindle::app {

struct AppWindows
{
    ui::Tovalinform *ovalinform = nullptr;
    ui::Tfview *fview = nullptr;
    ui::Thintf *hintf = nullptr;
    ui::Tfcreaht *fcreaht = nullptr;
    ui::Tfinfo *finfo = nullptr;
    // Made at their first use from the viewer's popup menu, not at start-up.
    ui::SearchPreviewWindow *searchPreview = nullptr;
    ui::CheckWindow *checkWindow = nullptr;
};

// The references, valid from createWindows() until the main window is gone.
AppWindows &windows();

// Creates the main window, then the tags viewer, the hint popup, the web
// page builder and the about box, in that order and all hidden, and wires
// them together. The secondary windows belong to the main window.
std::unique_ptr<ui::Tovalinform> createWindows();

} // namespace brindle::app
