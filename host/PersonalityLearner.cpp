#include "PersonalityLearner.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "CaptureSide.h"
#include "MachineIdentity.h"
#include "PersonalityFile.h"
#include "SonyCommands.h"
#include "VirtualMachine.h"

using namespace sony;

namespace {

struct Exchange {
  Micros at{0};
  FrameKind kind = FrameKind::Message;
  Bytes request;
  std::optional<Bytes> reply;
  Micros replyAt{0};
};

// The requests the machine was sent, each with the first message it sent back before the next.
std::vector<Exchange> MachineExchanges(const std::vector<CaptureRecord>& records,
                                       const std::string& from, std::string& port) {
  const bool portB = std::any_of(records.begin(), records.end(), [](const CaptureRecord& r) {
    return r.port == "B" && r.direction == Direction::Rx;
  });
  port = CapturePort(records, from, portB ? "B" : "A");
  const Direction requests = RequestsOf(port);
  std::vector<Exchange> exchanges;
  for (const CaptureRecord& r : records) {
    if (r.port != port) continue;
    if (r.direction == requests) {
      exchanges.push_back({r.time, r.kind, r.bytes, std::nullopt, Micros(0)});
    } else if (!exchanges.empty() && !exchanges.back().reply && r.kind == FrameKind::Message) {
      exchanges.back().reply = r.bytes;
      exchanges.back().replyAt = r.time;
    }
  }
  return exchanges;
}

bool Is(const Bytes& message, uint8_t group, uint8_t cmd2) {
  return message.size() >= 3 && GroupOf(message[0]) == group && message[1] == cmd2;
}

std::string Hex(const Bytes& bytes) { return HexBytes(bytes).substr(0, bytes.size() * 3 - 1); }

std::string MsText(Micros time) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f ms", static_cast<double>(time.count()) / 1000.0);
  return text;
}

// A machine of the "Mcn" menu with a standard, as the window starts it.
VirtualMachine MachineOf(int machine, int standard) {
  VirtualMachine vm;
  vm.RestoreSettings({static_cast<uint8_t>(standard), machine, 0, false});
  vm.FormShow();
  return vm;
}

Bytes Framed(std::initializer_list<uint8_t> body) {
  Bytes bytes(body);
  bytes.push_back(Checksum(bytes.data(), bytes.size()));
  return bytes;
}

bool AnyDropFrame(const std::vector<Exchange>& exchanges) {
  return std::any_of(exchanges.begin(), exchanges.end(), [](const Exchange& e) {
    return e.reply && Is(*e.reply, kSenseReply, kLtcTimeData) && e.reply->size() > 2 &&
           ((*e.reply)[2] & kDropFrameFlag) != 0;
  });
}

class Learner {
 public:
  Learner(std::vector<Exchange> exchanges, Personality& p, std::vector<std::string>& comments)
      : exchanges_(std::move(exchanges)), p_(p), comments_(comments) {}

  void Run() {
    Identity();
    ReplyTimes();
    Refusals();
    StartingStatus();
    StatusLength();
  }

 private:
  void Identity() {
    const auto it = std::find_if(exchanges_.begin(), exchanges_.end(), [](const Exchange& e) {
      return Is(e.request, kSystemControl, kDeviceTypeRequest) && e.reply &&
             Is(*e.reply, kSystemReply, kDeviceType);
    });
    if (it == exchanges_.end()) {
      comments_.push_back("no device type reply: identity left as it is");
      return;
    }
    const Bytes& reply = *it->reply;
    const bool dropFrame = AnyDropFrame(exchanges_);
    std::optional<std::pair<int, int>> found;
    for (int machine = 0; machine < kMachineTypes && !found; ++machine) {
      for (int standard : {0, 2, dropFrame ? 3 : 1, dropFrame ? 1 : 3}) {
        VirtualMachine vm = MachineOf(machine, standard);
        if (vm.DataAvailable(Framed({0x00, 0x11}), {}).ReplyBytes() == reply) {
          found = {machine, standard};
          break;
        }
      }
    }
    if (found) {
      p_.identity.machine = found->first;
      p_.identity.standard = found->second;
      comments_.push_back("device type " + Hex(reply) + ": machine " +
                          std::to_string(found->first) + " (" +
                          std::string(IdentityOf(found->first).caption) + "), standard " +
                          std::to_string(found->second));
      return;
    }
    if (reply.size() != 5) {
      comments_.push_back("device type " + Hex(reply) + ": a form this machine cannot give");
      return;
    }
    // The standard rides in the low bits of the first byte (EBU 1, 24P 2, else SMPTE).
    const int standard = (reply[2] & 0x01) ? 0 : (reply[2] & 0x02) ? 2 : dropFrame ? 3 : 1;
    p_.identity.deviceType = std::array<uint8_t, 2>{reply[2], reply[3]};
    p_.identity.standard = standard;
    comments_.push_back("device type " + Hex(reply) + ": no entry of the Mcn menu, standard " +
                        std::to_string(standard));
  }

  void ReplyTimes() {
    std::vector<Micros> times;
    for (const Exchange& e : exchanges_) {
      if (e.reply && e.replyAt >= e.at) times.push_back(e.replyAt - e.at);
    }
    if (times.empty()) return;
    std::sort(times.begin(), times.end());
    const auto at = [&times](double p) {
      return times[static_cast<std::size_t>(p * static_cast<double>(times.size() - 1) + 0.5)];
    };
    // Tenths of a millisecond: finer is the noise of the capturing host.
    const auto tenths = [](Micros t) { return (t.count() + 50) / 100 * 100; };
    p_.timing.replyDelayUs = tenths(at(0.5));
    p_.timing.replyJitterUs = tenths(at(0.9) - at(0.1));
    comments_.push_back("reply time: n " + std::to_string(times.size()) + "  min " +
                        MsText(times.front()) + "  p10 " + MsText(at(0.1)) + "  median " +
                        MsText(at(0.5)) + "  p90 " + MsText(at(0.9)) + "  max " +
                        MsText(times.back()));
  }

  struct Seen {
    int answered = 0;
    int unanswered = 0;
    std::map<uint8_t, int> naks;  // by reason bits
  };

  // How each command was answered; a NAKed bad checksum is noted on the way.
  std::map<std::pair<uint8_t, uint8_t>, Seen> CountAnswers() {
    std::map<std::pair<uint8_t, uint8_t>, Seen> commands;
    for (std::size_t i = 0; i < exchanges_.size(); ++i) {
      const Exchange& e = exchanges_[i];
      const bool nak = e.reply && Is(*e.reply, kSystemReply, kNak) && e.reply->size() == 4;
      if (e.kind == FrameKind::BadChecksum) {
        if (nak && (*e.reply)[2] == kNakChecksumError) p_.errors.nakChecksum = true;
        continue;
      }
      if (e.kind != FrameKind::Message || e.request.size() < 3) continue;
      Seen& seen = commands[{e.request[0], e.request[1]}];
      if (nak) {
        ++seen.naks[(*e.reply)[2]];
      } else if (e.reply) {
        ++seen.answered;
      } else if (i + 1 < exchanges_.size()) {  // the capture may end before the last reply
        ++seen.unanswered;
      }
    }
    return commands;
  }

  // Only what a command always did is learned; the rest is left to the machine and noted.
  void Refusals() {
    const auto commands = CountAnswers();
    if (p_.errors.nakChecksum) comments_.push_back("a bad checksum was NAKed 04");
    for (const auto& [command, seen] : commands) {
      const CommandPattern pattern{command.first, 0xFF, command.second, 0xFF};
      const std::string name = pattern.Text();
      const int total = seen.answered + seen.unanswered;
      const bool alwaysNaked = seen.naks.size() == 1 && total == 0;
      if (alwaysNaked && seen.naks.begin()->first != 0) {
        const auto& [bits, count] = *seen.naks.begin();
        p_.commands.nak.push_back({pattern, bits});
        comments_.push_back(name + ": NAKed " + HexByte(bits) + ", " + std::to_string(count) +
                            " times");
      } else if (!seen.naks.empty()) {
        comments_.push_back(name + ": NAKed at times, left to the machine");
      } else if (seen.unanswered > 0 && seen.answered == 0) {
        p_.commands.silent.push_back(pattern);
        comments_.push_back(name + ": never answered, " + std::to_string(seen.unanswered) +
                            " times");
      } else if (seen.unanswered > 0) {
        comments_.push_back(name + ": unanswered " + std::to_string(seen.unanswered) + " of " +
                            std::to_string(total) + " times, left to the machine");
      }
    }
  }

  // The status the machine reported before anything could change it.
  void StartingStatus() {
    std::array<std::optional<uint8_t>, kStatusBytes> seen{};
    for (const Exchange& e : exchanges_) {
      const uint8_t group = GroupOf(e.request.empty() ? 0 : e.request[0]);
      if (group == kTransportControl || group == kPresetSelect) break;
      if (!IsStatusExchange(e)) continue;
      const int start = e.request[2] >> 4;
      for (int i = 0; i < DataCountOf((*e.reply)[0]) && start + i < kStatusBytes; ++i) {
        seen[static_cast<std::size_t>(start + i)] = (*e.reply)[static_cast<std::size_t>(2 + i)];
      }
    }
    VirtualMachine plain =
        MachineOf(p_.identity.machine.value_or(0), p_.identity.standard.value_or(0));
    std::string bytes;
    std::string unnamed;
    for (int i = 0; i < kStatusBytes; ++i) {
      const auto value = seen[static_cast<std::size_t>(i)];
      if (!value) continue;
      bytes += " S" + std::to_string(i) + "=" + HexByte(*value);
      const uint8_t extra = *value & ~plain.Port().Status[static_cast<std::size_t>(i)];
      for (int bit = 0; bit < 8; ++bit) {
        const auto mask = static_cast<uint8_t>(1 << bit);
        if ((extra & mask) == 0) continue;
        if (i == 0 && mask == kS0Local) {
          p_.status.local = true;
          continue;
        }
        const auto& names = StatusBitNames();
        const auto named = std::find_if(names.begin(), names.end(), [&](const StatusBitName& n) {
          return n.byte == i && n.mask == mask;
        });
        if (named != names.end()) {
          p_.status.bits.insert(std::string(named->name));
        } else {
          unnamed += " S" + std::to_string(i) + "&" + HexByte(mask);
        }
      }
    }
    if (bytes.empty()) return;
    comments_.push_back("status before the first transport command:" + bytes);
    if (!unnamed.empty()) comments_.push_back("status bits without a name, not set:" + unnamed);
  }

  // A status sense answered with fewer bytes than asked: the machine has no more.
  void StatusLength() {
    for (const Exchange& e : exchanges_) {
      if (!IsStatusExchange(e)) continue;
      const int start = e.request[2] >> 4;
      const int asked = std::min(e.request[2] & 0x0F, kStatusBytes - start);
      const int got = DataCountOf((*e.reply)[0]);
      if (got < asked) p_.status.bytes = std::min(p_.status.bytes, start + got);
    }
    if (p_.status.bytes < kStatusBytes) {
      comments_.push_back("status senses stop after " + std::to_string(p_.status.bytes) + " bytes");
    }
  }

  static bool IsStatusExchange(const Exchange& e) {
    return Is(e.request, kSenseRequest, kStatusSense) && e.request.size() >= 4 &&
           DataCountOf(e.request[0]) >= 1 && e.reply && Is(*e.reply, kSenseReply, kStatusData);
  }

  std::vector<Exchange> exchanges_;
  Personality& p_;
  std::vector<std::string>& comments_;
};

}  // namespace

LearnedPersonality LearnPersonality(const std::vector<CaptureRecord>& records,
                                    const std::string& name, const std::string& from) {
  LearnedPersonality learned;
  learned.personality.name = name;
  std::string port;
  std::vector<Exchange> exchanges = MachineExchanges(records, from, port);
  const bool rackMachine = port != "A" && port != "B";
  learned.comments.push_back("learned from " + std::to_string(exchanges.size()) + " exchanges on " +
                             (rackMachine ? "machine " : "port ") + port + " (the machine's " +
                             (port == "B" ? "rx" : "tx") + " lines)");
  Learner(std::move(exchanges), learned.personality, learned.comments).Run();
  return learned;
}

int RunLearn(const std::string& capturePath, const std::string& outputPath, const std::string& from,
             std::ostream& err) {
  std::vector<CaptureRecord> records;
  try {
    records = CaptureReader::ReadFile(capturePath);
    CapturePort(records, from, "A");  // a machine the capture lacks, before any figure
  } catch (const CaptureError& e) {
    err << "selkietest: " << e.what() << "\n";
    return 2;
  }
  const bool anyMessage = std::any_of(records.begin(), records.end(), [](const CaptureRecord& r) {
    return r.kind == FrameKind::Message;
  });
  if (!anyMessage) {
    err << "selkietest: " << capturePath << ": no message to learn from\n";
    return 2;
  }
  // The file's own name, as a name may be: printable and at most 64 characters.
  std::string name = std::filesystem::path(outputPath).stem().string().substr(0, 64);
  std::replace_if(
      name.begin(), name.end(), [](char c) { return c < ' ' || c == 127; }, '_');
  if (name.empty()) name = "learned";
  LearnedPersonality learned = LearnPersonality(records, name, from);
  learned.comments.insert(learned.comments.begin(), "learned by selkietest --learn " + capturePath);
  std::ofstream out(outputPath, std::ios::trunc);
  out << WritePersonality(learned.personality, learned.comments);
  out.flush();
  if (!out) {
    err << "selkietest: " << outputPath << ": cannot be written\n";
    return 2;
  }
  return 0;
}
