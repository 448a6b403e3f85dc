// The primitive table: 42 rows, one per primitive, each holding the
// implementation every caller uses (its slot) and up to three candidate
// variants for processor classes.  Every slot starts with its variant-1
// implementation, so primitives work before any selection runs.
//
// Callers call a row like a function: primitives.Copy16x16(src, dst, stride).
// Each row is typed with its primitive's function type; nothing is ever cast.
#pragma once

#include <array>
#include <utility>

#include "primitives/dispatch/atomic_slot.h"
#include "primitives/primitive_types.h"

namespace tavrin {

template <typename Fn>
class PrimitiveRow {
 public:
  // candidates[0] is always empty: variant 0 exists only as a selection
  // outcome that keeps the initial slots.
  constexpr PrimitiveRow(Fn variant1, Fn variant2, Fn variant3)
      : slot_(variant1), candidates_{nullptr, variant1, variant2, variant3} {}

  template <typename... Args>
  auto operator()(Args&&... args) const {
    return slot_(std::forward<Args>(args)...);
  }

  Fn slot() const { return slot_.get(); }
  Fn candidate(int variant) const { return candidates_[static_cast<size_t>(variant)]; }

  // Writes the variant's candidate into the slot; false (and nothing written)
  // when the row has no such candidate.
  bool Take(int variant) {
    Fn c = candidate(variant);
    if (c == nullptr) return false;
    slot_.set(c);
    return true;
  }

  // Writes fn into the slot, beside the variants: a form chosen by what the
  // processor reports rather than by its class (the AVX2 forms).
  void Install(Fn fn) { slot_.set(fn); }

  // For tests: put a candidate list of one's own into the row.
  void SetCandidate(int variant, Fn fn) { candidates_[static_cast<size_t>(variant)] = fn; }

 private:
  AtomicSlot<Fn> slot_;
  std::array<Fn, 4> candidates_;
};

struct PrimitiveTable {
  PrimitiveRow<GetLibraryInfoFn> GetSignalLibraryInfo;          // 0
  PrimitiveRow<GetLibraryInfoFn> GetImageLibraryInfo;           // 1
  PrimitiveRow<AllocBytesFn> AllocBytes;                        // 2
  PrimitiveRow<AllocShortsFn> AllocShorts;                      // 3
  PrimitiveRow<AllocIntsFn> AllocInts;                          // 4
  PrimitiveRow<ZeroBytesFn> ZeroBytes;                          // 5
  PrimitiveRow<FreeAlignedFn> FreeAligned;                      // 6
  PrimitiveRow<CopyBlockFn> Copy16x16;                          // 7
  PrimitiveRow<CopyBlockFn> Copy8x8;                            // 8
  PrimitiveRow<AddResidualFn> AddResidual8x8;                   // 9
  PrimitiveRow<PadPlaneFn> PadPlane;                            // 10
  PrimitiveRow<AverageFn> Average8x8;                           // 11
  PrimitiveRow<AverageFn> Average16x16;                         // 12
  PrimitiveRow<PredictHalfSampleFn> PredictHalfSample8x8;       // 13
  PrimitiveRow<PredictHalfSampleFn> PredictHalfSample16x16;     // 14
  PrimitiveRow<PredictAddResidualFn> PredictAddResidual8x8;     // 15
  PrimitiveRow<PredictOverlappedFn> PredictOverlapped8x8;       // 16
  PrimitiveRow<DecodeMacroblockVectorsFn> DecodeMacroblockVectors;  // 17
  PrimitiveRow<DecodeVectorFn> DecodeForwardVector;             // 18
  PrimitiveRow<DecodeVectorFn> DecodeBackwardVector;            // 19
  PrimitiveRow<DecodeBidirVectorsFn> DecodeBidirVectors;        // 20
  PrimitiveRow<DecodeDirectVectorsFn> DecodeDirectVectors;      // 21
  PrimitiveRow<DeriveDirectVectorsFn> DeriveDirectVectors;      // 22
  PrimitiveRow<ClipVectorFn> ClipVector;                        // 23
  PrimitiveRow<DeriveChromaVectorFn> DeriveChromaVector;        // 24
  PrimitiveRow<DeriveChromaVector4Fn> DeriveChromaVector4;      // 25
  PrimitiveRow<PredictIntraDcAcFn> PredictIntraDcAc;            // 26
  PrimitiveRow<DequantIntraFn> DequantIntra;                    // 27
  PrimitiveRow<DequantInterFn> DequantInter;                    // 28
  PrimitiveRow<DecodeIntraCoefficientsFn> DecodeIntraCoefficients;          // 29
  PrimitiveRow<DecodeIntraCoefficientsNoDcFn> DecodeIntraCoefficientsNoDc;  // 30
  PrimitiveRow<DecodeInterCoefficientsFn> DecodeInterCoefficients;          // 31
  PrimitiveRow<DecodeIntraDcFn> DecodeIntraDc;                  // 32
  PrimitiveRow<ReconstructIntraFn> ReconstructIntraCoded;       // 33
  PrimitiveRow<ReconstructInterFn> ReconstructInter;            // 34
  PrimitiveRow<ReconstructIntraFn> ReconstructIntraUncoded;     // 35
  PrimitiveRow<DeblockEdgeFn> DeblockHorizontalEdge;            // 36
  PrimitiveRow<DeblockEdgeFn> DeblockVerticalEdge;              // 37
  PrimitiveRow<DeringThresholdFn> DeringThreshold;              // 38
  PrimitiveRow<DeringSmoothFn> DeringSmooth;                    // 39
  PrimitiveRow<InverseDctFn> InverseDct8x8;                     // 40
  PrimitiveRow<CopyPlaneFn> CopyPlane;                          // 41

  // Visits every row in slot order.
  template <typename Visitor>
  void ForEachRow(Visitor&& visit) {
    visit(GetSignalLibraryInfo); visit(GetImageLibraryInfo); visit(AllocBytes);
    visit(AllocShorts); visit(AllocInts); visit(ZeroBytes); visit(FreeAligned);
    visit(Copy16x16); visit(Copy8x8); visit(AddResidual8x8); visit(PadPlane);
    visit(Average8x8); visit(Average16x16); visit(PredictHalfSample8x8);
    visit(PredictHalfSample16x16); visit(PredictAddResidual8x8); visit(PredictOverlapped8x8);
    visit(DecodeMacroblockVectors); visit(DecodeForwardVector); visit(DecodeBackwardVector);
    visit(DecodeBidirVectors); visit(DecodeDirectVectors); visit(DeriveDirectVectors);
    visit(ClipVector); visit(DeriveChromaVector); visit(DeriveChromaVector4);
    visit(PredictIntraDcAc); visit(DequantIntra); visit(DequantInter);
    visit(DecodeIntraCoefficients); visit(DecodeIntraCoefficientsNoDc);
    visit(DecodeInterCoefficients); visit(DecodeIntraDc); visit(ReconstructIntraCoded);
    visit(ReconstructInter); visit(ReconstructIntraUncoded); visit(DeblockHorizontalEdge);
    visit(DeblockVerticalEdge); visit(DeringThreshold); visit(DeringSmooth);
    visit(InverseDct8x8); visit(CopyPlane);
  }
};

// The number of rows, kept beside the table as the loop bound of selection.
inline constexpr int32_t kPrimitiveRowCount = 42;

// The process-wide table every decoder calls through.
extern PrimitiveTable primitives;

// A freshly initialised table (every slot at variant 1, the candidates of
// this build), for tests that exercise selection without touching the
// process-wide table.
PrimitiveTable MakeInitialPrimitiveTable();

}  // namespace tavrin
