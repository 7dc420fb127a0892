// What the controller's panel makes of a reply from the machine on port B (the message in
// port.Rx): device name and version text (1x), time code, status lamps and edit preset (7x).
#pragma once

#include "MachineControlPanel.h"
#include "sonyname.h"

namespace controller_replies {

// 1x 11: the name of the device type. 1x B3: "<name> V: d1 d2" into the status bar text.
// Other 1x replies, and replies too short to carry their data, are ignored.
void ShowControllerIdent(SonyPort& port, MachineControlPanel& panel);

// 7x 00/01/04/06/14 (time data): bpoz. 7x 20: status lamps, only when a status byte changed.
// 7x 30: edit preset bytes, relighting the track keys when any changed. Others are ignored.
void ShowControllerReply(SonyPort& port, MachineControlPanel& panel);

}  // namespace controller_replies
