// The 16 Sony status bytes S0..S15 of a machine, built from its tally, status bytes and the
// system status for a STATUS SENSE answer.
#pragma once

#include <array>
#include <cstdint>

namespace vyo {

using SonyStatusBytes = std::array<uint8_t, 16>;

// Builds the status bytes of machine m (a valid machine number).
void BuildSonyStatus(int8_t m, SonyStatusBytes& s);

}  // namespace vyo
