#include "primitives/dispatch/selection.h"

#include <gtest/gtest.h>

#include "primitives/blockcopy/blockcopy.h"
#include "primitives/blockcopy/motion_routines.h"
#include "primitives/blockcopy/quarter_sample_routines.h"
#include "primitives/memory/memory.h"
#include "primitives/reconstruction/reconstruction.h"
#include "primitives/reconstruction/reconstruction_routines.h"
#include "primitives/reconstruction/second_path_block_routines_sse2.h"

namespace tavrin {
namespace {

using platform::CpuProbe;

constexpr uint32_t kMmx = 1u << 23, kSse = 1u << 25, kSse2 = 1u << 26, kTsc = 1u << 4;

CpuProbe Intel(uint32_t family, uint32_t edx, uint32_t ecx = 0, uint32_t logical = 1) {
  CpuProbe p;
  p.hasCpuid = true;
  p.leaf0 = {13, 0x756E6547u, 0x6C65746Eu, 0x49656E69u};
  p.leaf1 = {family << 8, logical << 16, ecx, edx};
  p.extendedLeaf0 = {0x80000008u, 0, 0, 0};
  p.osExecutesSse = (edx & kSse) != 0;
  p.osExecutesSse2 = (edx & kSse2) != 0;
  return p;
}

CpuProbe Amd(uint32_t edx, uint32_t extendedEdx) {
  CpuProbe p;
  p.hasCpuid = true;
  p.leaf0 = {13, 0x68747541u, 0x444D4163u, 0x69746E65u};
  p.leaf1 = {0x0F << 8, 0, 0, edx};
  p.extendedLeaf0 = {0x80000008u, 0, 0, 0};
  p.extendedLeaf1 = {0, 0, 0, extendedEdx};
  p.osExecutesSse = (edx & kSse) != 0;
  p.osExecutesSse2 = (edx & kSse2) != 0;
  return p;
}

TEST(ProcessorModel, IntelFamiliesAndFeatures) {
  EXPECT_EQ(ProbeModel(Intel(6, kMmx | kSse | kSse2)), 9);
  EXPECT_EQ(ProbeModel(Intel(6, kMmx | kSse)), 5);
  EXPECT_EQ(ProbeModel(Intel(6, kMmx)), 4);
  EXPECT_EQ(ProbeModel(Intel(6, 0)), 3);
  EXPECT_EQ(ProbeModel(Intel(5, kMmx)), 2);
  EXPECT_EQ(ProbeModel(Intel(5, 0)), 1);
  EXPECT_EQ(ProbeModel(Intel(15, kMmx | kSse | kSse2, 1)), 8);
  EXPECT_EQ(ProbeModel(Intel(15, kMmx | kSse | kSse2 | (1u << 28), 0, 2)), 7);
  EXPECT_EQ(ProbeModel(Intel(15, kMmx | kSse | kSse2 | (1u << 28), 0, 1)), 6);
  EXPECT_EQ(ProbeModel(Intel(15, kMmx | kSse2, 0, 2)), 6);
  EXPECT_EQ(ProbeModel(Intel(15, kMmx | kSse)), 17);
  EXPECT_EQ(ProbeModel(Intel(7, 0)), 16);
  EXPECT_EQ(ProbeModel(Intel(4, kMmx)), 0);
  EXPECT_EQ(ProbeModel(Amd(kMmx | kSse | kSse2, 0)), 0);
  EXPECT_EQ(ProbeModel(CpuProbe{}), 0);
}

TEST(ProcessorFeatures, WordFromTheIdentificationLeaves) {
  EXPECT_EQ(ProbeFeatures(CpuProbe{}), 0u);
  EXPECT_EQ(ProbeFeatures(Intel(6, kMmx | kSse | kSse2 | kTsc)), 0xCFu);
  EXPECT_EQ(ProbeFeatures(Intel(6, kMmx)), 0x81u);
  // Extended MMX and 3DNow! count only on AMD processors.
  EXPECT_EQ(ProbeFeatures(Amd(kMmx, (1u << 31) | (1u << 30) | (1u << 22))), 0xB3u);
  CpuProbe intel = Intel(6, kMmx);
  intel.extendedLeaf1.edx = (1u << 31) | (1u << 22);
  EXPECT_EQ(ProbeFeatures(intel), 0x81u);
}

TEST(ProcessorFeatures, InstructionsTheSystemDoesNotRunAreTakenBack) {
  CpuProbe p = Intel(6, kMmx | kSse | kSse2);
  p.osExecutesSse2 = false;
  EXPECT_EQ(ProbeFeatures(p) & (FeatureSse | FeatureSse2), uint32_t{FeatureSse});
  EXPECT_EQ(CpuClassOf(0, ProbeFeatures(p)), 1);
  p.osExecutesSse = false;
  EXPECT_EQ(CpuClassOf(0, ProbeFeatures(p)), 0);
}

TEST(ProcessorClass, FromModelAndFeatures) {
  EXPECT_EQ(CpuClassOf(Intel(6, kMmx | kSse | kSse2)), 0);  // model 9: class 0
  EXPECT_EQ(CpuClassOf(Intel(6, kMmx | kSse)), 1);          // model 5
  EXPECT_EQ(CpuClassOf(Intel(15, kMmx | kSse | kSse2, 1)), 2);
  EXPECT_EQ(CpuClassOf(Intel(7, kMmx | kSse | kSse2)), 0);  // model 16
  EXPECT_EQ(CpuClassOf(Amd(kMmx | kSse | kSse2, 0)), 2);    // unclassified: by features
  EXPECT_EQ(CpuClassOf(Amd(kMmx | kSse, 0)), 1);
  EXPECT_EQ(CpuClassOf(Amd(kMmx, 0)), 0);                   // MMX alone
  EXPECT_EQ(CpuClassOf(Intel(6, kMmx)), 0);                 // model 4: features give 0
}

TEST(ProcessorClass, RoutineClassByModel) {
  EXPECT_EQ(RoutineClassOf(5), 1);
  EXPECT_EQ(RoutineClassOf(6), 2);
  EXPECT_EQ(RoutineClassOf(7), 2);
  EXPECT_EQ(RoutineClassOf(8), 3);
  EXPECT_EQ(RoutineClassOf(9), 0);
  EXPECT_EQ(RoutineClassOf(0), 0);
}

PrimitiveStatus VariantTwoZero(void*, int32_t) { return Ok; }

TEST(Selection, ClassZeroKeepsTheInitialSlots) {
  PrimitiveTable table = MakeInitialPrimitiveTable();
  table.ZeroBytes.SetCandidate(1, VariantTwoZero);  // would show if variant 1 were re-applied
  EXPECT_EQ(SelectPrimitives(table, 0), 0);
  EXPECT_EQ(table.ZeroBytes.slot(), &reference::ZeroBytes);
}

TEST(Selection, ClassTwoAppliesVariantTwoEverywhere) {
  PrimitiveTable table = MakeInitialPrimitiveTable();
  table.ZeroBytes.SetCandidate(2, VariantTwoZero);
  EXPECT_EQ(SelectPrimitives(table, 2), 1);
  EXPECT_EQ(table.ZeroBytes.slot(), &VariantTwoZero);
  EXPECT_EQ(table.CopyPlane.slot(), table.CopyPlane.candidate(2));
  // Running it again changes nothing.
  EXPECT_EQ(SelectPrimitives(table, 2), 1);
  EXPECT_EQ(table.ZeroBytes.slot(), &VariantTwoZero);
}

TEST(Selection, ClassOutsideTheRowsIsRefused) {
  PrimitiveTable table = MakeInitialPrimitiveTable();
  EXPECT_EQ(SelectPrimitives(table, 4), 0);
  EXPECT_EQ(SelectPrimitives(table, -1), 0);
}

TEST(Selection, ApplyStopsAtTheFirstRowWithoutACandidate) {
  PrimitiveTable table = MakeInitialPrimitiveTable();
  EXPECT_EQ(ApplyVariant(table, 0), 0);  // row 0 has no variant 0: nothing written
  EXPECT_EQ(table.GetSignalLibraryInfo.slot(), &reference::GetSignalLibraryInfo);

  table.ZeroBytes.SetCandidate(3, VariantTwoZero);  // row 5
  table.FreeAligned.SetCandidate(3, nullptr);       // row 6: no variant 3
  table.Copy16x16.SetCandidate(3, nullptr);
  EXPECT_EQ(ApplyVariant(table, 3), 0);
  EXPECT_EQ(table.ZeroBytes.slot(), &VariantTwoZero);  // rows before the gap were written
  EXPECT_EQ(table.FreeAligned.slot(), &reference::FreeAligned);
}

TEST(Selection, FallsBackThroughThePreferenceRow) {
  PrimitiveTable table = MakeInitialPrimitiveTable();
  table.AllocBytes.SetCandidate(3, nullptr);
  table.ZeroBytes.SetCandidate(2, VariantTwoZero);
  table.ZeroBytes.SetCandidate(3, VariantTwoZero);
  // Class 3 tries variant 3 (incomplete: rows 0 and 1 are written), then
  // variant 2, which completes.
  EXPECT_EQ(SelectPrimitives(table, 3), 1);
  EXPECT_EQ(table.ZeroBytes.slot(), &VariantTwoZero);
  EXPECT_EQ(table.AllocBytes.slot(), table.AllocBytes.candidate(2));
}

TEST(Selection, BlockRoutinesByProcessorModel) {
  // On x86 the SSE2 forms of the transforms and the store are installed.
#if defined(__SSE2__)
  namespace routines = blockroutines::sse2;
#else
  namespace routines = blockroutines;
#endif
  BlockRoutineSet set;
  SelectBlockRoutines(set, 6);
  EXPECT_EQ(set.inverseTransform.get(), &routines::InverseTransformNewer);
  SelectBlockRoutines(set, 8);
  EXPECT_EQ(set.inverseTransform.get(), &routines::InverseTransformNewer);
  SelectBlockRoutines(set, 9);
  EXPECT_EQ(set.inverseTransform.get(), &routines::InverseTransformOlder);
  SelectBlockRoutines(set, 5);
  EXPECT_EQ(set.inverseTransform.get(), &routines::InverseTransformOlder);
  EXPECT_EQ(set.storeClamped.get(), &routines::StoreClamped);
  EXPECT_EQ(set.transformAndStore.get(), &blockroutines::TransformAndStore);
  EXPECT_EQ(set.endSimdState.get(), &blockroutines::EndSimdState);
}

TEST(Selection, ThisMachineSelectsSomethingUsable) {
  const CpuProbe probe = platform::ReadCpuProbe();
  const int32_t cpuClass = CpuClassOf(probe);
  EXPECT_GE(cpuClass, 0);
  EXPECT_LE(cpuClass, 2);
  PrimitiveTable table = MakeInitialPrimitiveTable();
  SelectPrimitives(table, cpuClass);
  table.ForEachRow([](auto& row) { EXPECT_NE(row.slot(), nullptr); });
}

// A processor of today: SSE2, AVX and AVX2 claimed, the 256-bit state
// saved by the operating system unless told otherwise.
CpuProbe Avx2Processor(bool osSavesYmm = true, bool avx2 = true) {
  CpuProbe p = Intel(6, kMmx | kSse | kSse2 | kTsc, (1u << 27) | (1u << 28));
  p.leaf7 = {0, avx2 ? 1u << 5 : 0u, 0, 0};
  p.osSavesYmm = osSavesYmm;
  return p;
}

TEST(ProcessorFeatures, Avx2NeedsTheProcessorAndTheOperatingSystem) {
  EXPECT_TRUE(platform::HasAvx2(Avx2Processor()));
  EXPECT_EQ(ProbeFeatures(Avx2Processor()), 0xCFu | FeatureAvx2);
  EXPECT_FALSE(platform::HasAvx2(Avx2Processor(false)));
  EXPECT_EQ(ProbeFeatures(Avx2Processor(false)), 0xCFu);
  EXPECT_FALSE(platform::HasAvx2(Avx2Processor(true, false)));
  CpuProbe noAvx = Avx2Processor();
  noAvx.leaf1.ecx &= ~(1u << 28);
  EXPECT_FALSE(platform::HasAvx2(noAvx));
  CpuProbe oldLeaves = Avx2Processor();
  oldLeaves.leaf0.eax = 6;  // leaf 7 not there: its bits mean nothing
  EXPECT_FALSE(platform::HasAvx2(oldLeaves));
  EXPECT_FALSE(platform::HasAvx2(CpuProbe{}));
  // The class does not change: processors of today stay class 0.
  EXPECT_EQ(CpuClassOf(Avx2Processor()), CpuClassOf(Avx2Processor(false)));
}

TEST(Selection, Avx2FormsReplaceTheSse2Slots) {
  PrimitiveTable table = MakeInitialPrimitiveTable();
  EXPECT_EQ(SelectAvx2Forms(table, ProbeFeatures(Avx2Processor(false))), 0);
#if defined(TAVRIN_AVX2_FORMS)
  EXPECT_EQ(SelectAvx2Forms(table, ProbeFeatures(Avx2Processor())), 5);
  EXPECT_EQ(table.InverseDct8x8.slot(), &avx2::InverseDct8x8);
  EXPECT_EQ(table.ReconstructInter.slot(), &avx2::ReconstructInter);
  EXPECT_EQ(table.ReconstructIntraCoded.slot(), &avx2::ReconstructIntraCoded);
  EXPECT_EQ(table.ReconstructIntraUncoded.slot(), &avx2::ReconstructIntraUncoded);
  EXPECT_EQ(table.PredictHalfSample16x16.slot(), &avx2::PredictHalfSample16x16);
  // The candidates stay as they were; a second selection changes nothing.
  EXPECT_EQ(table.InverseDct8x8.candidate(1), &sse2::InverseDct8x8);
  EXPECT_EQ(SelectAvx2Forms(table, ProbeFeatures(Avx2Processor())), 0);
  // A row holding a portable form keeps it.
  PrimitiveTable portable = MakeInitialPrimitiveTable();
  portable.InverseDct8x8.SetCandidate(1, &reference::InverseDct8x8);
  portable.InverseDct8x8.Take(1);
  SelectAvx2Forms(portable, ProbeFeatures(Avx2Processor()));
  EXPECT_EQ(portable.InverseDct8x8.slot(), &reference::InverseDct8x8);
#endif
}

TEST(Selection, Avx2RoutinesOnlyWithAvx2) {
  EXPECT_EQ(SelectAvx2Routines(ProbeFeatures(Avx2Processor(false))), 0);
#if defined(TAVRIN_AVX2_FORMS)
  // The process-wide sets change only where this processor runs AVX2.
  if ((ProbeFeatures(platform::ReadCpuProbe()) & FeatureAvx2) == 0) GTEST_SKIP() << "no AVX2";
  SelectAvx2Routines(FeatureAvx2);
  EXPECT_EQ(reconstructionRoutines.reconstructInterAdd.get(), &avx2::ReconstructInterAdd);
  EXPECT_EQ(reconstructionRoutines.reconstructShortHeaderInterAdd.get(),
            &avx2::ReconstructShortHeaderInterAdd);
  EXPECT_EQ(motionRoutines.predictBidirectional16x16.get(), &avx2::PredictBidirectional16x16);
  EXPECT_EQ(quarterSampleRoutines.predict8x8.get(), &avx2::PredictQuarterSample8x8);
  EXPECT_EQ(quarterSampleRoutines.predictAverage16x16.get(),
            &avx2::PredictQuarterSampleAverage16x16);
  // The chroma pairs keep their SSE2 forms.
  EXPECT_EQ(motionRoutines.predictBidirectionalChroma.get(), &sse2::PredictBidirectionalChroma);
  EXPECT_EQ(SelectAvx2Routines(FeatureAvx2), 0);
#endif
}

void RaiseIllegalInstruction() { raise(SIGILL); }
void DoNothing() {}

TEST(Platform, IllegalInstructionGuard) {
  EXPECT_FALSE(platform::RunsWithoutIllegalInstruction(RaiseIllegalInstruction));
  EXPECT_TRUE(platform::RunsWithoutIllegalInstruction(DoNothing));
}

}  // namespace
}  // namespace tavrin
