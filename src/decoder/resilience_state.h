// What the decoder keeps to find and mend damage: per macroblock of the
// picture being decoded, whether it was lost (damaged, or never reached)
// and where its data began, so that the picture decoders can mark what they
// could not trust and the concealment can rebuild it from the references.
// Allocated with the frame store; nothing here is allocated while
// decoding.
#pragma once

#include <cstdint>

#include "decoder/partition_records.h"

namespace tavrin {

// Per-macroblock status bits of the picture being decoded.
enum MacroblockStatus : uint8_t {
  kMacroblockIntact = 0,
  kMacroblockLost = 1,       // to be concealed
  kMacroblockIntra = 2,      // decoded as an intra macroblock
  kMacroblockConcealed = 4,  // rebuilt by the concealment
  // Lost, but its DCs were read intact (a data-partitioned intra
  // macroblock whose residuals were lost): the picture holds them.
  kMacroblockDcKnown = 8,
  // Lost, but decoded whole from codes that read as valid shortly before
  // the damage showed: the concealment keeps it where it continues the
  // intact samples around it clearly better than its guess does.
  kMacroblockSuspect = 16,
};

struct ResilienceState {
  uint8_t* status = nullptr;     // mbWidth * mbHeight MacroblockStatus bits
  // The same for the newest anchor, as it was left once decoded and mended:
  // the picture P pictures predict from.
  uint8_t* anchorStatus = nullptr;
  int32_t* bitStart = nullptr;   // mbWidth * mbHeight: where each macroblock's data began
  // Layers that partition their data: a record per macroblock, and room
  // to put one macroblock's codes back together (kPartitionScratchBytes and
  // the input padding).
  PartitionRecord* partitions = nullptr;
  uint8_t* scratch = nullptr;
  int32_t lostCount = 0;         // macroblocks of the current picture marked lost
  int32_t anchorsDecoded = 0;    // I and P pictures decoded since the stream opened
  // Before an intra picture: the mean vector of the newest anchor (half
  // samples), the motion an intra picture's lost macroblocks may guess.
  int16_t anchorMotionX = 0;
  int16_t anchorMotionY = 0;
};

// Allocates (and clears) the arrays for mbs macroblocks: false when memory
// could not be had (what was allocated stays until release).
bool AllocateResilienceState(ResilienceState& state, int32_t mbs, bool partitioned);

// After an I or P picture: its statuses become the anchor's (every
// macroblock intra for an I picture).
void KeepAnchorStatus(ResilienceState& state, int32_t mbs, bool intraPicture);
void ReleaseResilienceState(ResilienceState& state);

}  // namespace tavrin
