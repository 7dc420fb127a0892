#include "LinkHealth.h"

#include <algorithm>
#include <cstdio>

void LinkHealth::Replied(Micros at) {
  ++replies;
  unanswered = 0;
  lastReply = at;
}

void LinkHealth::TimedOut() {
  ++timeouts;
  ++unanswered;
}

std::string ReplyAgeText(const LinkHealth& health, Micros now) {
  if (!health.lastReply) return "none";
  const double seconds =
      static_cast<double>(std::max<int64_t>(0, (now - *health.lastReply).count())) / 1e6;
  char text[32];
  // Hundredths while the link is live, whole seconds once it has gone quiet.
  if (seconds < 10)
    std::snprintf(text, sizeof text, "%.2f s", seconds);
  else
    std::snprintf(text, sizeof text, "%.0f s", seconds);
  return text;
}
