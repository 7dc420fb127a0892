// TSelkieF's rack: File > "Open Rack..." and the rack view it opens, mirrored from the snapshot.
#include "RackFile.h"
#include "mselkietestu.h"

// The file is read here, so a bad entry is an error box and the rack running keeps running.
void TSelkieF::OpenRack1Click() {
  const QString path = Desktop.chooseRack();
  if (path.isEmpty()) return;
  try {
    Post([rack = ReadRackFile(path.toStdString())](HostCore& host) { host.OpenRack(rack); });
  } catch (const RackError& e) {
    Desktop.showError(QString::fromStdString(e.what()));
  }
}

void TSelkieF::MirrorRack(const std::vector<RackRow>& rows) {
  if (rows.empty() && !rackView_) return;
  if (!rackView_) {
    rackView_ = new RackView(
        [this](std::size_t row, std::function<void(VirtualMachine&)> call) {
          Post([row, call = std::move(call)](HostCore& host) { host.RackVm(row, call); });
        },
        [this](const QString& title) { return VmGoto(title); },
        [this](std::size_t row, const QString& initial) {
          const std::optional<QString> text = Desktop.enterId(initial);
          Post([row, entry = text ? std::optional<std::string>(text->toStdString()) : std::nullopt](
                   HostCore& host) { host.RackEnterId(row, entry); });
        },
        this);
    rackView_->show();
  }
  rackView_->Mirror(rows);
}
