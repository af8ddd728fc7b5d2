// Stands in for the platform's monitor enumeration; QScreen gives the screens, but tests must put a described layout in their place.
#pragma once

#include "foundation_export.h"
#include "valuelist.h"

#include <QList>
#include <functional>

// The monitors: each one's full bounds (not its work area) as Left, Top,
// Right, Bottom, in the platform's order. The default source reads the
// screens of the application.
using TMonitorSource = std::function<QList<TRect>()>;
// Installs Source (an empty one restores the screens) and returns the one it
// replaces.
FOUNDATION_EXPORT TMonitorSource SetMonitorSource(TMonitorSource Source);
FOUNDATION_EXPORT QList<TRect> GetMonitorRects();
