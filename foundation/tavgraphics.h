#pragma once

#include "foundation_export.h"
#include "monitors.h"
#include "rect.h"

#include <QList>
#include <cstdint>

// Rectangles are Left, Top, Right, Bottom in screen coordinates; the routines
// that take left, top, width and height say so.

// True when the ranges A1..A2 and B1..B2 share a point, both ends included,
// so ranges that only touch overlap.
FOUNDATION_EXPORT bool RangesOverlap(int32_t A1, int32_t A2, int32_t B1, int32_t B2);
FOUNDATION_EXPORT bool RectsOverlap(const TRect &R1, const TRect &R2);

// Index of the monitor that holds (X, Y), else of the nearest one (the lower
// index on a tie); -1 when there are no monitors.
FOUNDATION_EXPORT int MonitorFromPoint(int32_t X, int32_t Y);

// The full bounds of the monitor nearest (X, Y); an empty rectangle when
// there are no monitors at all.
FOUNDATION_EXPORT TRect GetMonitorRect(int32_t X, int32_t Y);

// True when a window of this size is at least as wide and as high as the
// monitor nearest its centre.
FOUNDATION_EXPORT bool CoversMonitor(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);

// True when the rectangle overlaps (or touches) any monitor.
FOUNDATION_EXPORT bool IsOnAnyMonitor(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);
