// Personality files: a machine personality (Personality.h) as TOML.
//
//   name = "slow-deck"
//   [identity]  machine = 5, standard = 1, device_type = "20 25"
//   [timing]    reply_delay_ms, reply_jitter_ms, seed, byte_time_us, receive_timeout_ms
//   [errors]    nak_checksum, nak_timeout, nak_undefined
//   [commands]  accept, ignore, silent (lists of "CMD-1 CMD-2" such as "2x *"), nak ("20 10 = 80")
//   [status]    bytes, local, and the named bits (tape_out, servo_lock, ...) as true/false
//   [faults]    drop_every, bad_checksum_every, late_every, late_ms, split_every, split_gap_ms,
//               swallow_first, garbage_every
//
// Every key is optional; a missing key keeps the plain machine's behaviour. Times in
// milliseconds may have up to three decimals. A key the format does not know, a value of the
// wrong type or out of range, and a TOML syntax error are refused with a PersonalityError whose
// text names the file, the line and the key: "deck.toml:7: timing.reply_delay_ms: ...".
// A file written by WritePersonality reads back equal.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Personality.h"

class PersonalityError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a personality from TOML text; `source` names it in error messages.
Personality ParsePersonality(std::string_view text, const std::string& source);
// Reads a personality file.
Personality ReadPersonalityFile(const std::string& path);
// A built-in name, else a file path.
Personality LoadPersonality(const std::string& nameOrPath);

// The personality as TOML: only what differs from the default, and the name. `comments` go
// first, each as a "# " line.
std::string WritePersonality(const Personality& personality,
                             const std::vector<std::string>& comments = {});

// One line naming the personality and what it changes, for logs: "broadcast-vtr (delay 2 ms ...)".
std::string DescribePersonality(const Personality& personality);
