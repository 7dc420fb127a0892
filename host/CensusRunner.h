// `selkietest --census --port-b PORT [--seconds S] [--transport] [--report FILE]` and
// `selkietest --census-editor --port-a PORT --seconds S [--personality P] [--report FILE]`.
//
// The machine census drives the Census engine on the calling thread: it writes each request the
// engine makes due, and reads with ppoll() until the engine's next wake-up, stamping every read
// with the monotonic clock. The editor census runs a virtual machine on port A for S seconds:
// each read is answered as the window's port A answers it, the engine's frame tick runs every
// 40 ms, the personality (if given) shapes the replies on the loop's clock, and EditorCensus
// watches both directions.
//
// With --report the report goes to FILE in the format of its extension and the verdict's first
// line to standard output; without it the short verdict. Exit status 0 when the machine (or the
// editor) conforms, 1 when not, 2 when the run cannot start or the report cannot be written.
#pragma once

#include "Census.h"
#include "EditorCensus.h"
#include "ProgramOptions.h"

class LineExchange;
class ReplyShaper;
class VirtualMachine;

// The census of the machine on `line`, to its end.
CensusResult RunCensusOn(LineExchange& line, const Census::Settings& settings);

// `vm`, its replies shaped by `shaper` (attached to it), answers the editor on `line` for
// `duration` while the census watches.
EditorCensusResult RunEditorCensusOn(LineExchange& line, VirtualMachine& vm, ReplyShaper& shaper,
                                     Micros duration);

int RunCensus(const ProgramOptions& options);
int RunEditorCensus(const ProgramOptions& options);
