// The telnet / RFC 2217 layer of a network port. Two checks per input:
//  - Round trip: data bytes and commands drawn from the input are put on the wire (data escaped,
//    commands between them), the wire is cut at fuzzed points and decoded; the data out must be
//    the data in, byte for byte, and the commands the commands in, in order.
//  - Raw bytes: the rest of the input, taken as a wire stream, gives the same data and commands
//    whether decoded whole or in fuzzed pieces, and an RFC 2217 client and server session fed it
//    give exactly the decoder's data (no option byte leaks) and answer only with whole commands.
#include <fuzzer/FuzzedDataProvider.h>

#include "ComPortSession.h"
#include "FuzzCheck.h"
#include "TelnetCodec.h"

namespace {

using telnet::Command;

bool Same(const Command& a, const Command& b) {
  return a.verb == b.verb && a.option == b.option && a.payload == b.payload;
}

void Decode(const std::vector<uint8_t>& wire, FuzzedDataProvider* cuts, std::vector<uint8_t>& data,
            std::vector<Command>& commands) {
  telnet::Decoder decoder;
  std::size_t at = 0;
  while (at < wire.size()) {
    std::size_t piece = wire.size() - at;
    if (cuts) piece = cuts->ConsumeIntegralInRange<std::size_t>(1, piece);
    decoder.Feed(wire.data() + at, piece, data, commands);
    at += piece;
  }
}

void RoundTrip(FuzzedDataProvider& input) {
  std::vector<uint8_t> data, wire;
  std::vector<Command> commands;
  const int parts = input.ConsumeIntegralInRange(0, 12);
  for (int i = 0; i < parts; ++i) {
    const auto bytes = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange(0, 40));
    data.insert(data.end(), bytes.begin(), bytes.end());
    telnet::Escape(bytes.data(), bytes.size(), wire);
    if (!input.ConsumeBool()) continue;
    Command command;
    command.verb = input.PickValueInArray(
        {telnet::kWill, telnet::kWont, telnet::kDo, telnet::kDont, telnet::kSb});
    command.option = input.ConsumeIntegral<uint8_t>();
    if (command.verb == telnet::kSb) {
      command.payload = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange(0, 12));
      telnet::AppendSubnegotiation(command.option, command.payload, wire);
    } else {
      telnet::AppendCommand(command.verb, command.option, wire);
    }
    commands.push_back(command);
  }
  std::vector<uint8_t> dataOut;
  std::vector<Command> commandsOut;
  Decode(wire, &input, dataOut, commandsOut);
  FUZZ_CHECK(dataOut == data);
  FUZZ_CHECK(commandsOut.size() == commands.size());
  for (std::size_t i = 0; i < commands.size(); ++i) FUZZ_CHECK(Same(commandsOut[i], commands[i]));
}

// Answers are whole commands: decoding them leaves no data byte.
void CheckAnswers(ComPortSession& session) {
  std::vector<uint8_t> data;
  std::vector<Command> commands;
  Decode(session.Outgoing(), nullptr, data, commands);
  FUZZ_CHECK(data.empty());
  session.Outgoing().clear();
}

void RawBytes(FuzzedDataProvider& input) {
  const std::vector<uint8_t> wire = input.ConsumeBytes<uint8_t>(input.remaining_bytes() / 2);
  std::vector<uint8_t> whole, pieces;
  std::vector<Command> wholeCommands, pieceCommands;
  Decode(wire, nullptr, whole, wholeCommands);
  Decode(wire, &input, pieces, pieceCommands);
  FUZZ_CHECK(whole == pieces);
  FUZZ_CHECK(wholeCommands.size() == pieceCommands.size());
  for (std::size_t i = 0; i < wholeCommands.size(); ++i) {
    FUZZ_CHECK(Same(wholeCommands[i], pieceCommands[i]));
    FUZZ_CHECK(wholeCommands[i].payload.size() <= telnet::kMaxSubnegotiation);
  }
  for (auto role : {ComPortSession::Role::Client, ComPortSession::Role::Server}) {
    ComPortSession session(role);
    session.Request(rfc2217::kSetControl, {rfc2217::kDtrOn});
    CheckAnswers(session);
    std::vector<uint8_t> data;
    session.Receive(wire.data(), wire.size(), data);
    FUZZ_CHECK(data == whole);
    CheckAnswers(session);
    session.SetModemLines(input.ConsumeIntegral<uint8_t>());
    CheckAnswers(session);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider input(bytes, size);
  RoundTrip(input);
  RawBytes(input);
  return 0;
}
