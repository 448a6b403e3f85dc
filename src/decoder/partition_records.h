// What the first two partitions of a data-partitioned video packet say
// about each of its macroblocks, and where each of its codes lies in the
// packet, so that the macroblock can be decoded as if its codes came in
// the order of a packet without partitions.  One record per macroblock of
// the picture; allocated with the frame store for layers that partition
// their data.
#pragma once

#include <cstdint>

namespace tavrin {

// How much of a macroblock the packet's partitions deliver.
enum PartitionOutcome : uint8_t {
  kPartitionsIntact = 0,  // every code
  kTextureLost = 1,       // types, vectors and DCs, but not the residuals
  kPartitionsLost = 2,    // nothing to go by
};

struct PartitionRecord {
  // Bit positions from the start of the input buffer.
  int32_t mcbpcAt;    // mcbpc, stuffing passed
  int32_t vectorsAt;  // the vector differences of an inter macroblock
  int32_t cbpyAt;     // cbpy (after ac_pred_flag, when there is one)
  int32_t dcAt;       // the six intra DC codes, when the quantiser asks for them
  int32_t textureAt;  // the residuals of its coded blocks
  uint16_t blockBits[6];  // bits of each coded block's residual codes
  // Where the residuals begin, and each block's bits, as read backwards
  // from the packet's end (reversible codes only).
  int32_t backAt;
  uint16_t backBits[6];
  uint8_t dcBits[6];      // bits of each block's DC code
  uint8_t mcbpcBits;
  uint8_t vectorBits;
  uint8_t cbpyBits;
  uint8_t notCoded;
  uint8_t mbType;
  uint8_t cbpc;      // bit 1 Cb, bit 0 Cr
  uint8_t cbpy;      // as coded blocks: bit 3 block 0 ... bit 0 block 3
  uint8_t acPred;
  uint8_t dquant;    // the two dquant bits, for the types that carry them
  uint8_t dcCoded;   // the DCs have codes of their own
  uint8_t outcome;   // PartitionOutcome
};

// The largest macroblock put back together (bits): header, four vector
// differences and six blocks of 64 escaped events with their DCs.
inline constexpr int32_t kPartitionScratchBytes = 4096;

}  // namespace tavrin
