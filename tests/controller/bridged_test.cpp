// The controller engine drives the virtual machine engine through the bridge engine: the panel
// shows what it shows without the bridge, every exchange is timed, and the capture lines the
// bridge produced read back as the same exchanges.
#include <gtest/gtest.h>

#include <sstream>

#include "BackToBack.h"
#include "ReplayScript.h"
#include "SonyBridge.h"

namespace {

struct Bridged {
  MachineController controller;
  VirtualMachine vm;
  SonyBridge bridge{Micros(0)};
  std::vector<std::string> capture;
  Micros now{0};

  Bridged() {
    vm.RestoreSettings(VmSettings{0, 0, 0, false});
    vm.FormShow();
  }

  void Keep(const BridgeOutput& out) { capture.insert(capture.end(), out.captureLines.begin(), out.captureLines.end()); }

  // One frame tick, 40 ms; the machine answers 1 ms after a request.
  void Tick() {
    for (const Bytes& write : controller.FrameTick(true)) {
      const BridgeOutput toMachine = bridge.FromEditor(write, now);
      Keep(toMachine);
      const Bytes reply = vm.DataAvailable(toMachine.toMachine, VmEventContext{}).ReplyBytes();
      const BridgeOutput toEditor = bridge.FromMachine(reply, now + Micros(1000));
      Keep(toEditor);
      if (!toEditor.toEditor.empty()) controller.SerialBTriggerAvail(toEditor.toEditor);
    }
    vm.FrameTick();
    now += Micros(40000);
  }
};

std::string PanelText(const MachineControlPanel& p) {
  std::string text = p.name + "|" + p.bpoz + "|";
  for (const PanelLamp* lamp : {&p.kstop, &p.kplay, &p.krwd, &p.kfwd, &p.krvsplay, &p.kedit, &p.koff,
                                &p.kremote, &p.kgoto, &p.kcued, &p.kstill})
    text += lamp->Lit ? "1" : "0";
  return text;
}

TEST(Bridged, TheControllerSeesTheMachineAsWithoutTheBridge) {
  Bridged bridged;
  BackToBack direct;
  for (int tick = 0; tick < 60; ++tick) {
    if (tick == 10) {
      bridged.controller.kplayClick(1);
      direct.controller.kplayClick(1);
    }
    bridged.Tick();
    direct.Tick();
    ASSERT_EQ(PanelText(bridged.controller.Panel()), PanelText(direct.controller.Panel())) << "tick " << tick;
  }
  EXPECT_EQ(bridged.controller.Panel().name, "DA-88 PAL");
  EXPECT_TRUE(bridged.controller.Panel().kplay.Lit);

  // Every request of the 60 ticks was answered and timed.
  ASSERT_EQ(bridged.bridge.Exchanges().size(), 60u);
  for (const BridgeExchange& e : bridged.bridge.Exchanges()) EXPECT_EQ(e.machineReplyTime, Micros(1000));

  std::stringstream file;
  file << kCaptureVersionLine << "\n";
  for (const std::string& line : bridged.capture) file << line << "\n";
  const std::vector<ReplayExchange> exchanges = ReplayExchanges(CaptureReader::Read(file));
  ASSERT_EQ(exchanges.size(), 60u);
  EXPECT_EQ(exchanges[0].request, (Bytes{0x61, 0x0C, 0x01, 0x6E}));
  for (const ReplayExchange& e : exchanges) EXPECT_TRUE(e.reply.has_value());
}

}  // namespace
