// The settings record through a whole run: a fuzzed file is loaded, restored into the virtual
// machine, fuzzed requests run on port A, the machine's fields are saved over the record and the
// file is loaded again. Requests never change a saved setting; every field the machine does not
// own, the reserved bytes included, comes back as it was read; and a second round changes
// nothing more.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "FuzzFrames.h"
#include "SettingsFile.h"
#include "VirtualMachine.h"

namespace {

const std::filesystem::path& FilePath() {
  static const std::filesystem::path path =
      "/tmp/selkie-fuzz-settings-" + std::to_string(::getpid()) + ".ini";
  return path;
}

// Load, restore, run the requests, save; returns the record as saved.
SettingsRecord Round(FuzzedDataProvider& input) {
  const SettingsFile file(FilePath());
  SettingsRecord record;
  file.Load(record);
  VirtualMachine vm;
  vm.RestoreSettings(
      {record.Standard, record.MachineType, record.UnitTracksByte, record.ExtendedIdReply != 0});
  vm.FormShow();
  const VmSettings shown = vm.Settings();
  for (int i = 0; i < 8 && input.remaining_bytes() > 0; ++i)
    vm.DataAvailable(input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 30)),
                     {});
  const VmSettings after = vm.Settings();
  FUZZ_CHECK(after.Standard == shown.Standard && after.MachineType == shown.MachineType);
  FUZZ_CHECK(after.UnitTracksByte == shown.UnitTracksByte &&
             after.ExtendedIdReply == shown.ExtendedIdReply);
  record.Standard = after.Standard;
  record.MachineType = after.MachineType;
  record.UnitTracksByte = after.UnitTracksByte;
  record.ExtendedIdReply = after.ExtendedIdReply ? 1 : 0;
  file.Save(record);
  return record;
}

// The record with the machine's fields cleared, so records can be compared on the rest.
SettingsRecord::Image NotMachine(SettingsRecord record) {
  record.Standard = 0;
  record.MachineType = 0;
  record.UnitTracksByte = 0;
  record.ExtendedIdReply = 0;
  return record.ToBytes();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FilePath();  // made before the exit handler that uses it is registered
  std::atexit([] { std::remove(FilePath().c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const auto image = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 40));
  std::remove(FilePath().c_str());
  if (!image.empty() || input.ConsumeBool()) {
    std::FILE* out = std::fopen(FilePath().c_str(), "wb");
    if (out == nullptr) return 0;
    std::fwrite(image.data(), 1, image.size(), out);
    std::fclose(out);
  }
  SettingsRecord read;
  SettingsFile(FilePath()).Load(read);

  const SettingsRecord saved = Round(input);
  SettingsRecord reloaded;
  SettingsFile(FilePath()).Load(reloaded);
  FUZZ_CHECK(reloaded.ToBytes() == saved.ToBytes());
  FUZZ_CHECK(NotMachine(reloaded) == NotMachine(read));

  const SettingsRecord second = Round(input);
  FUZZ_CHECK(second.ToBytes() == saved.ToBytes());
  return 0;
}
