// The rules for the one-shot runs of the command line that talk to one port and end: --census,
// --census-editor, --send and --probe-ports.
#pragma once

#include "ProgramOptions.h"

// Whether one of the one-shot runs, or an option only they take, was given.
bool OneShotGiven(const ProgramOptions& o);

// Throws OptionsError when the options of a one-shot run do not fit together.
void CheckOneShot(const ProgramOptions& o);
