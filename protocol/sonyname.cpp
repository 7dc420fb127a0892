#include "sonyname.h"

#include <algorithm>

namespace {

std::string CutTo(std::string text, std::size_t capacity) {
  if (text.size() > capacity) text.resize(capacity);
  return text;
}

int Pending(const SonyPort& port) { return (port.RxWrite - port.RxRead) & kRingMask; }

uint8_t RingAt(const SonyPort& port, int offset) {
  return port.RxRing[static_cast<std::size_t>((port.RxRead + offset) & kRingMask)];
}

// Appends a part of the tally text: the first part stands alone, later ones follow a "+".
void AppendTally(std::string& tally, const std::string& part) {
  if (tally.empty()) {
    tally = part;
  } else if (!part.empty()) {
    tally += "+" + part;
  }
  tally = CutTo(tally, kTallyCapacity);
}

std::string TransportModeText(int mode) {
  switch (mode) {
    case 1:
      return "Play";
    case 3:
      return "Record+Play";
    case 4:
      return "Fast Fwd";
    case 8:
      return "Fast Rvs";
    case 16:
      return "Ejecting";
    case 32:
      return "Stop";
    default:
      return "";
  }
}

std::string SpeedModeText(int mode) {
  switch (mode) {
    case 1:
      return "Vari-Ply";
    case 2:
      return "Jog";
    case 4:
      return "Shuttle";
    default:
      return "";
  }
}

}  // namespace

bool ExtractMessage(SonyPort& port) {
  for (;;) {
    const int pending = Pending(port);
    if (pending == 0) return false;
    const int dataCount = RingAt(port, 0) & 0x0F;
    port.RxLength = dataCount + 3;
    if (pending < port.RxLength) return false;
    for (int i = 0; i < dataCount + 2; ++i) port.Rx[static_cast<std::size_t>(i)] = RingAt(port, i);
    const uint8_t sum =
        sony::Checksum(port.Rx.bytes.data(), static_cast<std::size_t>(dataCount + 2));
    const uint8_t checksum = RingAt(port, port.RxLength - 1);
    if (sum == checksum) {
      port.Rx[static_cast<std::size_t>(dataCount + 2)] = checksum;
      port.RxRead = (port.RxRead + port.RxLength) & kRingMask;
      return true;
    }
    port.RxRead = (port.RxRead + 1) & kRingMask;
    ++port.ChecksumErrors;
  }
}

bool ReceiveBytes(SonyPort& port, std::span<const uint8_t> bytes) {
  if (bytes.size() > kMaxBurst) return false;
  if (static_cast<std::size_t>(Pending(port)) + bytes.size() > kMaxBurst) {
    port.RxWrite = 0;
    port.RxRead = 0;
  }
  for (uint8_t byte : bytes) {
    port.RxRing[static_cast<std::size_t>(port.RxWrite)] = byte;
    port.RxWrite = (port.RxWrite + 1) & kRingMask;
  }
  return true;
}

Bytes FrameTx(SonyPort& port) {
  const int length = port.Tx.Length();
  port.Tx[static_cast<std::size_t>(length - 1)] =
      sony::Checksum(port.Tx.bytes.data(), static_cast<std::size_t>(length - 1));
  Bytes out(port.Tx.bytes.begin(), port.Tx.bytes.begin() + length);
  port.TxText = CutTo("  Tx " + HexBytes(out), kTxTextCapacity);
  port.CommandPending = false;
  return out;
}

bool StoreStatus(SonyPort& port) {
  bool changed = false;
  for (int i = 0; i < port.Rx.DataCount(); ++i) {
    const int index = port.SenseStart + i;
    if (index < 0 || index >= static_cast<int>(port.Status.size())) break;  // reply longer than S15
    const uint8_t value = port.Rx.Data(i + 1);
    if (port.Status[static_cast<std::size_t>(index)] != value) {
      port.Status[static_cast<std::size_t>(index)] = value;
      changed = true;
    }
  }
  if (changed) DecodeStatus(port);
  return changed;
}

void DecodeStatus(SonyPort& port) {
  const auto& s = port.Status;
  port.TransportMode = s[1] & 0x3F;
  port.SpeedMode = (s[2] >> 3) & 7;
  port.EditLamp = (s[4] & 0x10) != 0 || (s[1] & 0x02) != 0;
  port.Cued = (s[2] & 0x01) != 0;
  port.Still = (s[2] & 0x02) != 0;
  port.Forward = (s[2] & 0x04) == 0;
  port.GotoLamp = (s[4] & 0x01) != 0;
  port.Remote = (s[0] & 0x01) == 0;

  std::string cueText;
  if (port.Cued) cueText = "Cued";
  if (port.GotoLamp) cueText = "Locate";

  std::string tally = CutTo(TransportModeText(port.TransportMode), kTallyCapacity);
  AppendTally(tally, SpeedModeText(port.SpeedMode));
  AppendTally(tally, cueText);
  port.TallyText = tally;
}

std::string TimeDataText(SonyPort& port) {
  port.DropFrame = (port.Rx.Data(1) & 0x40) != 0;
  return FormatSonyTime(port.Rx, port.DropFrame);
}

std::string FormatSonyTime(const SonyMessage& message, bool dropFrame) {
  const char separator = dropFrame ? ';' : ':';
  std::string text = HexByte(message.Data(4) & 0x3F);
  text += separator;
  text += HexByte(message.Data(3) & 0x7F);
  text += separator;
  text += HexByte(message.Data(2) & 0x7F);
  text += separator;
  text += HexByte(message.Data(1) & 0x3F);
  if (message.Data(4) & 0x80) text += '*';
  return text;
}

std::string DeviceTypeText(const SonyPort& port) { return DeviceTypeName(port.Rx, port.DropFrame); }

std::string HexByte(uint8_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

std::string HexBytes(std::span<const uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size() * 3);
  for (uint8_t byte : bytes) {
    text += HexByte(byte);
    text += ' ';
  }
  return text;
}

std::string RxText(const SonyPort& port) {
  const auto length = static_cast<std::size_t>(port.Rx.Length());
  return "Rx:" + HexBytes(std::span<const uint8_t>(port.Rx.bytes.data(), length));
}

void DropReceived(SonyPort& port) {
  port.RxRead = 0;
  port.RxWrite = 0;
  port.RxLength = 0;
}
