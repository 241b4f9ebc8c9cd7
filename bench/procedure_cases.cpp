// SPDX-License-Identifier: GPL-2.0-or-later
#include "bench/procedure_cases.h"

#include "bench/bench_devices.h"
#include "src/update/parallel/parallel_flash_update.h"

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
    {"qv40714-atmel 32 KB", "qv40714-atmel", UpdateProcedure::UpdateSerialFlash,
     EngineeringAction::Update, 32 * kKib, false, false, 0, 0, false, kPresetBench},
    {"qv40714-winbond 32 KB", "qv40714-winbond", UpdateProcedure::UpdateSerialFlash,
     EngineeringAction::Update, 32 * kKib, false, false, 0, 0, false, kPreset},
    {"qv40716-amic 32 KB", "qv40716-amic", UpdateProcedure::UpdateSerialFlash,
     EngineeringAction::Update, 32 * kKib, false, false, 0, 0, false, kPreset},
    {"qv40713e-mxic32 32 KB", "qv40713e-mxic32", UpdateProcedure::UpdateSerialFlash,
     EngineeringAction::Update, 32 * kKib, false, false, 0, 0, false, kPreset},
    {"qvk926-sst 48 KB", "qvk926-sst", UpdateProcedure::UpdateSerialFlash,
     EngineeringAction::Update, 48 * kKib, false, false, 0, 0, false, kPreset},
    {"qvk846-usb-pmc 32 KB", "qvk846-usb-pmc", UpdateProcedure::UpdateSerialFlash,
     EngineeringAction::Update, 32 * kKib, false, false, 0, 0, false, kPreset},
    {"qvk842-eon 48 KB", "qvk842-eon", UpdateProcedure::UpdateFlashWithNvram,
     EngineeringAction::Update, 48 * kKib, false, false, 0, 0, false, kPresetBench},
    {"sst-spi 64 KB", kQvn962SstSpi, UpdateProcedure::UpdateSerialFlashSpi,
     EngineeringAction::Update, 64 * kKib, true, true, 0, 0, false, kPresetBench},
    {"qvn962-mxic32 64 KB", "qvn962-mxic32", UpdateProcedure::UpdateDfFlash,
     EngineeringAction::Update, 64 * kKib, true, false, 0, 0, false, kPreset},
    {"qvn958-sst 64 KB", "qvn958-sst", UpdateProcedure::UpdateDfFlash, EngineeringAction::Update,
     64 * kKib, true, false, 0, 0, false, kPreset},
    {"qvk848-mxic 64 KB", "qvk848-mxic", UpdateProcedure::UpdateDfFlash, EngineeringAction::Update,
     64 * kKib, true, false, 0, 0, false, kPresetBench},
    {"qvk844-winbond 64 KB", "qvk844-winbond", UpdateProcedure::UpdateDfFlash,
     EngineeringAction::Update, 64 * kKib, true, false, 0, 0, false, kPreset},
    {"qvn962-modeflag-eon 64 KB", "qvn962-modeflag-eon", UpdateProcedure::UpdateDfFlash,
     EngineeringAction::Update, 64 * kKib, true, false, 0, 0, false, kPreset},
    {"qvn958-atmel 64 KB", "qvn958-atmel", UpdateProcedure::UpdateDfFlash,
     EngineeringAction::Update, 64 * kKib, true, false, 0, 0, false, kPreset},
    {"qvk846-1394 32 KB", "qvk846-1394", UpdateProcedure::UpdateDf2Flash, EngineeringAction::Update,
     32 * kKib, false, false, 0, 0, false, kPresetBench},
    {"qv40712-sst 48 KB", "qv40712-sst", UpdateProcedure::UpdateParallelFlash,
     EngineeringAction::Update, 48 * kKib, false, false, 0, 2, false, kPresetBench},
    {"qv40712-atmel 48 KB", "qv40712-atmel", UpdateProcedure::UpdateParallelFlash,
     EngineeringAction::Update, 48 * kKib, false, false, 0, 0, false, kPreset},
    {"qv40712-a1-pmc 48 KB", "qv40712-a1-pmc", UpdateProcedure::UpdateParallelFlash,
     EngineeringAction::Update, 48 * kKib, false, false, 0, 1, true, kPreset},
    {"qv40709-disk 32 KB", "qv40709-disk", UpdateProcedure::UpdateDiskFirmware,
     EngineeringAction::Update, 32 * kKib, false, false, 0, 0, false, kPresetBench},
    {"qvk924-disk-4k 32 KB", "qvk924-disk-4k", UpdateProcedure::UpdateDiskFirmware,
     EngineeringAction::Update, 32 * kKib, false, false, 0, 0, false, kPreset},
    {"qv40713e-disk 64 KB", "qv40713e-disk", UpdateProcedure::UpdateDiskFirmware,
     EngineeringAction::Update, 64 * kKib, false, false, 0, 0, false, kPreset},

    // The engineering actions, one device per procedure, over 64 KB.
    {"qv40714-winbond", "qv40714-winbond", UpdateProcedure::UpdateSerialFlash,
     EngineeringAction::EraseOnly, 0, false, false, 64 * kKib, 0, false, kEngineeringBench},
    {"qv40714-winbond", "qv40714-winbond", UpdateProcedure::UpdateSerialFlash,
     EngineeringAction::BackupOnly, 0, false, false, 64 * kKib, 0, false, kEngineeringBench},
    {"qvk842-eon", "qvk842-eon", UpdateProcedure::UpdateFlashWithNvram,
     EngineeringAction::EraseOnly, 0, false, false, 64 * kKib, 0, false, kEngineering},
    {"qvk842-eon", "qvk842-eon", UpdateProcedure::UpdateFlashWithNvram,
     EngineeringAction::BackupOnly, 0, false, false, 64 * kKib, 0, false, kEngineering},
    {"sst-spi", kQvn962SstSpi, UpdateProcedure::UpdateSerialFlashSpi, EngineeringAction::EraseOnly,
     0, false, true, 64 * kKib, 0, false, kEngineering},
    {"sst-spi", kQvn962SstSpi, UpdateProcedure::UpdateSerialFlashSpi, EngineeringAction::BackupOnly,
     0, false, true, 64 * kKib, 0, false, kEngineering},
    {"qvk848-mxic", "qvk848-mxic", UpdateProcedure::UpdateDfFlash, EngineeringAction::EraseOnly, 0,
     false, false, 64 * kKib, 0, false, kEngineeringBench},
    {"qvk848-mxic", "qvk848-mxic", UpdateProcedure::UpdateDfFlash, EngineeringAction::BackupOnly, 0,
     false, false, 64 * kKib, 0, false, kEngineeringBench},
    {"qvk846-1394", "qvk846-1394", UpdateProcedure::UpdateDf2Flash, EngineeringAction::EraseOnly, 0,
     false, false, 64 * kKib, 0, false, kEngineering},
    {"qvk846-1394", "qvk846-1394", UpdateProcedure::UpdateDf2Flash, EngineeringAction::BackupOnly,
     0, false, false, 64 * kKib, 0, false, kEngineering},
    {"qv40712-sst", "qv40712-sst", UpdateProcedure::UpdateParallelFlash,
     EngineeringAction::EraseOnly, 0, false, false, 0, 2, false, kEngineering},
    {"qv40712-sst", "qv40712-sst", UpdateProcedure::UpdateParallelFlash,
     EngineeringAction::BackupOnly, 0, false, false, 0, 2, false, kEngineering},
    {"qv40709-disk", "qv40709-disk", UpdateProcedure::UpdateDiskFirmware,
     EngineeringAction::EraseOnly, 0, false, false, 64 * kKib, 0, false, kEngineering},
    {"qv40709-disk", "qv40709-disk", UpdateProcedure::UpdateDiskFirmware,
     EngineeringAction::BackupOnly, 0, false, false, 64 * kKib, 0, false, kEngineering},

    // 1 MB backups, and each procedure's largest update on the largest memory it meets.
    {"eon-1m 1 MB", kQv40714Eon1m, UpdateProcedure::UpdateSerialFlash,
     EngineeringAction::BackupOnly, 0, false, false, kMib, 0, false, kLargest},
    {"qvn962-modeflag-eon 1 MB", "qvn962-modeflag-eon", UpdateProcedure::UpdateDfFlash,
     EngineeringAction::BackupOnly, 0, false, true, kMib, 0, false, kLargest},
    {"qv40709-disk 1 MB", "qv40709-disk", UpdateProcedure::UpdateDiskFirmware,
     EngineeringAction::BackupOnly, 0, false, false, kMib, 0, false, kLargest},
    {"eon-1m 1 MB", kQv40714Eon1m, UpdateProcedure::UpdateSerialFlash, EngineeringAction::Update,
     kMib, false, false, 0, 0, false, kLargest},
    {"eon-1m 1020 KB", kQvk842Eon1m, UpdateProcedure::UpdateFlashWithNvram,
     EngineeringAction::Update, kMib - 4 * kKib, false, false, 0, 0, false,
     kLargest | kStreamSeries},
    {"sst-spi 1 MB", kQvn962SstSpi, UpdateProcedure::UpdateSerialFlashSpi,
     EngineeringAction::Update, kMib, true, true, 0, 0, false, kLargest},
    {"qvn962-modeflag-eon 1 MB", "qvn962-modeflag-eon", UpdateProcedure::UpdateDfFlash,
     EngineeringAction::Update, kMib, true, false, 0, 0, false, kLargest},
    {"qvk846-1394 128 KB", "qvk846-1394", UpdateProcedure::UpdateDf2Flash,
     EngineeringAction::Update, 128 * kKib, false, false, 0, 0, false, kLargest},
    {"qv40712-sst 64 KB", "qv40712-sst", UpdateProcedure::UpdateParallelFlash,
     EngineeringAction::Update, 64 * kKib, false, false, 0, 2, false, kLargest},
    {"qv40709-disk 1 MB", "qv40709-disk", UpdateProcedure::UpdateDiskFirmware,
     EngineeringAction::Update, kMib, false, false, 0, 0, false, kLargest},

    // The streaming procedure: its memory must not grow with the image.
    {"eon-1m 60 KB", kQvk842Eon1m, UpdateProcedure::UpdateFlashWithNvram, EngineeringAction::Update,
     60 * kKib, false, false, 0, 0, false, kStreamSeries},
    {"eon-1m 252 KB", kQvk842Eon1m, UpdateProcedure::UpdateFlashWithNvram,
     EngineeringAction::Update, 252 * kKib, false, false, 0, 0, false, kStreamSeries},
};

}  // namespace

std::span<const ProcedureCase> ProcedureCases() {
  return kCases;
}

const ProcedureCase& SmokeCase() {
  return kCases[0];
}

std::uint32_t SubjectBytes(const ProcedureCase& procedureCase) {
  if (procedureCase.Act == EngineeringAction::Update) {
    return procedureCase.ImageBytes;
  }
  // The parallel-flash actions always cover the whole part.
  if (procedureCase.Run == UpdateProcedure::UpdateParallelFlash) {
    return kParallelFlashSize;
  }
  return procedureCase.FirmwareSize != 0 ? procedureCase.FirmwareSize
                                         : ProgramSettings{}.FirmwareSize;
}

}  // namespace q71x::bench
