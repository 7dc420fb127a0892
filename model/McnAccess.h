// Field access shared by the machine accessors: the record's field through a member pointer,
// with the machine number checked and the change flag raised when a value is stored.
#pragma once

#include "ZMModel.h"

namespace vyo {

template <class T>
inline T GetField(int8_t m, T McnRecord::*field) {
  const McnRecord* r = Mcn(m);
  return r != nullptr ? Load(r->*field) : T{};
}

// Stores value when it differs and raises flag (1..7; 0 for none). 1 when stored.
template <class T>
inline uint8_t SetField(int8_t m, T McnRecord::*field, T value, int flag) {
  McnRecord* r = Mcn(m);
  if (r == nullptr || !StoreChanged(r->*field, value)) return 0;
  if (flag != 0) RaiseMcnFlag(*r, flag);
  return 1;
}

}  // namespace vyo
