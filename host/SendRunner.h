// `selkietest --send "20 01" --port-b PORT [--expect "10 01"]`: frames one message (adds its
// checksum), writes it to the machine, prints the reply decoded and its time. Exit status: with
// --expect 0 when the reply matches (with or without its checksum written), 1 when not; without
// it 0 when a reply came, 1 when none did; 2 for a message or port that cannot be used.
#pragma once

#include <string>
#include <vector>

#include "ProgramOptions.h"

// The bytes of a message written as hexadecimal pairs ("20 01", "2001", "0x20,0x01"). Throws
// OptionsError naming `option` for anything else, or for more than 18 bytes.
std::vector<uint8_t> ParseHexMessage(const std::string& text, const std::string& option);

// The message to send: `body` (CMD-1, CMD-2, data) checked against the count CMD-1 announces,
// with its checksum appended. Throws OptionsError when they disagree.
std::vector<uint8_t> FramedSend(const std::vector<uint8_t>& body);

int RunSend(const ProgramOptions& options);
