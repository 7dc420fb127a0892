// The network forms of a port target: tcp:, tcp-listen:, rfc2217:// and rfc2217-listen:.
#pragma once

#include <string>

#include "PortMap.h"

// Whether `text` begins with a network prefix.
bool IsNetworkTarget(const std::string& text);
// Fills `target` and returns "" for a good form; returns why the form is bad, leaving `target`
// Kind::None.
std::string ParseNetworkTarget(const std::string& text, PortTarget& target);

// "tcp:HOST:PORT" and the rest, a host holding colons in brackets.
std::string DescribeNetworkTarget(const PortTarget& target);
