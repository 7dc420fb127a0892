// What an edit controller sends over a few frames, framed: polls dominate, commands are
// sprinkled in. The responder benchmarks feed it to the virtual machine.
#pragma once

#include <vector>

#include "sonyname.h"

inline Bytes FramedMessage(std::vector<uint8_t> body) {
  uint8_t sum = 0;
  for (uint8_t b : body) sum = static_cast<uint8_t>(sum + b);
  body.push_back(sum);
  return body;
}

inline std::vector<Bytes> EditorStream() {
  return {
      FramedMessage({0x61, 0x0C, 0x01}),
      FramedMessage({0x61, 0x20, 0x0F}),
      FramedMessage({0x61, 0x0C, 0x01}),
      FramedMessage({0x60, 0x10}),
      FramedMessage({0x24, 0x31, 0x00, 0x00, 0x10, 0x00}),
      FramedMessage({0x61, 0x0C, 0x01}),
      FramedMessage({0x20, 0x01}),
      FramedMessage({0x80, 0x01}),
      FramedMessage({0x61, 0x20, 0x04}),
      FramedMessage({0x44, 0x30, 0x10, 0x03, 0x00, 0x00}),
      FramedMessage({0x61, 0x30, 0x04}),
      FramedMessage({0x21, 0x12, 0x48}),
      FramedMessage({0x00, 0x11}),
      FramedMessage({0x40, 0x10}),
      FramedMessage({0x20, 0x02}),
      FramedMessage({0x61, 0x0C, 0x1E}),
      FramedMessage({0x20, 0x00}),
      FramedMessage({0x60, 0x36}),
  };
}
