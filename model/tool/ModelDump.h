// The shared model as readable text: the system part and a table of machines.
#pragma once

#include <cstdint>
#include <cstdio>

// "Block: /SharedZMModel  owner uid 1000 (ann)  mode 0600": which block, and who may use it.
void PrintBlock(std::FILE* out);
void PrintSystemPart(std::FILE* out);
void PrintMachineHeader(std::FILE* out);
void PrintMachine(std::FILE* out, int8_t m);
