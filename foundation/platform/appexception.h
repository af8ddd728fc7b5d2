// Stands in for the application object's exception event; Qt has none (QApplication::notify is only a place to catch), so the event and its standard error box live here.
#pragma once

#include "foundation_export.h"

#include <exception>
#include <functional>

// The application's exception event. The host's application object hands
// every std::exception that escapes an event handler to
// HandleApplicationException; whoever has set a handler (a module window,
// while it exists) gets it, else the standard error box shows its message.
using TExceptionEvent = std::function<void(const std::exception &E)>;

// Installs Handler (an empty one restores the standard error box) and
// returns the one it replaces.
FOUNDATION_EXPORT TExceptionEvent SetApplicationOnException(TExceptionEvent Handler);
FOUNDATION_EXPORT void HandleApplicationException(const std::exception &E);
