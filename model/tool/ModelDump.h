// The shared model as readable text: the system part and a table of machines.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// "Block: /SharedZMModel  owner uid 1000 (ann)  mode 0600": which block, and who may use it.
void PrintBlock(std::FILE* out);
void PrintSystemPart(std::FILE* out);
void PrintMachineHeader(std::FILE* out);
void PrintMachine(std::FILE* out, int8_t m);

// The values a change code stands for, as the model holds them now: "tally 3  status 00 81 00 00
// position 01:00:00:00" for a machine's flag 1, "master 2" for the system's master ... "-" for a
// flag that stands for no single value (track map, logical tracks, flags 5..7).
std::string ChangeValueText(uint8_t code);
