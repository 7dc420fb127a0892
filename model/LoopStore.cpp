// Loops: the ADR loop entries and the current loop (bytes 0..2 loop in, 3..5 loop out, 6..9 loop
// number, 11 loop command), and the streamer's arming data.
#include "VyoModel.h"
#include "ZMModel.h"

using namespace vyo;

namespace {

constexpr int kLoopFlag = 6;
constexpr int kLoopNumberAt = 6;
constexpr int kLoopNumberSize = 4;
constexpr int kLoopCommandAt = 11;
constexpr int kStreamerMachine = 24;
constexpr int kStreamerArmingBytes = 8;

bool HasBuffer(uint8_t* const* buffer) { return buffer != nullptr && *buffer != nullptr; }

// Loop entries are addressed by a byte, so a copy reaches at most 255 x 14 + 2 x 255 bytes into
// the loop area: every copy stays inside the 513 entries.
uint8_t* LoopBytes(uint8_t n) { return &g_Model->ADRLoops[0][0] + n * kLoopEntrySize; }
static_assert(255 * kLoopEntrySize + 2 * 255 <= kLoopEntries * kLoopEntrySize);

// Copies count bytes into the model; system flag 6 when any byte changed.
void StoreLoopBytes(uint8_t* target, const uint8_t* source, int count) {
  bool changed = false;
  for (int i = 0; i < count; ++i) changed |= StoreChanged(target[i], source[i]);
  if (changed) RaiseSysFlag(kLoopFlag);
}

void CopyLoopBytes(uint8_t* target, const uint8_t* source, int count) {
  for (int i = 0; i < count; ++i) target[i] = Load(source[i]);
}

// Writes three loop bytes in reverse order, then a 0 (a value read as a little-endian number).
void ReversedTriple(uint8_t* buffer, int first) {
  if (buffer == nullptr) return;
  const uint8_t* loop = g_Model->CurrentLoop;
  buffer[0] = Load(loop[first + 2]);
  buffer[1] = Load(loop[first + 1]);
  buffer[2] = Load(loop[first]);
  buffer[3] = 0;
}

}  // namespace

extern "C" {

void setZQ_ADRLoop(uint8_t* const* buffer, uint8_t src, uint8_t n, uint8_t count) {
  if (!HasBuffer(buffer)) return;
  uint8_t* entry = LoopBytes(n);
  bool changed = false;
  for (int i = 0; i < count; ++i) changed |= StoreChanged(entry[i], (*buffer)[uint8_t(src + i)]);
  if (changed) RaiseSysFlag(kLoopFlag);
  if (n > Load(Sys().HighestLoop)) Store(Sys().HighestLoop, uint16_t{n});
}

void getZQ_ADRLoop(uint8_t* const* buffer, uint8_t src, uint8_t n, uint8_t count) {
  if (!HasBuffer(buffer)) return;
  CopyLoopBytes(*buffer, LoopBytes(n) + src, count);
}

void get_loopdata(uint8_t* const* buffer) {
  if (!HasBuffer(buffer)) return;
  uint8_t* out = *buffer;
  const uint8_t n = out[0];
  if (n > Load(Sys().HighestLoop)) {
    out[1] = 0;
    return;
  }
  CopyLoopBytes(out + 2, LoopBytes(n), kLoopEntrySize);
  out[1] = uint8_t(n + 1);
}

void setZQ_currLoop(uint8_t* const* buffer) {
  if (HasBuffer(buffer)) StoreLoopBytes(g_Model->CurrentLoop, *buffer, kCurrentLoopSize);
}
void getZQ_currLoop(uint8_t* const* buffer) {
  if (HasBuffer(buffer)) CopyLoopBytes(*buffer, g_Model->CurrentLoop, kCurrentLoopSize);
}

void setZQ_LoopNumb(uint8_t* const* buffer) {
  if (HasBuffer(buffer))
    StoreLoopBytes(g_Model->CurrentLoop + kLoopNumberAt, *buffer, kLoopNumberSize);
}
void getZQ_LoopNumb(uint8_t* const* buffer) {
  if (HasBuffer(buffer))
    CopyLoopBytes(*buffer, g_Model->CurrentLoop + kLoopNumberAt, kLoopNumberSize);
}

uint8_t getzq_loopcmd(void) { return Load(g_Model->CurrentLoop[kLoopCommandAt]); }
void getzq_loopin(uint8_t* buffer) { ReversedTriple(buffer, 0); }
void getzq_loopout(uint8_t* buffer) { ReversedTriple(buffer, 3); }

void get_streamerdata(uint8_t* const* buffer) {
  if (!HasBuffer(buffer)) return;
  const McnRecord& r = *Mcn(kStreamerMachine);
  CopyLoopBytes(*buffer, r.TrackArming, kStreamerArmingBytes);
  (*buffer)[kStreamerArmingBytes] = Load(r.Standard);
}

}  // extern "C"
