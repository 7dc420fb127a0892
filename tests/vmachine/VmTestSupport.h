// Drives a virtual machine with framed messages, as an editor on port A would.
#pragma once

#include <initializer_list>
#include <vector>

#include "SonyBytes.h"
#include "VirtualMachine.h"

// A virtual machine as the window leaves it after start-up (identity and standard applied).
VirtualMachine StartedMachine(int machineType = 0, uint8_t standard = 0);

// Sends one framed message in one data event and returns the reply bytes.
Bytes Send(VirtualMachine& vm, std::initializer_list<uint8_t> body);

// The reply a message body gets, framed: Reply({0x10, 0x01}) is 10 01 11.
inline Bytes Reply(std::initializer_list<uint8_t> body) { return Framed(body); }

inline const Bytes kAck = Framed({0x10, 0x01});

// Runs n frame ticks.
void Ticks(VirtualMachine& vm, int n);
