// Errors of the serial component. Every error is an ESerialException carrying a negative code
// and the message the window shows; the subclasses name the situations callers catch. Where the
// system gave a reason (errno), CommandLineText adds it, for messages that already name the port.
#pragma once

#include <stdexcept>
#include <string>

class ESerialException : public std::runtime_error {
 public:
  ESerialException(int code, const std::string& message, std::string commandLineText = {});
  int ErrorCode() const { return code_; }
  // "ie_BadId - Specified comport doesn't exist (No such file or directory)"; for a plain system
  // error only the system's text, without the device.
  const std::string& CommandLineText() const { return commandLineText_; }

 private:
  int code_;
  std::string commandLineText_;
};

// -2001 "ie_BadId - Specified comport doesn't exist": the mapped device or path does not exist
// (or a driver node has no hardware behind it).
class EBadId : public ESerialException {
 public:
  explicit EBadId(int errnoValue = 0);
};

// -2007 "ie_NOpen - device not open": use of a closed port.
class ECommNotOpen : public ESerialException {
 public:
  ECommNotOpen();
};

// -2008 "ie_Open - device already open": another program (or port) holds the device.
class EAlreadyOpen : public ESerialException {
 public:
  explicit EAlreadyOpen(int errnoValue = 0);
};

// -2011 "The ComNumber property of the TSerialPort has not been set": ComNumber 0 with no prompt,
// or the prompt was cancelled.
class ENoPortSelected : public ESerialException {
 public:
  ENoPortSelected();
};

// -2012 "No serial port is available to choose": the prompt was confirmed with an empty list.
class ENoPortAvailable : public ESerialException {
 public:
  ENoPortAvailable();
};

// -3006 "Output buffer too small for block": WriteString longer than the free output space.
class EOutputBufferTooSmall : public ESerialException {
 public:
  EOutputBufferTooSmall();
};

// -3007 "Input buffer empty": ReadByte with no received byte waiting.
class EInputBufferEmpty : public ESerialException {
 public:
  EInputBufferEmpty();
};

// -5001 "No more trigger slots": AddModemWatch without a free handle.
class ENoMoreTriggers : public ESerialException {
 public:
  ENoMoreTriggers();
};

// -5003 "Bad trigger handle": ArmModemWatch or RemoveWatch with an unknown handle.
class EBadTriggerHandle : public ESerialException {
 public:
  EBadTriggerHandle();
};

// -1002 "Bad argument passed to function": AddModemWatch with a type outside 1..5.
class EBadArgument : public ESerialException {
 public:
  EBadArgument();
};

// Any other system error while opening or using a device: code = -errno, message = the system's
// text for it (control characters replaced by spaces), prefixed with the device when given.
class EInOutError : public ESerialException {
 public:
  EInOutError(int errnoValue, const std::string& device = {});
};
