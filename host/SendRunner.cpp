#include "SendRunner.h"

#include <cctype>
#include <cstdio>
#include <iostream>

#include "LineExchange.h"
#include "MessageDecoder.h"
#include "sonyname.h"

namespace {

// The longest a machine is given to answer one message.
constexpr Micros kSendWait{300000};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

std::string Spaced(const std::vector<uint8_t>& bytes) {
  std::string text = HexBytes(bytes);
  if (!text.empty()) text.pop_back();
  return text;
}

}  // namespace

std::vector<uint8_t> ParseHexMessage(const std::string& text, const std::string& option) {
  std::vector<uint8_t> bytes;
  const auto bad = [&](const std::string& why) {
    return OptionsError(option + " needs hexadecimal bytes such as \"20 01\": " + why);
  };
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == ',' || c == '\t') {
      ++i;
      continue;
    }
    if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
    if (i + 1 >= text.size() || HexDigit(text[i]) < 0 || HexDigit(text[i + 1]) < 0) {
      throw bad("\"" + text + "\" is not whole bytes");
    }
    bytes.push_back(static_cast<uint8_t>(HexDigit(text[i]) << 4 | HexDigit(text[i + 1])));
    i += 2;
    if (i < text.size() && HexDigit(text[i]) >= 0)
      throw bad("separate the bytes of \"" + text + "\"");
  }
  if (bytes.empty()) throw bad("none given");
  if (bytes.size() > 18) throw bad("a message has 18 bytes at most");
  return bytes;
}

std::vector<uint8_t> FramedSend(const std::vector<uint8_t>& body) {
  if (body.size() < 2) throw OptionsError("--send needs CMD-1 and CMD-2 at least");
  const std::size_t announced = static_cast<std::size_t>(sony::DataCountOf(body[0]));
  if (body.size() - 2 != announced) {
    throw OptionsError("--send: CMD-1 " + HexByte(body[0]) + " announces " +
                       std::to_string(announced) + " data bytes but " +
                       std::to_string(body.size() - 2) + " follow");
  }
  std::vector<uint8_t> framed = body;
  framed.push_back(sony::Checksum(body.data(), body.size()));
  return framed;
}

int RunSend(const ProgramOptions& options) {
  std::vector<uint8_t> request;
  std::optional<std::vector<uint8_t>> expected;
  std::unique_ptr<LineExchange> line;
  try {
    request = FramedSend(ParseHexMessage(*options.send, "--send"));
    if (options.expect) expected = ParseHexMessage(*options.expect, "--expect");
    line = std::make_unique<LineExchange>(CommandLineTarget(*options.portB, "--send"));
  } catch (const std::exception& e) {
    std::cerr << "selkietest: " << e.what() << std::endl;
    return 2;
  }
  Micros sentAt{0};
  std::optional<Frame> reply;
  try {
    reply = line->Exchange(request, kSendWait, sentAt);
  } catch (const std::exception& e) {
    std::cerr << "selkietest: " << e.what() << std::endl;
    return 2;
  }
  std::cout << "sent  " << Spaced(request) << "  " << DecodeMessage(request) << "\n";
  if (!reply) {
    std::cout << "reply none within " << kSendWait.count() / 1000 << " ms\n";
    return 1;
  }
  char ms[32];
  std::snprintf(ms, sizeof ms, "%.3f",
                static_cast<double>((reply->firstByte - sentAt).count()) / 1000.0);
  std::cout << "reply " << Spaced(reply->bytes) << "  " << DecodeMessage(reply->bytes) << "  in "
            << ms << " ms\n";
  if (!expected) return 0;
  // The expected reply may be written with its checksum or without it.
  std::vector<uint8_t> body(reply->bytes.begin(), reply->bytes.end() - 1);
  const bool match = *expected == reply->bytes || *expected == body;
  std::cout << (match ? "as expected\n" : "expected " + Spaced(*expected) + "\n");
  return match ? 0 : 1;
}
