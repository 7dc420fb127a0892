// The one clock for time stamps and intervals within a run: steady, in microseconds since an
// arbitrary start, so never comparable across runs or with the wall clock.
#pragma once

#include <chrono>

using Micros = std::chrono::microseconds;

Micros Now();
