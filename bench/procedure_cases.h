// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The runs the measurements are made of: which procedure, which action, on which device, with
// how large an image, and the ticks the operator would set. The report and the benchmarks pick
// from the same table, so their figures describe the same runs.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "src/update/update_procedure.h"

namespace q71x::bench {

// Which measurements a case belongs to.
enum CaseGroup : unsigned {
  kEveryPreset = 1u << 0,   // one update per preset
  kEngineering = 1u << 1,   // erase-only and backup-only, one device per procedure
  kLargest = 1u << 2,       // the 1 MB backups and each procedure's largest update
  kStreamSeries = 1u << 3,  // the streaming procedure over growing images
  kBenchmarked = 1u << 4,   // also run by the Google Benchmark program
};

struct ProcedureCase {
  const char* Label;
  const char* DeviceKey;
  UpdateProcedure Run;
  EngineeringAction Act = EngineeringAction::Update;
  std::uint32_t ImageBytes = 0;    // update: the image file's length
  bool ImageHasNvram = false;      // the image leads with a 4 KB configuration area of its own
  bool NvramTicked = false;        // "Include 4K NVRAM"
  std::uint32_t FirmwareSize = 0;  // erase-only and backup-only range; 0: the window's default
  int ParallelPart = 0;            // item of the flash-type list
  bool A1Ticked = false;
  unsigned Groups = 0;
};

std::span<const ProcedureCase> ProcedureCases();
// The one small case the smoke run of the report uses.
const ProcedureCase& SmokeCase();

// The bytes the run is about: the image for an update, FirmwareSize (or the part, where the
// procedure covers the whole part) for the engineering actions.
std::uint32_t SubjectBytes(const ProcedureCase& procedureCase);

}  // namespace q71x::bench
