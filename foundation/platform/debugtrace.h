// Stands in for the platform's debug output: one write per line to standard error through a sink tests can replace; qDebug is not used, its handler being process-wide and Qt's own warnings going through it.
#pragma once

#include "foundation_export.h"

#include <QString>
#include <functional>

// Writes "[QX] " followed by AText, as one write, with nothing added after
// it. The line goes to standard error with a single write(2), as a line of
// its own, unless a test has put a sink in its place.
FOUNDATION_EXPORT void DebugTrace(const QString &AText);

// For tests only: installs Sink to receive every trace line in place of
// standard error (an empty one restores it) and returns the one it replaces.
using TDebugTraceSink = std::function<void(const QString &Line)>;
FOUNDATION_EXPORT TDebugTraceSink SetDebugTraceSink(TDebugTraceSink Sink);
