// One script of editor requests whose replies do not depend on timing (the machine is stopped or
// cued), run against any front end of the program: the same bytes must come back from each.
#pragma once

#include <vector>

#include "PtyEditor.h"
#include "SonyBytes.h"

inline std::vector<std::vector<uint8_t>> ExchangeScript() {
  return {Framed({0x00, 0x11}),                          // DEVICE TYPE REQUEST
          Framed({0x61, 0x0C, 0x01}),                    // CURRENT TIME SENSE
          Framed({0x61, 0x20, 0x0F}),                    // STATUS SENSE
          Framed({0x20, 0x00}),                          // STOP
          Framed({0x24, 0x31, 0x00, 0x00, 0x01, 0x00}),  // CUE UP WITH DATA 00:01:00:00
          Framed({0x61, 0x0C, 0x01}),
          Framed({0x61, 0x20, 0x03}),
          Framed({0x61, 0x0C, 0x04})};
}

// Each request's reply, in order (an empty entry where none came).
inline std::vector<std::vector<uint8_t>> RunExchangeScript(PtyEditor& editor) {
  std::vector<std::vector<uint8_t>> replies;
  for (const std::vector<uint8_t>& request : ExchangeScript())
    replies.push_back(editor.Request(request, 2000));
  return replies;
}
