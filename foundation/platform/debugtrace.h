// Stands in for the platform's debug output: one write per line to standard error through a sink tests can replace; qDebug is not used, its handler being process-wide and Qt's own warnings going through it.
#pragma once

#include "foundation_export.h"

#include <QString>
#include <functional>

// Writes "[QX] " followed by AText, as one write, with nothing added after it.
FOUNDATION_EXPORT void DebugTrace(const QString &AText);

// Where trace lines go. The default sink writes each one to standard error
// with a single write(2), as a line of its own. Returns the sink it replaces; an empty function
// restores the default.
using TDebugTraceSink = std::function<void(const QString &Line)>;
FOUNDATION_EXPORT TDebugTraceSink SetDebugTraceSink(TDebugTraceSink Sink);
