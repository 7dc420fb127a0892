// Readable names of the change codes that getZQ_LastChange hands out.
#pragma once

#include <cstdint>
#include <string>

// "system: Master", "machine A (1): position/status", "generator (-1): offset/arming" ...
std::string ChangeCodeText(uint8_t code);
