// EngineHost's side of the virtual machine's personality: choosing one, and the replies it
// holds back, written when the loop's timer says they are due (PortAShaping.h).
#include "EngineHost.h"
#include "PersonalityFile.h"
#include "SerialErrors.h"

void EngineHost::SetPersonality(const Personality& personality) {
  // The capture already names it when it began with it.
  if (!(personality == shapingA_.Current())) traffic_.Note("personality " + personality.name);
  shapingA_.Use(personality);
  if (traffic_.Decoding() || config_.decodedLines) {
    std::lock_guard lock(outMutex_);
    out_.decodedLines.push_back("personality " + DescribePersonality(personality));
  }
  Publish();
}

void EngineHost::WriteShapedA(const Bytes& bytes) {
  if (!serialA_.Open()) return;
  try {
    serialA_.WriteString(bytes);
    traffic_.Sent('A', bytes, Now());
  } catch (const ESerialException& e) {
    ReportPortError(PortSide::A, e);
    Publish();
  }
}

// A reply planned for an editor that has gone is not sent to the next one; a new editor's
// session counts its requests from the start.
void EngineHost::NotePortAShaping(bool wasOpen) {
  if (portAOpened_ == wasOpen) return;
  if (portAOpened_) {
    shapingA_.PortOpened();
  } else {
    shapingA_.PortClosed();
  }
}
