#pragma once

// The application shell's two attachments to the main window: the
// single-instance guard, which runs before the window is created, and the
// placement component, which the window carries.

#include <optional>

class QWidget;

namespace brindle::app {

class TOvRunOnce;
class TOvCCompRegWdwState;

// Runs the guard for this start. nullopt: this copy goes on (as the running
// copy, or without the guard when it cannot be had) and creates the windows.
// Otherwise the exit status to end with at once: 0 after handing the command
// line to the running copy or finding it hung, 1 after an error (shown in the
// general error report).
std::optional<int> startSingleInstance(TOvRunOnce &guard);

// The key under which the program keeps its windows' places, one key below
// it for each window.
inline constexpr char16_t kProgramKey[] = u"Software\\Ovalin\\Freeware\\Brindle 1.0";

// Gives the main window its placement component "SaveRegWnd": restored at
// the first showing, saved when the window is destroyed.
TOvCCompRegWdwState *attachPlacement(QWidget *mainWindow);

} // namespace brindle::app
