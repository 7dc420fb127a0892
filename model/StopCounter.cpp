// The stop counter: callers count stop events and act once when the hundredth arrives.
#include "VyoModel.h"
#include "ZMModel.h"

using namespace vyo;

namespace {
constexpr uint16_t kStopLimit = 100;
}

extern "C" {

void ResetStopCounter(void) { Store(Sys().StopCounter, uint16_t{0}); }

uint8_t IncStopCounter(void) {
  const uint16_t count = uint16_t(Load(Sys().StopCounter) + 1);
  Store(Sys().StopCounter, count);
  return count == kStopLimit ? 1 : 0;
}

}  // extern "C"
