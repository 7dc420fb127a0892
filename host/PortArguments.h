// Ports named on the command line: "COMn", a device path or "pty:<path>".
#pragma once

#include <string>

constexpr int kMaxPortNumber = 65535;
// The COM numbers a device path or pty: port given for port A or B is known by inside the program
// (messages still name it as the user wrote it).
constexpr int kSparePortA = 60001;
constexpr int kSparePortB = 60002;

// The COM number `text` stands for: "COMn" is n; a device path or "pty:<path>" is assigned to
// `spareNumber` in the port map. Throws OptionsError for a text that names no port.
int ResolvePortArgument(const std::string& text, int spareNumber);
