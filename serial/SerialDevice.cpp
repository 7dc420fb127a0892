#include "SerialDevice.h"

#include "NetDevice.h"
#include "NullModemCable.h"
#include "PtyDevice.h"
#include "Rfc2217Device.h"
#include "Rfc2217ServerDevice.h"
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
    case PortTarget::Kind::Tcp:
    case PortTarget::Kind::TcpListen:
      return std::make_unique<NetDevice>(target);
    case PortTarget::Kind::Rfc2217:
      return std::make_unique<Rfc2217Device>(target);
    case PortTarget::Kind::Rfc2217Listen:
      return std::make_unique<Rfc2217ServerDevice>(target);
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
    case PortTarget::Kind::Tcp:
    case PortTarget::Kind::TcpListen:
    case PortTarget::Kind::Rfc2217:
    case PortTarget::Kind::Rfc2217Listen:
      return true;  // whether the far side is there shows only when connecting
    case PortTarget::Kind::None:
      break;
  }
  return false;
}
