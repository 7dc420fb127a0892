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
  const auto bad = [&](const std::string& why) {
    return OptionsError(option + " needs hexadecimal bytes such as \"20 01\": " + why);
  };
  std::vector<uint8_t> bytes;
  // Words apart by spaces or commas; each word (after an optional 0x) is whole bytes.
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == ',' || text[i] == '\t') {
      ++i;
      continue;
    }
    if (text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0) i += 2;
    std::size_t end = i;
    while (end < text.size() && HexDigit(text[end]) >= 0) ++end;
    const bool separated =
        end == text.size() || text[end] == ' ' || text[end] == ',' || text[end] == '\t';
    if (end == i || (end - i) % 2 != 0 || !separated)
      throw bad("\"" + text + "\" is not whole bytes");
    for (; i < end; i += 2)
      bytes.push_back(static_cast<uint8_t>(HexDigit(text[i]) << 4 | HexDigit(text[i + 1])));
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
    line->AwaitClient(kClientWait, *options.portB, "nothing was sent");
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
