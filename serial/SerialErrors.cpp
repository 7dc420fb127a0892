#include "SerialErrors.h"

#include <cstring>

namespace {

// Messages end up in one-line error boxes: control characters would break them.
std::string Printable(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return text;
}

std::string SystemText(int errnoValue, const std::string& device) {
  char buffer[256];
  std::string text = strerror_r(errnoValue, buffer, sizeof buffer);
  return Printable(device.empty() ? text : device + ": " + text);
}

}  // namespace

ESerialException::ESerialException(int code, const std::string& message)
    : std::runtime_error(message), code_(code) {}

EBadId::EBadId() : ESerialException(-2001, "ie_BadId - Specified comport doesn't exist") {}
ECommNotOpen::ECommNotOpen() : ESerialException(-2007, "ie_NOpen - device not open") {}
EAlreadyOpen::EAlreadyOpen() : ESerialException(-2008, "ie_Open - device already open") {}
ENoPortSelected::ENoPortSelected()
    : ESerialException(-2011, "The ComNumber property of the TSerialPort has not been set") {}
ENoPortAvailable::ENoPortAvailable()
    : ESerialException(-2012, "No serial port is available to choose") {}
EOutputBufferTooSmall::EOutputBufferTooSmall()
    : ESerialException(-3006, "Output buffer too small for block") {}
EInputBufferEmpty::EInputBufferEmpty() : ESerialException(-3007, "Input buffer empty") {}
ENoMoreTriggers::ENoMoreTriggers() : ESerialException(-5001, "No more trigger slots") {}
EBadTriggerHandle::EBadTriggerHandle() : ESerialException(-5003, "Bad trigger handle") {}
EBadArgument::EBadArgument() : ESerialException(-1002, "Bad argument passed to function") {}
EInOutError::EInOutError(int errnoValue, const std::string& device)
    : ESerialException(-errnoValue, SystemText(errnoValue, device)) {}
