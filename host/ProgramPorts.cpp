#include "ProgramPorts.h"

#include "SerialErrors.h"

void ConfigureProgramPort(TSerialPort& port) {
  port.SetBaud(38400);
  port.SetParity(pOdd);
  port.SetDataBits(8);
  port.SetStopBits(1);
  port.SetInSize(4096);
  port.SetOutSize(4096);
  port.SetHWFlowOptions(0);
  port.SetSWFlowOptions(swfNone);
  port.SetAutoOpen(false);
  port.SetPromptForPort(true);
}

int OpenPortWithFallback(TSerialPort& port, uint16_t& watchHandle, int number) {
  if (port.Open()) {
    try {
      port.RemoveWatch(watchHandle);
    } catch (const ESerialException&) {
    }
    port.SetOpen(false);
  }
  port.SetComNumber(number);
  try {
    port.SetOpen(true);
  } catch (const ESerialException&) {
    // With no one to ask for another port, the first error is the one worth reporting.
    if (!port.PromptForPort()) throw;
    if (port.Open()) port.SetOpen(false);
    port.SetComNumber(0);
    port.SetOpen(true);
  }
  if (port.Open()) {
    try {
      watchHandle = port.AddModemWatch(kModemTriggerType);
    } catch (const ESerialException&) {
    }
  }
  return port.ComNumber();
}

ProgramPorts::ProgramPorts(TSerialPort& a, TSerialPort& b) : a_(a), b_(b) {
  ConfigureProgramPort(a_);
  ConfigureProgramPort(b_);
}

void ProgramPorts::OpenPort(PortSide side, int32_t& storedNumber) {
  storedNumber = OpenPortWithFallback(Port(side), Handle(side), storedNumber);
  ArmSyncWatch(side);
}

void ProgramPorts::ChoosePort(PortSide side, int32_t& storedNumber) {
  storedNumber = OpenPortWithFallback(Port(side), Handle(side), 0);
}

void ProgramPorts::ClosePort(PortSide side) {
  TSerialPort& port = Port(side);
  if (port.Open()) {
    try {
      port.RemoveWatch(Handle(side));
    } catch (const ESerialException&) {
    }
  }
  port.SetOpen(false);
}

void ProgramPorts::DropBoth() {
  a_.SetOpen(false);
  b_.SetOpen(false);
}

void ProgramPorts::ArmSyncWatch(PortSide side) {
  TSerialPort& port = Port(side);
  if (!port.Open()) return;
  try {
    port.ArmModemWatch(Handle(side), kSyncMask, true);
  } catch (const ESerialException&) {
  }
}

ProgramPorts::CtsState ProgramPorts::ReadCts(PortSide side) {
  CtsState state;
  state.changed = Port(side).DeltaCTS();
  state.on = Port(side).CTS();
  return state;
}

bool ProgramPorts::ToggleDTR(PortSide side) {
  TSerialPort& port = Port(side);
  port.SetDTR(!port.DTR());
  return DTRLamp(side);
}

bool ProgramPorts::ToggleRTS(PortSide side) {
  TSerialPort& port = Port(side);
  port.SetRTS(!port.RTS());
  return RTSLamp(side);
}

LineLamps ProgramPorts::ReadLineLamps() {
  LineLamps lamps;
  lamps.dsrA = a_.DSR();
  lamps.dcdA = a_.DCD();
  lamps.riA = a_.RI();
  lamps.dsrB = b_.DSR();
  lamps.dcdB = b_.DCD();
  lamps.riB = b_.RI();
  return lamps;
}
