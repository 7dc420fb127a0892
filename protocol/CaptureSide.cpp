#include "CaptureSide.h"

#include <algorithm>

namespace {

std::string Listed(const std::vector<std::string>& ports) {
  std::string text;
  for (const std::string& port : ports) text += (text.empty() ? "" : ", ") + port;
  return text;
}

}  // namespace

std::vector<std::string> CapturePorts(const std::vector<CaptureRecord>& records) {
  std::vector<std::string> ports;
  for (const CaptureRecord& r : records)
    if (std::find(ports.begin(), ports.end(), r.port) == ports.end()) ports.push_back(r.port);
  return ports;
}

std::string CapturePort(const std::vector<CaptureRecord>& records, const std::string& from,
                        const std::string& usual) {
  const std::vector<std::string> ports = CapturePorts(records);
  const auto has = [&ports](const std::string& port) {
    return std::find(ports.begin(), ports.end(), port) != ports.end();
  };
  if (!from.empty()) {
    if (has(from)) return from;
    throw CaptureError("the capture holds no port or machine \"" + from + "\" (it holds " +
                       (ports.empty() ? std::string("nothing") : Listed(ports)) + ")");
  }
  if (ports.empty() || has("A") || has("B")) return usual;
  if (ports.size() == 1) return ports.front();
  throw CaptureError("the capture holds the machines " + Listed(ports) +
                     ": choose one with --from NAME");
}
