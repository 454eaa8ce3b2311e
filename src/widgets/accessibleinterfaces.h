#pragma once

// Corrections to what Qt tells assistive technology about some widgets:
// - a choice input (QComboBox) is named by its label, not by its value (on
//   Linux Qt names it by its current text and ignores the name set on it);
// - a line drawn with a QFrame is a separator, not a frame;
// - a plain QWidget shown as a window of its own is a window, not a filler;
// - an ImageButton marked as a picture is an image that does nothing;
// - the fading link label is a link that can be followed.

namespace brindle::widgets {

// Installs the interfaces once; every window calls it before building its
// widgets, as an interface made before it stays in Qt's cache.
void installAccessibleInterfaces();

} // namespace brindle::widgets
