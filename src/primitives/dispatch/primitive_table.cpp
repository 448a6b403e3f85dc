// The table's contents for this build.  Each row lists the implementations
// for variants 1, 2 and 3.  Where a family has no faster code for a variant,
// the row names the portable reference implementation for it.
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

constexpr PrimitiveTable BuildTable() {
  return PrimitiveTable{
      {reference::GetSignalLibraryInfo, reference::GetSignalLibraryInfo, reference::GetSignalLibraryInfo},  // 0
      {reference::GetImageLibraryInfo, reference::GetImageLibraryInfo, reference::GetImageLibraryInfo},  // 1
      {reference::AllocBytes, reference::AllocBytes, reference::AllocBytes},  // 2
      {reference::AllocShorts, reference::AllocShorts, reference::AllocShorts},  // 3
      {reference::AllocInts, reference::AllocInts, reference::AllocInts},  // 4
      {reference::ZeroBytes, reference::ZeroBytes, reference::ZeroBytes},  // 5
      {reference::FreeAligned, reference::FreeAligned, reference::FreeAligned},  // 6
      {reference::Copy16x16, reference::Copy16x16, reference::Copy16x16},  // 7
      {reference::Copy8x8, reference::Copy8x8, reference::Copy8x8},  // 8
      {reference::AddResidual8x8, reference::AddResidual8x8, reference::AddResidual8x8},  // 9
      {reference::PadPlane, reference::PadPlane, reference::PadPlane},  // 10
      {reference::Average8x8, reference::Average8x8, reference::Average8x8},  // 11
      {reference::Average16x16, reference::Average16x16, reference::Average16x16},  // 12
      {reference::PredictHalfSample8x8, reference::PredictHalfSample8x8, reference::PredictHalfSample8x8},  // 13
      {reference::PredictHalfSample16x16, reference::PredictHalfSample16x16, reference::PredictHalfSample16x16},  // 14
      {reference::PredictAddResidual8x8, reference::PredictAddResidual8x8, reference::PredictAddResidual8x8},  // 15
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
      {reference::ReconstructIntraCoded, reference::ReconstructIntraCoded, reference::ReconstructIntraCoded},  // 33
      {reference::ReconstructInter, reference::ReconstructInter, reference::ReconstructInter},  // 34
      {reference::ReconstructIntraUncoded, reference::ReconstructIntraUncoded, reference::ReconstructIntraUncoded},  // 35
      {reference::DeblockHorizontalEdge, reference::DeblockHorizontalEdge, reference::DeblockHorizontalEdge},  // 36
      {reference::DeblockVerticalEdge, reference::DeblockVerticalEdge, reference::DeblockVerticalEdge},  // 37
      {reference::DeringThreshold, reference::DeringThreshold, reference::DeringThreshold},  // 38
      {reference::DeringSmooth, reference::DeringSmooth, reference::DeringSmooth},  // 39
      {reference::InverseDct8x8, reference::InverseDct8x8, reference::InverseDct8x8},  // 40
      {reference::CopyPlane, reference::CopyPlane, reference::CopyPlane},  // 41
  };
}

}  // namespace

constinit PrimitiveTable primitives = BuildTable();

PrimitiveTable MakeInitialPrimitiveTable() { return BuildTable(); }

}  // namespace tavrin
