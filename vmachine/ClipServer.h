// Two-channel clip server that the virtual machine plays when it poses as a clip-server identity:
// a clip list, an LSM ID label and IN/OUT labels per clip machine (1 and 2), and the requests of
// an editor that read and change them. It only fills reply messages; it never sends.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sonyname.h"

class ClipServer {
 public:
  ClipServer();

  // --- State, for display -------------------------------------------------------------------
  // Index 0 is clip machine 1 (dd35clips1, lsmid1, dd35in1, dd35out1), index 1 machine 2
  // (dd35clips2, LSMID2, dd35in2, dd35out2).
  const std::vector<std::string>& List(int machine) const { return lists_[Slot(machine)]; }
  const std::string& LsmIdLabel(int machine) const { return lsmId_[Slot(machine)]; }
  const std::string& InLabel(int machine) const { return inText_[Slot(machine)]; }
  const std::string& OutLabel(int machine) const { return outText_[Slot(machine)]; }
  int CurrentMachine() const { return current_; }  // 0 until a name selects 1 or 2
  const std::string& CurrentName() const { return currentName_; }
  const std::string& LoadId() const { return loadId_; }  // the LSM ID to load
  int ReadingIndex() const { return readIndex_; }

  // --- Requests (the message is the editor's, the reply is written into tx) ------------------
  void LsmIdReply(SonyMessage& tx) const;             // 6x 81 -> 77 81 + 7 chars
  void FirstClipReply(SonyMessage& tx);               // 6x 82
  void NextClipReply(uint8_t cmd2, SonyMessage& tx);  // 6x 83 (0x82), 6x 86/87 (0x86)
  // 6x A0 / 6x A1: a message with data sets the label from its time bytes, one without takes
  // positionText (the panel's position label).
  void SetClipIn(const SonyMessage& rx, const std::string& positionText);
  void SetClipOut(const SonyMessage& rx, const std::string& positionText);
  void AddClip(const SonyMessage& rx);     // 6x A2
  void LoadLsmId();                        // 6x A5
  void SelectClip(const SonyMessage& rx);  // 2x 82

  // --- Panel actions ---------------------------------------------------------------------------
  // The start of a session: the LSM ID to load becomes "CamA/00".
  void ResetLoadId();
  // A click on item index of machine's list (1 or 2); an index outside the list does nothing.
  void ListClick(int machine, int index);

  // The clip time text of DATA-4..DATA-1: "23:59:59:24" for the data 24 59 59 23.
  static std::string ClipTimeText(const SonyMessage& rx);

  bool operator==(const ClipServer&) const = default;

 private:
  static std::size_t Slot(int machine) { return machine == 2 ? 1 : 0; }
  bool HasCurrent() const { return current_ == 1 || current_ == 2; }
  // Builds the clip name of the message, makes it current and searches its machine's list.
  bool LookUp(const SonyMessage& rx);

  std::array<std::vector<std::string>, 2> lists_;
  std::array<std::string, 2> lsmId_;
  std::array<std::string, 2> inText_;
  std::array<std::string, 2> outText_;
  int current_ = 0;
  std::string currentName_;
  std::string loadId_;
  int readIndex_ = 0;
};
