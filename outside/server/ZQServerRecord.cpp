// Test-side reading of the request record (see ZQServerRecord.h).
#pragma GCC visibility push(default)
#include "ZQServerRecord.h"
#pragma GCC visibility pop

#include <algorithm>
#include <cstring>

#include "RequestRecord.h"

using namespace vyoserver;

int32_t ZQServerRecord_Count(void) { return static_cast<int32_t>(requestRecord().count()); }

int32_t ZQServerRecord_Line(int32_t n, char *out, int32_t size) {
  if (n < 0) return -1;
  const auto line = requestRecord().line(static_cast<std::size_t>(n));
  if (!line) return -1;
  if (out != nullptr && size > 0) {
    const std::size_t copied = std::min(line->size(), static_cast<std::size_t>(size) - 1);
    std::memcpy(out, line->data(), copied);
    out[copied] = '\0';
  }
  return static_cast<int32_t>(line->size());
}

void ZQServerRecord_Clear(void) { requestRecord().clear(); }
