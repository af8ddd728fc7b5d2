// Stands in for the platform's window frame: the outer bounds of a top-level window as the window manager frames it (on X11 its _NET_FRAME_EXTENTS, read through Qt's native interface).
#pragma once

#include "foundation_export.h"

#include <QEvent>
#include <QMargins>
#include <QRect>
#include <optional>

class QWidget;

// The frame that the window manager has finished around AForm: left, top,
// right and bottom, none negative. Nothing while the window has no native
// window yet or its frame is still being made: an X11 window manager first
// puts a new window into a 1 x 1 frame, then sizes the frame, then publishes
// its extents, then places the window in it, and what Qt reports in between
// is neither the frame nor the window. Where the window manager publishes
// extents, only those are trusted, and only once Qt reads the same (so
// that what Qt asks of the window manager is right); elsewhere Qt's margins,
// when none is negative. A frameless window and one without a window manager
// have margins of 0.
FOUNDATION_EXPORT std::optional<QMargins> FinishedFrameMargins(const QWidget *AForm);

// AForm's outer bounds: its geometry with the finished frame around it, or
// Qt's frame geometry while the frame is not finished.
FOUNDATION_EXPORT QRect OuterBounds(const QWidget *AForm);

// Posted to a top-level widget when the window manager changes its frame's
// extents, which Qt announces with no event of its own. Watching starts
// with the first call and lasts for the application's life.
FOUNDATION_EXPORT QEvent::Type FrameExtentsChangedEvent();
