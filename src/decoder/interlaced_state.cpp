#include "decoder/interlaced_state.h"

#include "primitives/dispatch/primitive_table.h"

namespace tavrin {

bool AllocateInterlacedState(InterlacedState& state, int32_t macroblocks) {
  state.fieldModes = primitives.AllocBytes(macroblocks);
  state.fieldVectors = reinterpret_cast<MotionVector*>(primitives.AllocShorts(macroblocks * 4));
  if (state.fieldModes == nullptr || state.fieldVectors == nullptr) return false;
  ClearInterlacedState(state, macroblocks);
  return true;
}

void ReleaseInterlacedState(InterlacedState& state) {
  primitives.FreeAligned(state.fieldModes);
  primitives.FreeAligned(state.fieldVectors);
  state = InterlacedState{};
}

void ClearInterlacedState(InterlacedState& state, int32_t macroblocks) {
  if (state.fieldModes == nullptr) return;
  primitives.ZeroBytes(state.fieldModes, macroblocks);
  primitives.ZeroBytes(state.fieldVectors, macroblocks * 8);
}

}  // namespace tavrin
