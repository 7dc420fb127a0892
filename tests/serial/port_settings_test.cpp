// Line settings as the tty sees them after opening, and the diagnostic for a dropped parity.
#include <termios.h>

#include "SerialTestSupport.h"

using namespace serial_test;

namespace {

struct Opened {
  PtyPair pty;
  ComOverride map{201, pty.Path()};
  OwnedPort owned;
  std::vector<std::string> notes;

  Opened(TParity parity, int stopBits) {
    owned.port.SetComNumber(201);
    owned.port.SetBaud(38400);
    owned.port.SetParity(parity);
    owned.port.SetStopBits(stopBits);
    owned.port.OnDiagnostic = [this](TSerialPort&, const std::string& text) {
      notes.push_back(text);
    };
    owned.port.SetOpen(true);
  }
  termios Settings() const {
    termios tio{};
    EXPECT_EQ(tcgetattr(pty.Master(), &tio), 0);
    return tio;
  }
};

}  // namespace

TEST(PortSettings, OpenSetsBaudEightBitsOneStopRawAndNoFlowControl) {
  Opened opened(pNone, 1);
  ASSERT_TRUE(opened.owned.port.Open());
  const termios tio = opened.Settings();
  EXPECT_EQ(cfgetospeed(&tio), B38400);
  EXPECT_EQ(cfgetispeed(&tio), B38400);
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (CSTOPB | PARENB | CRTSCTS), 0u);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INPCK | ISTRIP), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
  EXPECT_TRUE(opened.notes.empty());
}

TEST(PortSettings, TwoStopBitsAndBaudChangeWhileOpenReachTheTty) {
  Opened opened(pNone, 2);
  EXPECT_NE(opened.Settings().c_cflag & CSTOPB, 0u);
  opened.owned.port.SetBaud(9600);
  const termios tio = opened.Settings();
  EXPECT_EQ(cfgetospeed(&tio), B9600);
}

TEST(PortSettings, PseudoTerminalDropsParityOpenSucceedsAndSaysSoOnce) {
  Opened opened(pOdd, 1);
  ASSERT_TRUE(opened.owned.port.Open());
  ASSERT_EQ(opened.notes.size(), 1u);
  EXPECT_EQ(opened.notes[0], "COM201: parity odd was not applied");
  // Reading the lines or writing does not repeat the note.
  opened.owned.port.WriteString(std::string("x"));
  EXPECT_EQ(ReadBytes(opened.pty.Master(), 1), std::vector<uint8_t>{'x'});
  EXPECT_EQ(opened.notes.size(), 1u);
}

TEST(PortSettings, BadSettingsAreRefusedAndLeaveTheOldValue) {
  OwnedPort owned;
  EXPECT_THROW(owned.port.SetBaud(12345), EBadArgument);
  EXPECT_THROW(owned.port.SetDataBits(9), EBadArgument);
  EXPECT_THROW(owned.port.SetStopBits(3), EBadArgument);
  EXPECT_THROW(owned.port.SetOutSize(0), EBadArgument);
  EXPECT_EQ(owned.port.Baud(), 19200);
  EXPECT_EQ(owned.port.DataBits(), 8);
  EXPECT_EQ(owned.port.StopBits(), 1);
  EXPECT_EQ(owned.port.OutSize(), 4096);
}
