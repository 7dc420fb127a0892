// A virtual machine on a simulated line, for census tests: it answers each request after a set
// delay, and can be told to NAK some commands, drop every n-th reply, garble one reply or send
// stray bytes first. A fake clock runs the census, the line and the machine's frame tick.
#pragma once

#include <deque>
#include <map>
#include <utility>

#include "Census.h"
#include "SonyBytes.h"
#include "VirtualMachine.h"

struct ScriptedMachine {
  VirtualMachine vm;
  Micros delay{1000};
  std::map<std::pair<int, int>, uint8_t> naks;  // (group, CMD-2) -> NAK bits
  int dropEvery = 0;
  int garbleReply = -1;  // index of the reply to send with a wrong checksum
  Bytes strayFirst;      // sent ahead of the first reply
  int requests = 0;
  int dropped = 0;

  ScriptedMachine() {
    vm.RestoreSettings(VmSettings{0, 0, 0, false});  // EBU, the default identity
    vm.FormShow();
  }

  Bytes Answer(const Bytes& request) {
    const int index = requests++;
    if (dropEvery > 0 && (index + 1) % dropEvery == 0) {
      ++dropped;
      return {};
    }
    // The engine answers every request, so its state follows the line even when a NAK goes out.
    Bytes reply = vm.DataAvailable(request, VmEventContext{}).ReplyBytes();
    const auto nak = naks.find({request[0] >> 4, request[1]});
    if (nak != naks.end()) reply = Framed({0x11, 0x12, nak->second});
    if (index == garbleReply) reply.back() ^= 0xFF;
    if (index == 0 && !strayFirst.empty())
      reply.insert(reply.begin(), strayFirst.begin(), strayFirst.end());
    return reply;
  }

  // Runs the census to its end (or `limit` of simulated time); replies arrive whole.
  void Run(Census& census, Micros limit = Micros{std::chrono::minutes(5)}) {
    constexpr Micros kFrame{40000};
    std::deque<std::pair<Micros, Bytes>> line;
    Micros now{0};
    Micros nextTick = kFrame;
    while (!census.Finished() && now < limit) {
      if (std::optional<Bytes> request = census.Due(now)) {
        Bytes reply = Answer(*request);
        if (!reply.empty()) line.emplace_back(now + delay, std::move(reply));
      }
      Micros next = std::min(census.WakeAt(), nextTick);
      if (!line.empty()) next = std::min(next, line.front().first);
      now = std::max(next, now + Micros{1});
      while (!line.empty() && line.front().first <= now) {
        census.Received(line.front().second, line.front().first);
        line.pop_front();
      }
      while (nextTick <= now) {
        vm.FrameTick();
        nextTick += kFrame;
      }
    }
  }
};
