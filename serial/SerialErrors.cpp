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

std::string SystemText(int errnoValue, const std::string& device = {}) {
  char buffer[256];
  std::string text = strerror_r(errnoValue, buffer, sizeof buffer);
  return Printable(device.empty() ? text : device + ": " + text);
}

std::string WithReason(const std::string& message, int errnoValue) {
  return errnoValue == 0 ? message : message + " (" + SystemText(errnoValue) + ")";
}

constexpr const char* kBadId = "ie_BadId - Specified comport doesn't exist";
constexpr const char* kAlreadyOpen = "ie_Open - device already open";

}  // namespace

ESerialException::ESerialException(int code, const std::string& message,
                                   std::string commandLineText)
    : std::runtime_error(message),
      code_(code),
      commandLineText_(commandLineText.empty() ? message : std::move(commandLineText)) {}

EBadId::EBadId(int errnoValue) : ESerialException(-2001, kBadId, WithReason(kBadId, errnoValue)) {}
ECommNotOpen::ECommNotOpen() : ESerialException(-2007, "ie_NOpen - device not open") {}
EAlreadyOpen::EAlreadyOpen(int errnoValue)
    : ESerialException(-2008, kAlreadyOpen, WithReason(kAlreadyOpen, errnoValue)) {}
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
    : ESerialException(-errnoValue, SystemText(errnoValue, device), SystemText(errnoValue)) {}
