#pragma once
// Linux: the virtual cutter behind a form test's cutter, for what only it can do (faults,
// vanishing, its other presentations).
#include "FormCutter.h"

#include "virtual-cutter/VirtualCutter.h"

namespace zopra::testing {

vc::VirtualCutter& VirtualCutterOf(FormCutter& cutter);

} // namespace zopra::testing
