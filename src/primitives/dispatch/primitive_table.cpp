// The table's contents for this build.  Each row lists the implementations
// for variants 1, 2 and 3.  Where a family has no faster code for a variant,
// the row names the portable reference implementation for it.
//
// On x86 (where the compiler targets SSE2, as it always does for x86-64) the
// hot rows name their SSE2 implementations for all three variants, so that
// the initial variant-1 slots, which class-0 processors keep, are the fast
// ones.  Elsewhere those rows name the portable implementations.
#include "primitives/dispatch/primitive_table.h"

#include "primitives/blockcopy/blockcopy.h"
#include "primitives/coefficients/coefficients.h"
#include "primitives/dequant/dequant.h"
#include "primitives/memory/memory.h"
#include "primitives/padding/padding.h"
#include "primitives/postfilter/postfilter.h"
#include "primitives/reconstruction/reconstruction.h"
#include "primitives/vectors/vectors.h"

namespace tavrin {
namespace {

#if defined(__SSE2__)
namespace fast = sse2;
#else
namespace fast = reference;
#endif

constexpr PrimitiveTable BuildTable() {
  return PrimitiveTable{
      {reference::GetSignalLibraryInfo, reference::GetSignalLibraryInfo, reference::GetSignalLibraryInfo},  // 0
      {reference::GetImageLibraryInfo, reference::GetImageLibraryInfo, reference::GetImageLibraryInfo},  // 1
      {reference::AllocBytes, reference::AllocBytes, reference::AllocBytes},  // 2
      {reference::AllocShorts, reference::AllocShorts, reference::AllocShorts},  // 3
      {reference::AllocInts, reference::AllocInts, reference::AllocInts},  // 4
      {reference::ZeroBytes, fast::ZeroBytes, fast::ZeroBytes},  // 5
      {reference::FreeAligned, reference::FreeAligned, reference::FreeAligned},  // 6
      {fast::Copy16x16, fast::Copy16x16, fast::Copy16x16},  // 7
      {fast::Copy8x8, fast::Copy8x8, fast::Copy8x8},  // 8
      {fast::AddResidual8x8, fast::AddResidual8x8, fast::AddResidual8x8},  // 9
      {fast::PadPlane, fast::PadPlane, fast::PadPlane},  // 10
      {fast::Average8x8, fast::Average8x8, fast::Average8x8},  // 11
      {fast::Average16x16, fast::Average16x16, fast::Average16x16},  // 12
      {fast::PredictHalfSample8x8, fast::PredictHalfSample8x8, fast::PredictHalfSample8x8},  // 13
      {fast::PredictHalfSample16x16, fast::PredictHalfSample16x16, fast::PredictHalfSample16x16},  // 14
      {fast::PredictAddResidual8x8, fast::PredictAddResidual8x8, fast::PredictAddResidual8x8},  // 15
      {reference::PredictOverlapped8x8, reference::PredictOverlapped8x8, reference::PredictOverlapped8x8},  // 16
      {reference::DecodeMacroblockVectors, reference::DecodeMacroblockVectors, reference::DecodeMacroblockVectors},  // 17
      {reference::DecodeForwardVector, reference::DecodeForwardVector, reference::DecodeForwardVector},  // 18
      {reference::DecodeBackwardVector, reference::DecodeBackwardVector, reference::DecodeBackwardVector},  // 19
      {reference::DecodeBidirVectors, reference::DecodeBidirVectors, reference::DecodeBidirVectors},  // 20
      {reference::DecodeDirectVectors, reference::DecodeDirectVectors, reference::DecodeDirectVectors},  // 21
      {reference::DeriveDirectVectors, reference::DeriveDirectVectors, reference::DeriveDirectVectors},  // 22
      {reference::ClipVector, reference::ClipVector, reference::ClipVector},  // 23
      {reference::DeriveChromaVector, reference::DeriveChromaVector, reference::DeriveChromaVector},  // 24
      {reference::DeriveChromaVector4, reference::DeriveChromaVector4, reference::DeriveChromaVector4},  // 25
      {reference::PredictIntraDcAc, reference::PredictIntraDcAc, reference::PredictIntraDcAc},  // 26
      {reference::DequantIntra, reference::DequantIntra, reference::DequantIntra},  // 27
      {reference::DequantInter, reference::DequantInter, reference::DequantInter},  // 28
      {reference::DecodeIntraCoefficients, reference::DecodeIntraCoefficients, reference::DecodeIntraCoefficients},  // 29
      {reference::DecodeIntraCoefficientsNoDc, reference::DecodeIntraCoefficientsNoDc, reference::DecodeIntraCoefficientsNoDc},  // 30
      {reference::DecodeInterCoefficients, reference::DecodeInterCoefficients, reference::DecodeInterCoefficients},  // 31
      {reference::DecodeIntraDc, reference::DecodeIntraDc, reference::DecodeIntraDc},  // 32
      {fast::ReconstructIntraCoded, fast::ReconstructIntraCoded, fast::ReconstructIntraCoded},  // 33
      {fast::ReconstructInter, fast::ReconstructInter, fast::ReconstructInter},  // 34
      {fast::ReconstructIntraUncoded, fast::ReconstructIntraUncoded, fast::ReconstructIntraUncoded},  // 35
      {fast::DeblockHorizontalEdge, fast::DeblockHorizontalEdge, fast::DeblockHorizontalEdge},  // 36
      {fast::DeblockVerticalEdge, fast::DeblockVerticalEdge, fast::DeblockVerticalEdge},  // 37
      {reference::DeringThreshold, reference::DeringThreshold, reference::DeringThreshold},  // 38
      {reference::DeringSmooth, reference::DeringSmooth, reference::DeringSmooth},  // 39
      {fast::InverseDct8x8, fast::InverseDct8x8, fast::InverseDct8x8},  // 40
      {reference::CopyPlane, reference::CopyPlane, reference::CopyPlane},  // 41
  };
}

}  // namespace

constinit PrimitiveTable primitives = BuildTable();

PrimitiveTable MakeInitialPrimitiveTable() { return BuildTable(); }

}  // namespace tavrin
