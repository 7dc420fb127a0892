#include "PortMap.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "NetworkTarget.h"

extern char** environ;

namespace {

constexpr const char* kOverridePrefix = "SELKIE_COM";
constexpr const char* kPtyPrefix = "pty:";
constexpr int kMaxNumber = 65535;

struct Range {
  int first;
  const char* stem;
};
constexpr Range kRanges[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
constexpr int kRangeLength = 32;

PortTarget FixedTarget(int number) {
  PortTarget target;
  if (number == PortMap::kCableA || number == PortMap::kCableB) {
    target.kind = PortTarget::Kind::Cable;
    target.cableEnd = number == PortMap::kCableA ? 0 : 1;
    return target;
  }
  for (const Range& range : kRanges) {
    if (number >= range.first && number < range.first + kRangeLength) {
      target.kind = PortTarget::Kind::Device;
      target.path = range.stem + std::to_string(number - range.first);
    }
  }
  return target;
}

// The number of a "SELKIE_COM<n>=..." entry, or 0 when the entry is something else.
int OverrideNumber(const char* entry) {
  const std::size_t prefixLength = std::strlen(kOverridePrefix);
  if (std::strncmp(entry, kOverridePrefix, prefixLength) != 0) return 0;
  int number = 0;
  const char* p = entry + prefixLength;
  for (; *p >= '0' && *p <= '9'; ++p) {
    number = number * 10 + (*p - '0');
    if (number > kMaxNumber) return 0;
  }
  return *p == '=' ? number : 0;
}

struct Assignment {
  PortTarget target;
  std::string text;
};

std::mutex gAssignedMutex;
std::map<int, Assignment>& Assigned() {
  static std::map<int, Assignment> assigned;
  return assigned;
}

std::optional<Assignment> FindAssigned(int number) {
  std::lock_guard lock(gAssignedMutex);
  const auto found = Assigned().find(number);
  if (found == Assigned().end()) return std::nullopt;
  return found->second;
}

}  // namespace

std::string PortTarget::Describe() const {
  switch (kind) {
    case Kind::Device:
      return path;
    case Kind::Pty:
      return kPtyPrefix + path;
    case Kind::Cable:
      return cableEnd == 0 ? "virtual cable A" : "virtual cable B";
    case Kind::None:
      break;
    default:
      return DescribeNetworkTarget(*this);
  }
  return {};
}

PortTarget PortMap::ParseTarget(const std::string& text) {
  PortTarget target;
  if (IsNetworkTarget(text)) {
    ParseNetworkTarget(text, target);
  } else if (text == "cable:A" || text == "cable:B") {
    target.kind = PortTarget::Kind::Cable;
    target.cableEnd = text.back() == 'A' ? 0 : 1;
  } else if (text.rfind(kPtyPrefix, 0) == 0) {
    if (text.size() > std::strlen(kPtyPrefix)) {
      target.kind = PortTarget::Kind::Pty;
      target.path = text.substr(std::strlen(kPtyPrefix));
    }
  } else if (!text.empty()) {
    target.kind = PortTarget::Kind::Device;
    target.path = text;
  }
  return target;
}

std::string PortMap::TargetError(const std::string& text) {
  if (text.empty()) return "an empty text names no port";
  if (text == "pty:") return "\"pty:\" needs a path: pty:<path>";
  PortTarget target;
  return IsNetworkTarget(text) ? ParseNetworkTarget(text, target) : std::string();
}

PortTarget PortMap::Resolve(int number) {
  if (number < 1 || number > kMaxNumber) return {};
  if (const auto assigned = FindAssigned(number)) return assigned->target;
  const std::string name = kOverridePrefix + std::to_string(number);
  if (const char* value = std::getenv(name.c_str())) return ParseTarget(value);
  return FixedTarget(number);
}

std::vector<int> PortMap::MappedNumbers() {
  std::set<int> numbers;
  for (const Range& range : kRanges) {
    for (int i = 0; i < kRangeLength; ++i) numbers.insert(range.first + i);
  }
  numbers.insert(kCableA);
  numbers.insert(kCableB);
  {
    std::lock_guard lock(gAssignedMutex);
    for (const auto& [number, assignment] : Assigned()) numbers.insert(number);
  }
  for (char** entry = environ; entry && *entry; ++entry) {
    if (int number = OverrideNumber(*entry)) numbers.insert(number);
  }
  std::vector<int> mapped;
  for (int number : numbers) {
    if (Resolve(number).kind != PortTarget::Kind::None) mapped.push_back(number);
  }
  return mapped;
}

bool PortMap::Assign(int number, const std::string& text) {
  const PortTarget target = ParseTarget(text);
  if (number < 1 || number > kMaxNumber || target.kind == PortTarget::Kind::None) return false;
  std::lock_guard lock(gAssignedMutex);
  Assigned()[number] = {target, text};
  return true;
}

void PortMap::Unassign(int number) {
  std::lock_guard lock(gAssignedMutex);
  Assigned().erase(number);
}

std::string PortMap::PortName(int number) {
  if (const auto assigned = FindAssigned(number)) return assigned->text;
  return "COM" + std::to_string(number);
}

std::string PortMap::PortLabel(int number) {
  if (const auto assigned = FindAssigned(number)) return assigned->text;
  return PortName(number) + " (" + Resolve(number).Describe() + ")";
}

std::optional<int> PortMap::ComNumberOf(const std::string& text) {
  if (text.size() < 3 || !std::equal(text.begin(), text.begin() + 3, "COM",
                                     [](char a, char b) { return std::toupper(a) == b; }))
    return std::nullopt;
  const std::string digits = text.substr(3);
  if (digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  const int number = std::stoi(digits);
  return number >= 1 && number <= 65535 ? number : 0;
}
