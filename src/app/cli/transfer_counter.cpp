// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/transfer_counter.h"

namespace q71x::cli {

bool TransferCounter::SendPassThrough(DeviceHandle handle, PassThroughRecord& record) {
  const bool sent = Inner().SendPassThrough(handle, record);
  // A request the system refused moved nothing, whatever length it still carries.
  if (sent && record.DataBuffer != nullptr && record.DataTransferLength > 0) {
    listener_(record.DataTransferLength);
  }
  return sent;
}

}  // namespace q71x::cli
