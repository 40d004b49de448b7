#include "form/Placement.h"

#include <algorithm>

namespace zopra {

ScreenPoint CentredWithin(const Bounds& area, int frameWidth, int frameHeight) {
    return {area.left + std::max(0, (area.width - frameWidth) / 2),
            area.top + std::max(0, (area.height - frameHeight) / 2)};
}

} // namespace zopra
