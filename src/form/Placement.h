#pragma once
// Where the window opens: centred on the screen's work area (the screen less its task bar or
// panels), and never beyond the area's edges, whatever the screen's size and scale.
#include "form/Layout.h"

namespace zopra {

struct ScreenPoint {
    int left = 0;
    int top = 0;
};

// The top-left corner for a window of `frameWidth` x `frameHeight` (frame included, in the
// area's pixels). A window larger than the area starts at the area's top-left corner, so
// that its title bar stays within reach.
ScreenPoint CentredWithin(const Bounds& area, int frameWidth, int frameHeight);

} // namespace zopra
