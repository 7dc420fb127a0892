#include "TelnetCodec.h"

namespace telnet {

void Escape(const uint8_t* data, std::size_t size, std::vector<uint8_t>& out) {
  out.reserve(out.size() + size);
  for (std::size_t i = 0; i < size; ++i) {
    out.push_back(data[i]);
    if (data[i] == kIac) out.push_back(kIac);
  }
}

void AppendCommand(uint8_t verb, uint8_t option, std::vector<uint8_t>& out) {
  out.insert(out.end(), {kIac, verb, option});
}

void AppendSubnegotiation(uint8_t option, const std::vector<uint8_t>& payload,
                          std::vector<uint8_t>& out) {
  out.insert(out.end(), {kIac, kSb, option});
  Escape(payload.data(), payload.size(), out);
  out.insert(out.end(), {kIac, kSe});
}

void Decoder::Feed(const uint8_t* in, std::size_t size, std::vector<uint8_t>& data,
                   std::vector<Command>& commands) {
  for (std::size_t i = 0; i < size; ++i) {
    const uint8_t byte = in[i];
    switch (state_) {
      case State::Data:
        if (byte == kIac) {
          state_ = State::Iac;
        } else {
          data.push_back(byte);
        }
        break;
      case State::Iac:
        if (byte == kIac) {
          data.push_back(kIac);
          state_ = State::Data;
        } else if (byte == kSb) {
          state_ = State::SbOption;
        } else if (byte >= kWill) {
          pending_ = {byte, 0, {}};
          state_ = State::Verb;
        } else {
          state_ = State::Data;  // NOP, GA, a stray SE: nothing for a serial line
        }
        break;
      case State::Verb:
        pending_.option = byte;
        commands.push_back(std::move(pending_));
        pending_ = {};
        state_ = State::Data;
        break;
      case State::SbOption:
        pending_ = {kSb, byte, {}};
        state_ = State::Sb;
        break;
      case State::Sb:
        if (byte == kIac) {
          state_ = State::SbIac;
        } else if (pending_.payload.size() < kMaxSubnegotiation) {
          pending_.payload.push_back(byte);
        }
        break;
      case State::SbIac:
        if (byte == kSe) {
          commands.push_back(std::move(pending_));
          pending_ = {};
          state_ = State::Data;
        } else {
          // IAC IAC is a 0xFF of the payload; any other command inside ends nothing.
          if (byte == kIac && pending_.payload.size() < kMaxSubnegotiation) {
            pending_.payload.push_back(kIac);
          }
          state_ = State::Sb;
        }
        break;
    }
  }
}

}  // namespace telnet
