#pragma once

// The user-interface thread's end of the road: carries out a run's queued
// calls in order, a slice at a time, so that a flood of calls cannot keep
// input and painting waiting.
#include "runstate.h"

#include <memory>

class QObject;

namespace UiDrain {

// Carries out the calls queued for AState, posting a drain event to AHost
// for the rest when the slice is used up. While a call runs, ACurrent holds
// the run (objects made then belong to it). Returns at once if a call frees
// AHost.
void Drain(QObject *AHost, const std::shared_ptr<TRunState> &AState, std::shared_ptr<TRunState> &ACurrent);

} // namespace UiDrain
