#pragma once

// Application-wide settings made at start-up, kept apart from main() so the
// tests can check them.

class QApplication;

namespace brindle::app {

inline constexpr int kToolTipDelayMs = 200;
inline constexpr unsigned kToolTipColor = 0xFFF899; // RGB

// Tooltip colour and delay for every window of the program.
void applyApplicationSettings(QApplication &app);

} // namespace brindle::app
