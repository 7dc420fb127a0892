// A virtual machine with a personality on a simulated line, for census tests. The personality
// (TOML, as a personality file has it) shapes every reply: delay, refusals, drops, bad checksums.
// Two faults of the test's own go on top: one garbled reply and stray bytes before the first.
// A fake clock runs the census, the line and the machine's frame tick.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "Census.h"
#include "PersonalityFile.h"
#include "ReplyShaper.h"
#include "SonyBytes.h"
#include "VirtualMachine.h"

struct ScriptedMachine {
  VirtualMachine vm;
  ReplyShaper shaper;
  int garbleReply = -1;  // index of the request whose reply goes with a wrong checksum
  Bytes strayFirst;      // sent ahead of the first reply
  int requests = 0;

  explicit ScriptedMachine(const std::string& personality = "")
      : shaper(ParsePersonality(personality, "test personality")) {
    vm.RestoreSettings(VmSettings{0, 0, 0, false});  // EBU, the default identity
    vm.FormShow();
    shaper.Attach(vm);
    shaper.PortOpened();
  }

  // The writes the machine makes for one request received at `now`, each with its time.
  std::multimap<Micros, Bytes> Answer(const Bytes& request, Micros now) {
    const int index = requests++;
    std::multimap<Micros, Bytes> writes;
    for (PlannedWrite& w : shaper.DataAvailable(request, VmEventContext{}, now).writes) {
      if (index == garbleReply) w.bytes.back() ^= 0xFF;
      writes.emplace(now + w.delay, std::move(w.bytes));
    }
    if (index == 0 && !strayFirst.empty()) writes.emplace_hint(writes.begin(), now, strayFirst);
    return writes;
  }

  // Runs the census to its end (or `limit` of simulated time); each write arrives whole.
  void Run(Census& census, Micros limit = Micros{std::chrono::minutes(5)}) {
    constexpr Micros kFrame{40000};
    std::multimap<Micros, Bytes> line;
    Micros now{0};
    Micros nextTick = kFrame;
    while (!census.Finished() && now < limit) {
      if (std::optional<Bytes> request = census.Due(now)) line.merge(Answer(*request, now));
      Micros next = std::min(census.WakeAt(), nextTick);
      if (!line.empty()) next = std::min(next, line.begin()->first);
      now = std::max(next, now + Micros{1});
      while (!line.empty() && line.begin()->first <= now) {
        census.Received(line.begin()->second, line.begin()->first);
        line.erase(line.begin());
      }
      while (nextTick <= now) {
        vm.FrameTick();
        nextTick += kFrame;
      }
    }
  }
};
