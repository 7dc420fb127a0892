#include "SerialPort.h"

#include <cctype>

#include "PortMap.h"
#include "PortReactor.h"
#include "SerialDevice.h"
#include "SerialErrors.h"
#include "SerialTriggers.h"

namespace {
constexpr int kMaxComNumber = 65535;
constexpr int kMaxQueueSize = 65535;
}  // namespace

TSerialPort::TSerialPort(std::shared_ptr<OwnerLoop> loop)
    : loop_(std::move(loop)), triggers_(std::make_shared<SerialTriggers>()) {}

TSerialPort::~TSerialPort() {
  try {
    ClosePort();
  } catch (...) {
    // Closing releases what it can; nothing may escape a destructor.
  }
}

std::string TSerialPort::DisplayName() const { return PortMap::PortName(comNumber_); }

// --- properties ---

void TSerialPort::SetComNumber(int number) {
  if (number < 0 || number > kMaxComNumber) throw EBadArgument();
  const bool reopen = state_ == psOpen;
  ClosePort();
  comNumber_ = number;
  if (reopen) OpenPort();
}

void TSerialPort::SetBaud(int32_t baud) {
  if (!SerialBaudSupported(baud)) throw EBadArgument();
  baud_ = baud;
  ApplyLineSettings();
}

void TSerialPort::SetParity(TParity parity) {
  if (parity < pNone || parity > pSpace) throw EBadArgument();
  parity_ = parity;
  ApplyLineSettings();
}

void TSerialPort::SetDataBits(int bits) {
  if (bits < 5 || bits > 8) throw EBadArgument();
  dataBits_ = bits;
  ApplyLineSettings();
}

void TSerialPort::SetStopBits(int bits) {
  if (bits != 1 && bits != 2) throw EBadArgument();
  stopBits_ = bits;
  ApplyLineSettings();
}

void TSerialPort::SetInSize(int bytes) {
  if (bytes < 1 || bytes > kMaxQueueSize) throw EBadArgument();
  inSize_ = bytes;
}

void TSerialPort::SetOutSize(int bytes) {
  if (bytes < 1 || bytes > kMaxQueueSize) throw EBadArgument();
  outSize_ = bytes;
}

void TSerialPort::SetHWFlowOptions(uint8_t options) {
  hwFlow_ = options & (hwfUseDTR | hwfUseRTS | hwfRequireDSR | hwfRequireCTS);
  ApplyLineSettings();
}

void TSerialPort::SetSWFlowOptions(TSWFlowOptions options) {
  if (options < swfNone || options > swfBoth) throw EBadArgument();
  swFlow_ = options;
  ApplyLineSettings();
}

void TSerialPort::SetXOnChar(uint8_t c) {
  xOn_ = c;
  ApplyLineSettings();
}

void TSerialPort::SetXOffChar(uint8_t c) {
  xOff_ = c;
  ApplyLineSettings();
}

void TSerialPort::ApplyLineSettings() {
  if (state_ != psOpen) return;
  dispatch_->Configure({baud_, parity_, dataBits_, stopBits_, hwFlow_, swFlow_, xOn_, xOff_});
}

// --- opening and closing ---

void TSerialPort::SetOpen(bool open) {
  if (open) {
    OpenPort();
  } else {
    ClosePort();
  }
}

int TSerialPort::ChooseNumber() {
  if (!promptForPort_ || !prompt_) throw ENoPortSelected();
  const int answer = prompt_(SerialSelect::ListPorts());
  if (answer == kPromptNoEntry) throw ENoPortAvailable();
  if (answer <= 0 || answer > kMaxComNumber) throw ENoPortSelected();
  comNumber_ = answer;
  return answer;
}

void TSerialPort::OpenPort() {
  // A port shutting down has already let its device go (only the event that closed it is still
  // running), so it may be opened again, e.g. on a new ComNumber.
  if (state_ == psOpen) return;
  const int number = comNumber_ != 0 ? comNumber_ : ChooseNumber();
  const PortTarget target = PortMap::Resolve(number);
  auto engine =
      std::make_shared<PortReactor>(OpenSerialDevice(target), loop_, triggers_,
                                    static_cast<std::size_t>(outSize_), PortMap::PortLabel(number));
  const std::vector<std::string> dropped =
      engine->Configure({baud_, parity_, dataBits_, stopBits_, hwFlow_, swFlow_, xOn_, xOff_});
  // A lamp shows what the driver accepted: an output it would not switch is not known to be on.
  if (!(hwFlow_ & hwfUseDTR) && !engine->SetDTR(dtr_)) dtr_ = false;
  if (!(hwFlow_ & hwfUseRTS) && !engine->SetRTS(rts_)) rts_ = false;
  engine->Start({[this](uint16_t count) { DeliverData(count); },
                 [this](uint16_t handle) { DeliverModemTrigger(handle); },
                 [this](const std::string& message) { DeliverDeviceLost(message); },
                 [this] { DeliverPeerHangUp(); },
                 [this](const std::vector<std::string>& notes) { ReportNotes(notes); }});
  dispatch_ = std::move(engine);
  state_ = psOpen;
  ReportNotes(dropped);
  ReportNotes(dispatch_->TakeNotes());
}

void TSerialPort::ClosePort() {
  if (state_ != psOpen) return;
  state_ = psShuttingDown;
  std::shared_ptr<PortReactor> engine = std::move(dispatch_);
  engine->Stop();
  ReportNotes(engine->TakeNotes());
  // Closed from inside one of its events: the close completes when that event returns.
  if (eventDepth_ == 0) state_ = psClosed;
}

void TSerialPort::EventReturned() {
  --eventDepth_;
  if (eventDepth_ == 0 && state_ == psShuttingDown) state_ = psClosed;
}

bool TSerialPort::UsablePort() {
  if (state_ == psShuttingDown) return false;
  if (state_ == psClosed) {
    if (!autoOpen_) throw ECommNotOpen();
    OpenPort();
  }
  return true;
}

// --- data ---

void TSerialPort::WriteString(const std::vector<uint8_t>& bytes) {
  if (!UsablePort() || bytes.empty()) return;
  if (!dispatch_->Write(bytes.data(), bytes.size())) throw EOutputBufferTooSmall();
}

void TSerialPort::WriteString(std::string_view bytes) {
  WriteString(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

uint8_t TSerialPort::ReadByte() {
  if (!UsablePort()) return 0;
  uint8_t byte = 0;
  if (inDataEvent_) {
    if (!dispatch_->Input().Peek(static_cast<std::size_t>(eventReads_), byte)) {
      throw EInputBufferEmpty();
    }
    ++eventReads_;
    return byte;
  }
  if (!dispatch_->Input().Peek(0, byte)) throw EInputBufferEmpty();
  dispatch_->Consumed(1);
  return byte;
}

void TSerialPort::DiscardInput() {
  if (!UsablePort()) return;
  dispatch_->DiscardInput();
  eventReads_ = 0;
}

// --- modem lines ---

void TSerialPort::SetDTR(bool on) {
  if (state_ != psOpen || (hwFlow_ & hwfUseDTR)) {
    dtr_ = on;
  } else if (dispatch_->SetDTR(on)) {
    dtr_ = on;
  } else {
    ReportNotes(dispatch_->TakeNotes());
  }
}

void TSerialPort::SetRTS(bool on) {
  if (state_ != psOpen || (hwFlow_ & hwfUseRTS)) {
    rts_ = on;
  } else if (dispatch_->SetRTS(on)) {
    rts_ = on;
  } else {
    ReportNotes(dispatch_->TakeNotes());
  }
}

bool TSerialPort::ReadLine(uint8_t bit, uint8_t changeBit) {
  if (state_ != psOpen) return false;
  dispatch_->RefreshLines();  // a vanished device is the engine's to report
  return dispatch_->Status().Take(bit, changeBit);
}

bool TSerialPort::CTS() { return ReadLine(kModemCTS, kModemDeltaCTS); }
bool TSerialPort::DSR() { return ReadLine(kModemDSR, kModemDeltaDSR); }
bool TSerialPort::RI() { return ReadLine(kModemRI, kModemTrailingRI); }
bool TSerialPort::DCD() { return ReadLine(kModemDCD, kModemDeltaDCD); }
bool TSerialPort::DeltaCTS() { return ReadLine(kModemDeltaCTS, kModemDeltaCTS); }

uint8_t TSerialPort::ModemStatus() const {
  if (state_ != psOpen) return 0;
  dispatch_->RefreshLines();
  return dispatch_->Status().Value();
}

uint64_t TSerialPort::DroppedBytes() const {
  return state_ == psOpen ? dispatch_->DroppedBytes() : 0;
}

// --- triggers ---

uint16_t TSerialPort::AddModemWatch(int type) {
  if (!UsablePort()) return 0;
  return triggers_->Add(type);
}

void TSerialPort::ArmModemWatch(uint16_t handle, uint8_t mask, bool activate) {
  if (!UsablePort()) return;
  dispatch_->RefreshLines();
  triggers_->Arm(handle, mask, activate, dispatch_->Status());
}

void TSerialPort::RemoveWatch(uint16_t handle) {
  if (state_ != psOpen) return;
  triggers_->Remove(handle);
}

// --- events (owner thread, raised by the engine from inside the loop) ---

void TSerialPort::DeliverData(uint16_t count) {
  const std::shared_ptr<PortReactor> engine = dispatch_;
  ++eventDepth_;
  inDataEvent_ = true;
  eventReads_ = 0;
  try {
    if (OnTriggerAvail) OnTriggerAvail(*this, count);
  } catch (const std::exception& e) {
    ReportHandlerError(e.what());
  } catch (...) {
    ReportHandlerError("Unknown error in a serial data event");
  }
  inDataEvent_ = false;
  // A handler that closed (or reopened) the port consumed nothing of the new opening.
  if (engine && engine == dispatch_) engine->Consumed(static_cast<std::size_t>(eventReads_));
  eventReads_ = 0;
  EventReturned();
}

void TSerialPort::DeliverModemTrigger(uint16_t handle) {
  ++eventDepth_;
  try {
    if (OnTriggerModemStatus) OnTriggerModemStatus(*this, handle);
  } catch (const std::exception& e) {
    ReportHandlerError(e.what());
  } catch (...) {
    ReportHandlerError("Unknown error in a serial modem event");
  }
  EventReturned();
}

void TSerialPort::DeliverPeerHangUp() {
  ++peerHangUps_;
  dispatch_->Input().DiscardMarked();
  ++eventDepth_;
  try {
    if (OnPeerHangUp) OnPeerHangUp(*this);
  } catch (const std::exception& e) {
    ReportHandlerError(e.what());
  } catch (...) {
    ReportHandlerError("Unknown error in a serial hang-up event");
  }
  EventReturned();
}

void TSerialPort::DeliverDeviceLost(const std::string& message) {
  ClosePort();
  try {
    if (OnError) OnError(*this, message);
  } catch (...) {
    // The report is the last word on this port; a failing handler has nothing left to tell.
  }
}

void TSerialPort::ReportHandlerError(const char* what) {
  try {
    if (OnError) OnError(*this, NamingThisPort(what));
  } catch (...) {
    // Never let a handler's failure unwind into the loop.
  }
}

void TSerialPort::ReportNotes(const std::vector<std::string>& notes) {
  for (const std::string& note : notes) {
    try {
      if (OnDiagnostic) OnDiagnostic(*this, NamingThisPort(note));
    } catch (...) {
      // A note is never worth failing the operation that raised it.
    }
  }
}

// Every message of the port names it once: a text that does not yet is prefixed "COM<n>: ".
std::string TSerialPort::NamingThisPort(const std::string& text) const {
  const std::string name = DisplayName();
  for (auto at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
    const std::size_t end = at + name.size();
    const bool wholeNumber =
        end == text.size() || !std::isdigit(static_cast<unsigned char>(text[end]));
    if (wholeNumber) return text;
  }
  return name + ": " + text;
}
