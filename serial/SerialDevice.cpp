#include "SerialDevice.h"

#include "NullModemCable.h"
#include "PtyDevice.h"
#include "SerialErrors.h"
#include "TtyDevice.h"

std::unique_ptr<SerialDevice> OpenSerialDevice(const PortTarget& target) {
  switch (target.kind) {
    case PortTarget::Kind::Device:
      return std::make_unique<TtyDevice>(target.path);
    case PortTarget::Kind::Pty:
      return std::make_unique<PtyDevice>(target.path);
    case PortTarget::Kind::Cable:
      return std::make_unique<NullModemCableEnd>(target.cableEnd);
    case PortTarget::Kind::None:
      break;
  }
  throw EBadId();
}

bool SerialDeviceSelectable(const PortTarget& target) {
  switch (target.kind) {
    case PortTarget::Kind::Device:
      return TtyDevice::Selectable(target.path);
    case PortTarget::Kind::Pty:
      return PtyDevice::Selectable(target.path);
    case PortTarget::Kind::Cable:
      return true;  // always present: free or in use
    case PortTarget::Kind::None:
      break;
  }
  return false;
}
