#pragma once

// Application-wide settings made at start-up, kept apart from main() so the
// tests can check them.

#include <thread>

class QApplication;

namespace brindle::app {

inline constexpr int kToolTipDelayMs = 200;
inline constexpr unsigned kToolTipColor = 0xFFF899; // RGB

// Tooltip colour and delay for every window of the program.
void applyApplicationSettings(QApplication &app);

// Loads the font configuration on a second thread while the display
// connection is made. Reading it takes about as long as building the main
// window, and the window's first text would otherwise wait for it.
class FontConfigWarmUp
{
public:
    FontConfigWarmUp();
    ~FontConfigWarmUp();
    FontConfigWarmUp(const FontConfigWarmUp &) = delete;
    FontConfigWarmUp &operator=(const FontConfigWarmUp &) = delete;

    // Returns once the configuration is loaded; call before any text is laid out.
    void wait();

private:
    std::thread m_thread;
};

} // namespace brindle::app
