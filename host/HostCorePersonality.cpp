// HostCore's side of the virtual machine's personality: choosing one, and the replies it holds
// back, written when the loop's timer says they are due (PortAShaping.h).
#include "HostCore.h"
#include "PersonalityFile.h"
#include "SerialErrors.h"

void HostCore::SetPersonality(const Personality& personality) {
  // The capture already names it when it began with it.
  if (!(personality == shapingA_.Current())) traffic_.Note("personality " + personality.name);
  shapingA_.Use(personality);
  if (traffic_.Decoding() || config_.decodedLines) {
    Note("personality " + DescribePersonality(personality), &HostOutput::decodedLines);
  }
  Publish();
}

// Once the machine has its start-up identity: a personality's identity goes over it.
void HostCore::ApplyStartPersonality() {
  if (config_.personality) SetPersonality(*config_.personality);
}

void HostCore::WriteShapedA(const Bytes& bytes) {
  if (!serialA_.Open()) return;
  try {
    serialA_.WriteString(bytes);
    traffic_.Sent('A', bytes, Now());
  } catch (const ESerialException& e) {
    ReportPortError(PortSide::A, e);
  }
}

// A reply planned for an editor that has gone is not sent to the next one; a new editor's
// session counts its requests from the start.
void HostCore::NotePortAShaping(bool wasOpen) {
  if (portAOpened_ == wasOpen) return;
  if (portAOpened_) {
    shapingA_.PortOpened();
  } else {
    shapingA_.PortClosed();
  }
}
