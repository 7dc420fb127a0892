#include "NetworkTarget.h"

#include <cstring>

namespace {

struct Form {
  const char* prefix;
  PortTarget::Kind kind;
  const char* shape;  // for messages
};
constexpr Form kForms[] = {
    {"tcp:", PortTarget::Kind::Tcp, "tcp:HOST:PORT"},
    {"tcp-listen:", PortTarget::Kind::TcpListen, "tcp-listen:[ADDR:]PORT"},
    {"rfc2217://", PortTarget::Kind::Rfc2217, "rfc2217://HOST:PORT"},
    {"rfc2217-listen:", PortTarget::Kind::Rfc2217Listen, "rfc2217-listen:[ADDR:]PORT"},
};

// Loopback only unless the user writes another address out.
constexpr const char* kDefaultListenAddress = "127.0.0.1";

const Form* FindForm(const std::string& text) {
  for (const Form& form : kForms) {
    if (text.rfind(form.prefix, 0) == 0) return &form;
  }
  return nullptr;
}

int ParsePort(const std::string& digits) {
  if (digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of("0123456789") != std::string::npos) {
    return 0;
  }
  const int port = std::stoi(digits);
  return port <= 65535 ? port : 0;
}

// Splits "HOST:PORT" or "[HOST]:PORT"; "" for the host when there is none.
bool SplitHostPort(const std::string& rest, std::string& host, std::string& port) {
  if (rest.starts_with("[")) {
    const std::size_t close = rest.find(']');
    if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
      return false;
    }
    host = rest.substr(1, close - 1);
    port = rest.substr(close + 2);
    return !host.empty();
  }
  const std::size_t colon = rest.rfind(':');
  if (colon == std::string::npos) {
    port = rest;
    return true;
  }
  host = rest.substr(0, colon);
  port = rest.substr(colon + 1);
  // An unbracketed host with a colon (an IPv6 address) would be read wrong: refuse it.
  return !host.empty() && host.find(':') == std::string::npos;
}

}  // namespace

bool IsNetworkTarget(const std::string& text) { return FindForm(text) != nullptr; }

std::string ParseNetworkTarget(const std::string& text, PortTarget& target) {
  target = {};
  const Form* form = FindForm(text);
  if (!form) return "\"" + text + "\" is not a network target";
  const std::string bad = "\"" + text + "\" is not a network target of the form " + form->shape;
  std::string host, portText;
  if (!SplitHostPort(text.substr(std::strlen(form->prefix)), host, portText)) return bad;
  const bool listening =
      form->kind == PortTarget::Kind::TcpListen || form->kind == PortTarget::Kind::Rfc2217Listen;
  if (host.empty()) {
    if (!listening) return bad + " (the host is missing)";
    host = kDefaultListenAddress;
  }
  const int port = ParsePort(portText);
  if (port == 0) return bad + " (the port is a number from 1 to 65535)";
  target.kind = form->kind;
  target.host = host;
  target.port = port;
  return {};
}

std::string DescribeNetworkTarget(const PortTarget& target) {
  for (const Form& form : kForms) {
    if (form.kind != target.kind) continue;
    const bool bracket = target.host.find(':') != std::string::npos;
    const std::string host = bracket ? "[" + target.host + "]" : target.host;
    return form.prefix + host + ":" + std::to_string(target.port);
  }
  return {};
}
