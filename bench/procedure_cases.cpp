#include "bench/procedure_cases.h"

#include "bench/bench_devices.h"
#include "src/update/df2_flash_update.h"
#include "src/update/df_flash_update.h"
#include "src/update/disk_firmware_update.h"
#include "src/update/dual_path_update.h"
#include "src/update/nvram_flash_update.h"
#include "src/update/parallel_flash_update.h"
#include "src/update/serial_flash_update.h"

namespace q71x::bench {
namespace {

constexpr std::uint32_t kKib = 1024;
constexpr std::uint32_t kMib = 1024 * kKib;

constexpr unsigned kPreset = kEveryPreset;
constexpr unsigned kPresetBench = kEveryPreset | kBenchmarked;
constexpr unsigned kEngineeringBench = kEngineering | kBenchmarked;

// Images are as large as the old firmware each preset carries, so an update replaces like with
// like. The DF-family and dual-path images lead with their own 4 KB configuration area, as the
// releases for those chips do; with "Include 4K NVRAM" unticked the device keeps its own.
constexpr ProcedureCase kCases[] = {
    // Every preset, one update each.
    {"qv40714-atmel 32 KB", "qv40714-atmel", Procedure::SerialFlash, Action::Update, 32 * kKib,
     false, false, 0, 0, false, kPresetBench},
    {"qv40714-winbond 32 KB", "qv40714-winbond", Procedure::SerialFlash, Action::Update, 32 * kKib,
     false, false, 0, 0, false, kPreset},
    {"qv40716-amic 32 KB", "qv40716-amic", Procedure::SerialFlash, Action::Update, 32 * kKib, false,
     false, 0, 0, false, kPreset},
    {"qv40713e-mxic32 32 KB", "qv40713e-mxic32", Procedure::SerialFlash, Action::Update, 32 * kKib,
     false, false, 0, 0, false, kPreset},
    {"qvk926-sst 48 KB", "qvk926-sst", Procedure::SerialFlash, Action::Update, 48 * kKib, false,
     false, 0, 0, false, kPreset},
    {"qvk846-usb-pmc 32 KB", "qvk846-usb-pmc", Procedure::SerialFlash, Action::Update, 32 * kKib,
     false, false, 0, 0, false, kPreset},
    {"qvk842-eon 48 KB", "qvk842-eon", Procedure::FlashWithNvram, Action::Update, 48 * kKib, false,
     false, 0, 0, false, kPresetBench},
    {"sst-spi 64 KB", kQvn962SstSpi, Procedure::SerialFlashSpi, Action::Update, 64 * kKib, true,
     true, 0, 0, false, kPresetBench},
    {"qvn962-mxic32 64 KB", "qvn962-mxic32", Procedure::DfFlash, Action::Update, 64 * kKib, true,
     false, 0, 0, false, kPreset},
    {"qvn958-sst 64 KB", "qvn958-sst", Procedure::DfFlash, Action::Update, 64 * kKib, true, false,
     0, 0, false, kPreset},
    {"qvk848-mxic 64 KB", "qvk848-mxic", Procedure::DfFlash, Action::Update, 64 * kKib, true, false,
     0, 0, false, kPresetBench},
    {"qvk844-winbond 64 KB", "qvk844-winbond", Procedure::DfFlash, Action::Update, 64 * kKib, true,
     false, 0, 0, false, kPreset},
    {"qvn962-modeflag-eon 64 KB", "qvn962-modeflag-eon", Procedure::DfFlash, Action::Update,
     64 * kKib, true, false, 0, 0, false, kPreset},
    {"qvn958-atmel 64 KB", "qvn958-atmel", Procedure::DfFlash, Action::Update, 64 * kKib, true,
     false, 0, 0, false, kPreset},
    {"qvk846-1394 32 KB", "qvk846-1394", Procedure::Df2Flash, Action::Update, 32 * kKib, false,
     false, 0, 0, false, kPresetBench},
    {"qv40712-sst 48 KB", "qv40712-sst", Procedure::ParallelFlash, Action::Update, 48 * kKib, false,
     false, 0, 2, false, kPresetBench},
    {"qv40712-atmel 48 KB", "qv40712-atmel", Procedure::ParallelFlash, Action::Update, 48 * kKib,
     false, false, 0, 0, false, kPreset},
    {"qv40712-a1-pmc 48 KB", "qv40712-a1-pmc", Procedure::ParallelFlash, Action::Update, 48 * kKib,
     false, false, 0, 1, true, kPreset},
    {"qv40709-disk 32 KB", "qv40709-disk", Procedure::DiskFirmware, Action::Update, 32 * kKib,
     false, false, 0, 0, false, kPresetBench},
    {"qvk924-disk-4k 32 KB", "qvk924-disk-4k", Procedure::DiskFirmware, Action::Update, 32 * kKib,
     false, false, 0, 0, false, kPreset},
    {"qv40713e-disk 64 KB", "qv40713e-disk", Procedure::DiskFirmware, Action::Update, 64 * kKib,
     false, false, 0, 0, false, kPreset},

    // The engineering actions, one device per procedure, over 64 KB.
    {"qv40714-winbond", "qv40714-winbond", Procedure::SerialFlash, Action::EraseOnly, 0, false,
     false, 64 * kKib, 0, false, kEngineeringBench},
    {"qv40714-winbond", "qv40714-winbond", Procedure::SerialFlash, Action::BackupOnly, 0, false,
     false, 64 * kKib, 0, false, kEngineeringBench},
    {"qvk842-eon", "qvk842-eon", Procedure::FlashWithNvram, Action::EraseOnly, 0, false, false,
     64 * kKib, 0, false, kEngineering},
    {"qvk842-eon", "qvk842-eon", Procedure::FlashWithNvram, Action::BackupOnly, 0, false, false,
     64 * kKib, 0, false, kEngineering},
    {"sst-spi", kQvn962SstSpi, Procedure::SerialFlashSpi, Action::EraseOnly, 0, false, true,
     64 * kKib, 0, false, kEngineering},
    {"sst-spi", kQvn962SstSpi, Procedure::SerialFlashSpi, Action::BackupOnly, 0, false, true,
     64 * kKib, 0, false, kEngineering},
    {"qvk848-mxic", "qvk848-mxic", Procedure::DfFlash, Action::EraseOnly, 0, false, false,
     64 * kKib, 0, false, kEngineeringBench},
    {"qvk848-mxic", "qvk848-mxic", Procedure::DfFlash, Action::BackupOnly, 0, false, false,
     64 * kKib, 0, false, kEngineeringBench},
    {"qvk846-1394", "qvk846-1394", Procedure::Df2Flash, Action::EraseOnly, 0, false, false,
     64 * kKib, 0, false, kEngineering},
    {"qvk846-1394", "qvk846-1394", Procedure::Df2Flash, Action::BackupOnly, 0, false, false,
     64 * kKib, 0, false, kEngineering},
    {"qv40712-sst", "qv40712-sst", Procedure::ParallelFlash, Action::EraseOnly, 0, false, false, 0,
     2, false, kEngineering},
    {"qv40712-sst", "qv40712-sst", Procedure::ParallelFlash, Action::BackupOnly, 0, false, false, 0,
     2, false, kEngineering},
    {"qv40709-disk", "qv40709-disk", Procedure::DiskFirmware, Action::EraseOnly, 0, false, false,
     64 * kKib, 0, false, kEngineering},
    {"qv40709-disk", "qv40709-disk", Procedure::DiskFirmware, Action::BackupOnly, 0, false, false,
     64 * kKib, 0, false, kEngineering},

    // 1 MB backups, and each procedure's largest update on the largest memory it meets.
    {"eon-1m 1 MB", kQv40714Eon1m, Procedure::SerialFlash, Action::BackupOnly, 0, false, false,
     kMib, 0, false, kLargest},
    {"qvn962-modeflag-eon 1 MB", "qvn962-modeflag-eon", Procedure::DfFlash, Action::BackupOnly, 0,
     false, true, kMib, 0, false, kLargest},
    {"qv40709-disk 1 MB", "qv40709-disk", Procedure::DiskFirmware, Action::BackupOnly, 0, false,
     false, kMib, 0, false, kLargest},
    {"eon-1m 1 MB", kQv40714Eon1m, Procedure::SerialFlash, Action::Update, kMib, false, false, 0, 0,
     false, kLargest},
    {"eon-1m 1020 KB", kQvk842Eon1m, Procedure::FlashWithNvram, Action::Update, kMib - 4 * kKib,
     false, false, 0, 0, false, kLargest | kStreamSeries},
    {"sst-spi 1 MB", kQvn962SstSpi, Procedure::SerialFlashSpi, Action::Update, kMib, true, true, 0,
     0, false, kLargest},
    {"qvn962-modeflag-eon 1 MB", "qvn962-modeflag-eon", Procedure::DfFlash, Action::Update, kMib,
     true, false, 0, 0, false, kLargest},
    {"qvk846-1394 128 KB", "qvk846-1394", Procedure::Df2Flash, Action::Update, 128 * kKib, false,
     false, 0, 0, false, kLargest},
    {"qv40712-sst 64 KB", "qv40712-sst", Procedure::ParallelFlash, Action::Update, 64 * kKib, false,
     false, 0, 2, false, kLargest},
    {"qv40709-disk 1 MB", "qv40709-disk", Procedure::DiskFirmware, Action::Update, kMib, false,
     false, 0, 0, false, kLargest},

    // The streaming procedure: its memory must not grow with the image.
    {"eon-1m 60 KB", kQvk842Eon1m, Procedure::FlashWithNvram, Action::Update, 60 * kKib, false,
     false, 0, 0, false, kStreamSeries},
    {"eon-1m 252 KB", kQvk842Eon1m, Procedure::FlashWithNvram, Action::Update, 252 * kKib, false,
     false, 0, 0, false, kStreamSeries},
};

}  // namespace

std::span<const ProcedureCase> ProcedureCases() {
  return kCases;
}

const ProcedureCase& SmokeCase() {
  return kCases[0];
}

std::string_view ProcedureName(Procedure procedure) {
  switch (procedure) {
    case Procedure::SerialFlash:
      return "UpdateSerialFlash";
    case Procedure::FlashWithNvram:
      return "UpdateFlashWithNvram";
    case Procedure::SerialFlashSpi:
      return "UpdateSerialFlashSpi";
    case Procedure::DfFlash:
      return "UpdateDfFlash";
    case Procedure::Df2Flash:
      return "UpdateDf2Flash";
    case Procedure::ParallelFlash:
      return "UpdateParallelFlash";
    case Procedure::DiskFirmware:
      return "UpdateDiskFirmware";
  }
  return "";
}

std::string_view ActionName(Action action) {
  switch (action) {
    case Action::Update:
      return "update";
    case Action::EraseOnly:
      return "erase-only";
    case Action::BackupOnly:
      return "backup-only";
  }
  return "";
}

std::uint32_t SubjectBytes(const ProcedureCase& procedureCase) {
  if (procedureCase.Act == Action::Update) {
    return procedureCase.ImageBytes;
  }
  // The parallel-flash actions always cover the whole part.
  if (procedureCase.Run == Procedure::ParallelFlash) {
    return kParallelFlashSize;
  }
  return procedureCase.FirmwareSize != 0 ? procedureCase.FirmwareSize
                                         : ProgramSettings{}.FirmwareSize;
}

int RunProcedure(Procedure procedure, ToolWindow& window, const std::string& devicePath,
                 int parallelPart) {
  switch (procedure) {
    case Procedure::SerialFlash:
      return UpdateSerialFlash(window, devicePath);
    case Procedure::FlashWithNvram:
      return UpdateFlashWithNvram(window, devicePath);
    case Procedure::SerialFlashSpi:
      return UpdateSerialFlashSpi(window, devicePath);
    case Procedure::DfFlash:
      return UpdateDfFlash(window, devicePath);
    case Procedure::Df2Flash:
      return UpdateDf2Flash(window, devicePath);
    case Procedure::ParallelFlash:
      return UpdateParallelFlash(window, devicePath, parallelPart);
    case Procedure::DiskFirmware:
      return UpdateDiskFirmware(window, devicePath);
  }
  return 0;
}

}  // namespace q71x::bench
