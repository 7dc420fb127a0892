#include "PortProbe.h"

#include <sys/stat.h>

#include <cstdio>
#include <iostream>

#include "LineExchange.h"
#include "PortMap.h"
#include "SerialDevice.h"
#include "SerialErrors.h"
#include "sonyname.h"

namespace {

// The target as this run may open it, or Kind::None when there is nothing to probe.
PortTarget ProbeTarget(int number) {
  PortTarget target = PortMap::Resolve(number);
  if (target.kind == PortTarget::Kind::Pty) {
    // Opening a pty: target would make a new pseudo-terminal; probe the one already there.
    struct stat info {};
    if (::stat(target.path.c_str(), &info) != 0) return {};
    target.kind = PortTarget::Kind::Device;
    return target;
  }
  if (!SerialDeviceSelectable(target)) return {};
  return target;
}

std::string LabelOf(int number, const PortTarget& target) {
  std::string label = "COM" + std::to_string(number);
  if (target.kind == PortTarget::Kind::Cable)
    return label + (target.cableEnd == 0 ? " (virtual cable end A)" : " (virtual cable end B)");
  return label + " (" + target.path + ")";
}

PortAnswer Probe(int number, const PortTarget& target, Micros wait) {
  PortAnswer answer;
  answer.number = number;
  answer.label = LabelOf(number, target);
  std::unique_ptr<LineExchange> line;
  try {
    line = std::make_unique<LineExchange>(OpenSerialDevice(target));
  } catch (const EAlreadyOpen&) {
    answer.state = PortAnswer::State::InUse;
    return answer;
  } catch (const std::exception& e) {
    answer.state = PortAnswer::State::Unusable;
    answer.problem = e.what();
    return answer;
  }
  Bytes request = {sony::Cmd1(sony::kSystemControl, 0), sony::kDeviceTypeRequest};
  request.push_back(sony::Checksum(request.data(), request.size()));
  Micros sentAt{0};
  const std::optional<Frame> reply = line->Exchange(request, wait, sentAt);
  if (!reply || reply->kind != FrameKind::Message || reply->bytes.size() < 5 ||
      sony::GroupOf(reply->bytes[0]) != sony::kSystemReply ||
      reply->bytes[1] != sony::kDeviceType) {
    return answer;
  }
  answer.state = PortAnswer::State::Answered;
  answer.deviceType = HexBytes(std::span(reply->bytes).subspan(2, reply->bytes.size() - 3));
  answer.deviceType.pop_back();
  SonyMessage message;
  std::copy(reply->bytes.begin(), reply->bytes.end(), message.bytes.begin());
  answer.deviceName = DeviceTypeName(message, false);
  answer.replyMs = static_cast<double>((reply->firstByte - sentAt).count()) / 1000.0;
  return answer;
}

}  // namespace

std::string PortAnswer::Line() const {
  switch (state) {
    case State::Answered: {
      char ms[32];
      std::snprintf(ms, sizeof ms, "%.3f", replyMs);
      return label + ": " + deviceName + " (" + deviceType + ") in " + ms + " ms";
    }
    case State::InUse:
      return label + ": in use";
    case State::Unusable:
      return label + ": " + problem;
    case State::Silent:
      break;
  }
  return label + ": no answer";
}

std::vector<PortAnswer> ProbePorts(Micros wait) {
  std::vector<PortAnswer> answers;
  for (int number : PortMap::MappedNumbers()) {
    const PortTarget target = ProbeTarget(number);
    if (target.kind == PortTarget::Kind::None) continue;
    answers.push_back(Probe(number, target, wait));
  }
  return answers;
}

int RunProbePorts() {
  bool any = false;
  for (const PortAnswer& answer : ProbePorts()) {
    std::cout << answer.Line() << '\n';
    any = any || answer.state == PortAnswer::State::Answered;
  }
  std::cout.flush();
  return any ? 0 : 1;
}
