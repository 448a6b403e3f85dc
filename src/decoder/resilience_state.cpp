#include "decoder/resilience_state.h"

#include <utility>

#include "bitstream/bit_reader.h"
#include "primitives/dispatch/primitive_table.h"

namespace tavrin {

bool AllocateResilienceState(ResilienceState& state, int32_t mbs, bool partitioned) {
  state.lostCount = 0;
  state.anchorsDecoded = 0;
  state.status = primitives.AllocBytes(mbs);
  state.anchorStatus = primitives.AllocBytes(mbs);
  state.bitStart = primitives.AllocInts(mbs);
  if (state.status == nullptr || state.anchorStatus == nullptr || state.bitStart == nullptr)
    return false;
  primitives.ZeroBytes(state.status, mbs);
  if (partitioned) {
    const int32_t recordBytes = mbs * static_cast<int32_t>(sizeof(PartitionRecord));
    state.partitions = reinterpret_cast<PartitionRecord*>(primitives.AllocBytes(recordBytes));
    state.scratch = primitives.AllocBytes(kPartitionScratchBytes + kInputPadding);
    if (state.partitions == nullptr || state.scratch == nullptr) return false;
    primitives.ZeroBytes(state.partitions, recordBytes);
    primitives.ZeroBytes(state.scratch, kPartitionScratchBytes + kInputPadding);
  }
  // Before any anchor nothing has motion to continue.
  for (int32_t i = 0; i < mbs; ++i) state.anchorStatus[i] = kMacroblockIntra;
  primitives.ZeroBytes(state.bitStart, mbs * 4);
  return true;
}

void KeepAnchorStatus(ResilienceState& state, int32_t mbs, bool intraPicture) {
  if (state.status == nullptr || state.anchorStatus == nullptr) return;
  std::swap(state.status, state.anchorStatus);
  if (intraPicture)
    for (int32_t i = 0; i < mbs; ++i) state.anchorStatus[i] = kMacroblockIntra;
}

void ReleaseResilienceState(ResilienceState& state) {
  primitives.FreeAligned(state.status);
  primitives.FreeAligned(state.anchorStatus);
  primitives.FreeAligned(state.partitions);
  primitives.FreeAligned(state.scratch);
  primitives.FreeAligned(state.bitStart);
  state = ResilienceState{};
}

}  // namespace tavrin
