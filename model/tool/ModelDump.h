// The shared model as readable text: the system part and a table of machines.
#pragma once

#include <cstdint>
#include <cstdio>

void PrintSystemPart(std::FILE* out);
void PrintMachineHeader(std::FILE* out);
void PrintMachine(std::FILE* out, int8_t m);
