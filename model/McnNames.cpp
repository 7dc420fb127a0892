// Machine names: IDName and Alias (length byte, then up to 6 characters) and the display name.
#include <cstring>

#include "McnAccess.h"
#include "VyoModel.h"

using namespace vyo;

namespace {

// A name cut to the capacity of the record; a setter compares this cut form with the stored one,
// so setting the same long name twice reports no change the second time.
struct ShortName {
  uint8_t length;
  const char* chars;
};

ShortName Cut(const uint8_t* lengthPrefixed) {
  const uint8_t length = lengthPrefixed[0] < kNameCapacity ? lengthPrefixed[0] : kNameCapacity;
  return {length, reinterpret_cast<const char*>(lengthPrefixed + 1)};
}

ShortName Cut(const char* text) { return {uint8_t(strnlen(text, kNameCapacity)), text}; }

// Stores name into field (length byte + 6 characters, unused characters zero) when it differs.
bool StoreName(uint8_t (&field)[1 + kNameCapacity], ShortName name) {
  bool same = Load(field[0]) == name.length;
  for (int i = 0; same && i < name.length; ++i) same = Load(field[1 + i]) == uint8_t(name.chars[i]);
  if (same) return false;
  for (int i = 0; i < kNameCapacity; ++i) {
    Store(field[1 + i], i < name.length ? uint8_t(name.chars[i]) : uint8_t{0});
  }
  Store(field[0], name.length);
  return true;
}

// Copies a stored name (its length clamped to the capacity) as a length-prefixed string.
uint8_t CopyName(const uint8_t (&field)[1 + kNameCapacity], uint8_t* out) {
  uint8_t length = Load(field[0]);
  if (length > kNameCapacity) length = kNameCapacity;
  for (int i = 0; i < length; ++i) out[1 + i] = Load(field[1 + i]);
  out[0] = length;
  return length;
}

}  // namespace

extern "C" {

uint8_t setZQ_McnIDName(int8_t m, const uint8_t* name) {
  McnRecord* r = Mcn(m);
  if (r == nullptr || name == nullptr || !StoreName(r->IDName, Cut(name))) return 0;
  RaiseMcnFlag(*r, 3);
  return 1;
}

void getZQ_McnIDName(int8_t m, uint8_t* out) {
  if (out == nullptr) return;
  const McnRecord* r = Mcn(m);
  if (r == nullptr) {
    out[0] = 0;
    return;
  }
  CopyName(r->IDName, out);
}

uint8_t setZQ_McnIDNamePChar(int8_t m, const char* name) {
  McnRecord* r = Mcn(m);
  return (r != nullptr && name != nullptr && StoreName(r->IDName, Cut(name))) ? 1 : 0;
}

uint8_t setZQ_McnAlias(int8_t m, const char* alias) {
  McnRecord* r = Mcn(m);
  return (r != nullptr && alias != nullptr && StoreName(r->Alias, Cut(alias))) ? 1 : 0;
}

void getZQ_McnIDNamePChar(int8_t m, char* out) {
  if (out == nullptr) return;
  const McnRecord* r = Mcn(m);
  uint8_t name[1 + kNameCapacity] = {};
  if (r != nullptr && CopyName(r->Alias, name) < 2) CopyName(r->IDName, name);
  std::memcpy(out, name + 1, name[0]);
  out[name[0]] = '\0';
}

void getZQ_C_McnName(int8_t m, uint8_t* out) {
  if (out == nullptr) return;
  out[0] = 0;
  if (m == -1 || m == 0) {
    const char* text = m == -1 ? "Generator" : "Reader";
    out[0] = uint8_t(std::strlen(text));
    std::memcpy(out + 1, text, out[0]);
    return;
  }
  const McnRecord* r = Mcn(m);
  if (r == nullptr) return;
  uint8_t name[1 + kNameCapacity];
  CopyName(r->IDName, name);
  out[1] = uint8_t(64 + m);
  out[2] = ':';
  out[3] = ' ';
  std::memcpy(out + 4, name + 1, name[0]);
  out[0] = uint8_t(3 + name[0]);
}

}  // extern "C"
