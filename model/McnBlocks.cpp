// Machine blocks: track arming, track record and interface data.
#include "BlockCopy.h"
#include "VyoModel.h"
#include "ZMModel.h"

using namespace vyo;

namespace {
const uint8_t kNoTracks[sizeof McnRecord::TrackRecord] = {};
}

extern "C" {

void getZQ_McnTrackArmingP(int8_t m, uint8_t* const* buffer, uint8_t src, uint8_t dst,
                           uint8_t count) {
  const McnRecord* r = Mcn(m);
  if (r != nullptr) CopyFromBlock(r->TrackArming, sizeof r->TrackArming, buffer, src, dst, count);
}

void setZQ_McnTrackArmingP(int8_t m, uint8_t* const* buffer, uint8_t src, uint8_t dst,
                           uint8_t count) {
  McnRecord* r = Mcn(m);
  if (r != nullptr &&
      CopyIntoBlock(r->TrackArming, sizeof r->TrackArming, buffer, src, dst, count)) {
    RaiseMcnFlag(*r, 2);
  }
}

// Tracks count as recording only while the machine is in record.
void getZQ_McnTrackRecordP(int8_t m, uint8_t* const* buffer, uint8_t src, uint8_t dst,
                           uint8_t count) {
  const McnRecord* r = Mcn(m);
  if (r == nullptr) return;
  const uint8_t* tracks = Load(r->InRecord) ? r->TrackRecord : kNoTracks;
  CopyFromBlock(tracks, sizeof r->TrackRecord, buffer, src, dst, count);
}

void setZQ_McnTrackRecordP(int8_t m, uint8_t* const* buffer, uint8_t src, uint8_t dst,
                           uint8_t count) {
  McnRecord* r = Mcn(m);
  if (r != nullptr &&
      CopyIntoBlock(r->TrackRecord, sizeof r->TrackRecord, buffer, src, dst, count)) {
    RaiseMcnFlag(*r, 2);
  }
}

void getZQ_McnIFaceData(int8_t m, uint8_t* const* buffer, uint8_t src, uint8_t dst, uint8_t count) {
  const McnRecord* r = Mcn(m);
  if (r != nullptr) CopyFromBlock(r->IFaceData, sizeof r->IFaceData, buffer, src, dst, count);
}

void setZQ_McnIFaceData(int8_t m, uint8_t* const* buffer, uint8_t src, uint8_t dst, uint8_t count) {
  McnRecord* r = Mcn(m);
  if (r != nullptr && CopyIntoBlock(r->IFaceData, sizeof r->IFaceData, buffer, src, dst, count)) {
    Store(r->IFaceDataLength, uint8_t(dst + count));
  }
}

}  // extern "C"
