// Stands in for the platform's monitor enumeration; QScreen gives the screens, but tests must put a described layout in their place.
#pragma once

#include "foundation_export.h"
#include "rect.h"

#include <QList>
#include <functional>

// The monitors: each one's full bounds (not its work area) as Left, Top,
// Right, Bottom, in the platform's order, read from the application's
// screens unless a test has put a layout in their place.
FOUNDATION_EXPORT QList<TRect> GetMonitorRects();

// For tests only: installs Source in place of the screens (an empty one
// restores them) and returns the one it replaces.
using TMonitorSource = std::function<QList<TRect>()>;
FOUNDATION_EXPORT TMonitorSource SetMonitorSource(TMonitorSource Source);
