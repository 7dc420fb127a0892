// The model's entry points with fuzzed arguments on a private block. ZQ_ParseSony on a message of
// exactly the bytes it announces: the reply is one well-framed message inside its 18 bytes, the
// block is never written, and a bad machine number gets NAK. Any other entry point with a machine
// number outside -1..35 returns 0, writes an empty text and leaves the block as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include <memory>

#include "FuzzFrames.h"
#include "ModelBlock.h"
#include "VyoModel.h"

namespace {

bool Valid(int8_t m) { return m >= -1 && m <= 35; }

int8_t Machine(FuzzedDataProvider& input) {
  return input.ConsumeBool() ? static_cast<int8_t>(input.ConsumeIntegralInRange(-1, 35))
                             : input.ConsumeIntegral<int8_t>();
}

bool Reply(const uint8_t* reply, uint8_t cmd1, uint8_t cmd2) {
  return reply[0] == cmd1 && reply[1] == cmd2;
}

// The kind of reply each group gets for a machine that exists.
bool ReplyFits(uint8_t cmd1, uint8_t cmd2, const uint8_t* reply) {
  const bool ack = Reply(reply, 0x10, 0x01);
  const bool nak = Reply(reply, 0x11, 0x12) && reply[2] == 0x01;
  switch (cmd1 >> 4) {
    case 0x0:
      return cmd2 == 0x11 ? Reply(reply, 0x12, 0x11) : ack;
    case 0x2:
    case 0x4:
      return ack;
    case 0x6:
      return nak || (reply[0] >> 4) == 7;
    case 0xC:
      if (cmd2 == 0x58) return ack || nak;
      if (cmd2 == 0x59) return Reply(reply, 0xD2, 0x59);
      return nak;
    default:
      return nak;
  }
}

void ParseSony(FuzzedDataProvider& input) {
  const int8_t m = Machine(input);
  const uint8_t cmd1 = input.ConsumeIntegral<uint8_t>();
  auto message = std::make_unique<uint8_t[]>((cmd1 & 0x0F) + 2u);
  message[0] = cmd1;
  for (std::size_t i = 1; i < (cmd1 & 0x0Fu) + 2u; ++i)
    message[i] = input.ConsumeIntegral<uint8_t>();
  auto reply = std::make_unique<uint8_t[]>(18);
  const auto before = BlockCopy();
  ZQ_ParseSony(message.get(), reply.get(), m);
  FUZZ_CHECK(BlockIs(before));
  const std::size_t length = (reply[0] & 0x0Fu) + 3u;
  FUZZ_CHECK(length <= 18 && WellFramed({reply.get(), length}));
  if (!Valid(m))
    FUZZ_CHECK(reply[0] == 0x11 && reply[1] == 0x12 && reply[2] == 0x01);
  else
    FUZZ_CHECK(ReplyFits(cmd1, message[1], reply.get()));
}

using ByteGetter = uint8_t (*)(int8_t);
using ByteSetter = uint8_t (*)(int8_t, uint8_t);
using FrameSetter = uint8_t (*)(int8_t, int32_t);

constexpr ByteGetter kByteGetters[] = {
    getZQ_McnTally,     getZQ_McnStatus1,         getZQ_McnStatus2,     getZQ_McnStatus3,
    getZQ_McnStatus4,   getZQ_McnSubFrameOffset,  getZQ_McnSyncError,   getZQ_McnRecordTracks,
    getZQ_McnIsChasing, getZQ_McnIsRecordEnabled, getZQ_McnDataOK,      getZQ_McnStandard,
    getZQ_McnInPlay,    getZQ_McnIsSlow,          getZQ_McnIsLocked,    getZQ_McnIsLocating,
    getZQ_McnInRecord,  getZQ_McnIsArmed,         getZQ_McnNoComms,     getZQ_McnTapeStatus,
    getZQ_McnZFrame,    getZQ_McnInLockedPlay,    getZQ_McnRecordState, getZQ_McnIsInSystem};
constexpr ByteSetter kByteSetters[] = {
    setZQ_McnTally,     setZQ_McnStatus1,        setZQ_McnStatus2,   setZQ_McnStatus3,
    setZQ_McnStatus4,   setZQ_McnSubFrameOffset, setZQ_McnSyncError, setZQ_McnRecordTracks,
    setZQ_McnIsChasing, setZQ_McnIsRecordEnabled};
constexpr FrameSetter kFrameSetters[] = {setZQ_McnPosition, setZQ_McnOffset, setZQ_McnSyncPoint,
                                         setZQ_McnRecInPoint, setZQ_McnRecOutPoint};

int64_t WideGetters(int8_t m) {
  return static_cast<int64_t>(getZQ_McnPosition(m)) | getZQ_McnOffset(m) | getZQ_McnSyncPoint(m) |
         getZQ_McnRecInPoint(m) | getZQ_McnRecOutPoint(m) | getZQ_McnSonyID(m) |
         getZQ_McnPositionHMSF(m);
}

// One machine call: returns what the getter or setter returned.
int64_t MachineCall(FuzzedDataProvider& input, int8_t m) {
  uint8_t text[256] = {};
  text[0] = 0xEE;  // a getter must write the empty text, not leave this
  switch (input.ConsumeIntegralInRange(0, 13)) {
    case 0:
      return input.PickValueInArray(kByteGetters)(m);
    case 1:
      return input.PickValueInArray(kByteSetters)(m, input.ConsumeIntegral<uint8_t>());
    case 2:
      return input.PickValueInArray(kFrameSetters)(m, input.ConsumeIntegral<int32_t>());
    case 3:
      return WideGetters(m);
    case 4:
      return setZQ_McnTrackArming(m, input.ConsumeIntegral<uint8_t>(),
                                  input.ConsumeIntegral<uint8_t>());
    case 5:
      return setZQ_McnSonyID(m, input.ConsumeIntegral<uint16_t>()) | setZQ_McnDataOK(m);
    case 6: {
      const std::string name = input.ConsumeRandomLengthString(12);
      auto lp = std::make_unique<uint8_t[]>(name.size() + 1);
      lp[0] = static_cast<uint8_t>(name.size());
      std::memcpy(lp.get() + 1, name.data(), name.size());
      return setZQ_McnIDName(m, lp.get());
    }
    case 7:
      return setZQ_McnAlias(m, input.ConsumeRandomLengthString(12).c_str()) |
             setZQ_McnIDNamePChar(m, input.ConsumeRandomLengthString(12).c_str());
    case 8:
      getZQ_McnIDName(m, text);
      return text[0] == 0xEE ? 1 : text[0];
    case 9:
      getZQ_C_McnName(m, text);
      return text[0] == 0xEE ? 1 : text[0];
    case 10: {
      auto out = std::make_unique<char[]>(7);
      getZQ_McnIDNamePChar(m, out.get());
      FUZZ_CHECK(std::memchr(out.get(), 0, 7) != nullptr);
      return out[0];
    }
    case 11:
      return getZQ_McnTrackArming(m, input.ConsumeIntegral<uint8_t>());
    case 12:
      return setZQ_Master(m) | setZQ_SelectedMcn(m) | setZQ_MaxMachine(m);
    default:
      return setZQ_McnIsChasing(m, input.ConsumeBool()) |
             setZQ_McnIsRecordEnabled(m, input.ConsumeBool());
  }
}

void BlockCall(FuzzedDataProvider& input, int8_t m) {
  uint8_t storage[256];
  for (auto& b : storage) b = input.ConsumeIntegral<uint8_t>();
  uint8_t* buffer = storage;
  const uint8_t src = input.ConsumeIntegral<uint8_t>(), dst = input.ConsumeIntegral<uint8_t>();
  const uint8_t count = input.ConsumeIntegral<uint8_t>();
  const auto before = BlockCopy();
  const std::vector<uint8_t> callerBefore(storage, storage + sizeof storage);
  const int call = input.ConsumeIntegralInRange(0, 11);
  switch (call) {
    case 0:
      getZQ_McnTrackArmingP(m, &buffer, src, dst, count);
      break;
    case 1:
      setZQ_McnTrackArmingP(m, &buffer, src, dst, count);
      break;
    case 2:
      getZQ_McnTrackRecordP(m, &buffer, src, dst, count);
      break;
    case 3:
      setZQ_McnTrackRecordP(m, &buffer, src, dst, count);
      break;
    case 4:
      getZQ_McnIFaceData(m, &buffer, src, dst, count);
      break;
    case 5:
      setZQ_McnIFaceData(m, &buffer, src, dst, count);
      break;
    case 6:
      setZQ_UnitData(&buffer, src, dst, count);
      getZQ_UnitData(&buffer, src, dst, count);
      break;
    case 7:
      setZQ_LogicalReady(&buffer, src, dst, count);
      getZQ_LogicalRecord(&buffer, src, dst, count);
      break;
    case 8:
      setZQ_TrackMap(&buffer, src, dst, count);
      getZQ_TrackMap(&buffer, src, dst, count);
      break;
    case 9:
      setZQ_ADRLoop(&buffer, src, dst, count);
      getZQ_ADRLoop(&buffer, src, dst, count);
      break;
    case 10:
      setZQ_currLoop(&buffer);
      getZQ_currLoop(&buffer);
      setZQ_LoopNumb(&buffer);
      getzq_loopin(storage);
      break;
    default: {
      setZQ_Error(input.ConsumeIntegral<uint8_t>());
      uint8_t text[256];
      getZQ_ErrorString(text);
      auto pchar = std::make_unique<char[]>(20);
      getZQ_ErrorPChar(pchar.get());
      FUZZ_CHECK(std::memchr(pchar.get(), 0, 20) != nullptr);
      break;
    }
  }
  FUZZ_CHECK(buffer == storage);
  if (call <= 5 && !Valid(m)) {
    FUZZ_CHECK(BlockIs(before));
    FUZZ_CHECK(std::equal(callerBefore.begin(), callerBefore.end(), storage));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
  UsePrivateBlock(*argv);
  PrivateBlock();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  while (input.remaining_bytes() > 0) {
    switch (input.ConsumeIntegralInRange(0, 3)) {
      case 0:
        ParseSony(input);
        break;
      case 1:
        BlockCall(input, Machine(input));
        break;
      default: {
        const int8_t m = Machine(input);
        const auto before = BlockCopy();
        const int64_t result = MachineCall(input, m);
        if (!Valid(m)) FUZZ_CHECK(result == 0 && BlockIs(before));
        break;
      }
    }
    for (int i = 0; i < 512 && getZQ_LastChange() != 0; ++i) {
    }
  }
  return 0;
}
