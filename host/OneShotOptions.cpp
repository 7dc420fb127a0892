#include "OneShotOptions.h"

#include <string>
#include <utility>
#include <vector>

#include "CensusReport.h"

bool OneShotGiven(const ProgramOptions& o) {
  return o.census || o.censusEditor || o.send || o.probePorts || o.seconds || o.transport ||
         o.report || o.expect;
}

void CheckOneShot(const ProgramOptions& o) {
  const int modes = o.census + o.censusEditor + o.send.has_value() + o.probePorts;
  if (modes > 1)
    throw OptionsError("--census, --census-editor, --send and --probe-ports each run on their own");
  if (modes == 0) {
    if (o.expect) throw OptionsError("--expect is an option of --send");
    throw OptionsError(
        "--seconds, --transport and --report are options of --census and "
        "--census-editor");
  }
  const char* mode = o.census         ? "--census"
                     : o.censusEditor ? "--census-editor"
                     : o.send         ? "--send"
                                      : "--probe-ports";
  RefuseOptions(mode, {{"--headless", o.headless},
                       {"--demo", o.demo},
                       {"--replay", o.replay.has_value()},
                       {"--list-ports", o.listPorts},
                       {"--tick", o.tickMs.has_value()},
                       {"--log", o.log},
                       {"--settings", o.settings.has_value()},
                       {"--capture", o.capture.has_value()},
                       {"--bridge", o.bridge},
                       {"--exact", o.exact},
                       {"--learn", o.learn.has_value()},
                       {"-o", o.output.has_value()}});
  if (o.report && !ReportFormatOf(*o.report))
    throw OptionsError("--report needs a file ending in .json, .md or .html, not \"" + *o.report +
                       "\"");
  if (o.census) {
    if (!o.portB) throw OptionsError("--census needs --port-b <port>: the machine to examine");
    RefuseOptions(mode, {{"--port-a", o.portA.has_value()},
                         {"--machine", o.machine.has_value()},
                         {"--standard", o.standard.has_value()},
                         {"--expect", o.expect.has_value()},
                         {"--personality", o.personality.has_value()}});
  } else if (o.censusEditor) {
    if (!o.portA || !o.seconds)
      throw OptionsError("--census-editor needs --port-a <port> (the editor) and --seconds <s>");
    RefuseOptions(mode, {{"--port-b", o.portB.has_value()},
                         {"--transport", o.transport},
                         {"--expect", o.expect.has_value()}});
  } else if (o.send) {
    if (!o.portB) throw OptionsError("--send needs --port-b <port>: the machine to send to");
    RefuseOptions(mode, {{"--port-a", o.portA.has_value()},
                         {"--machine", o.machine.has_value()},
                         {"--standard", o.standard.has_value()},
                         {"--seconds", o.seconds.has_value()},
                         {"--transport", o.transport},
                         {"--report", o.report.has_value()},
                         {"--personality", o.personality.has_value()}});
  } else {
    RefuseOptions(mode, {{"--port-a", o.portA.has_value()},
                         {"--port-b", o.portB.has_value()},
                         {"--machine", o.machine.has_value()},
                         {"--standard", o.standard.has_value()},
                         {"--seconds", o.seconds.has_value()},
                         {"--transport", o.transport},
                         {"--report", o.report.has_value()},
                         {"--expect", o.expect.has_value()},
                         {"--personality", o.personality.has_value()}});
  }
}
