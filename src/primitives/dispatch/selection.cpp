#include "primitives/dispatch/selection.h"

#include "primitives/blockcopy/blockcopy.h"
#include "primitives/blockcopy/motion_routines.h"
#include "primitives/blockcopy/quarter_sample_routines.h"
#include "primitives/reconstruction/alternate_scan_routines.h"
#include "primitives/reconstruction/reconstruction.h"
#include "primitives/reconstruction/reconstruction_routines.h"
#include "primitives/reconstruction/second_path_block_routines_sse2.h"

namespace tavrin {
namespace {

constexpr uint32_t Bit(uint32_t word, int bit) { return (word >> bit) & 1u; }

bool IsVendor(const platform::CpuProbe& p, uint32_t ebx, uint32_t edx, uint32_t ecx) {
  return p.leaf0.ebx == ebx && p.leaf0.edx == edx && p.leaf0.ecx == ecx;
}

bool IsGenuineIntel(const platform::CpuProbe& p) {
  return IsVendor(p, 0x756E6547u, 0x49656E69u, 0x6C65746Eu);
}

bool IsAuthenticAmd(const platform::CpuProbe& p) {
  return IsVendor(p, 0x68747541u, 0x69746E65u, 0x444D4163u);
}

}  // namespace

uint32_t ProbeFeatures(const platform::CpuProbe& p) {
  if (!p.hasCpuid || p.leaf0.eax == 0) return 0;
  uint32_t word = 0;
  const uint32_t edx = p.leaf1.edx;
  if (Bit(edx, 4)) word |= FeatureTimeStampCounter;
  if (Bit(edx, 23)) word |= FeatureMmx;
  if (Bit(edx, 25)) word |= FeatureSseOrExtendedMmx | FeatureSse;
  if (Bit(edx, 26)) word |= FeatureSse2;
  if (p.extendedLeaf0.eax > 0x80000000u && IsAuthenticAmd(p)) {
    const uint32_t ext = p.extendedLeaf1.edx;
    if (Bit(ext, 31)) word |= Feature3dNow;
    if (Bit(ext, 30)) word |= FeatureExtended3dNow;
    if (Bit(ext, 22)) word |= FeatureSseOrExtendedMmx;
  }
  // The operating-system check: the instruction sets the operating system
  // does not execute are taken back.
  word |= FeatureProbed;
  if ((word & FeatureSse) && !p.osExecutesSse) word &= ~static_cast<uint32_t>(FeatureSse);
  if ((word & FeatureSse2) && !p.osExecutesSse2) word &= ~static_cast<uint32_t>(FeatureSse2);
  if ((word & FeatureSse2) && platform::HasAvx2(p)) word |= FeatureAvx2;
  return word;
}

int32_t ProbeModel(const platform::CpuProbe& p) {
  if (!p.hasCpuid || !IsGenuineIntel(p)) return 0;
  const uint32_t family = (p.leaf1.eax >> 8) & 0xF;
  const bool mmx = Bit(p.leaf1.edx, 23);
  const bool sse = Bit(p.leaf1.edx, 25);
  const bool sse2 = Bit(p.leaf1.edx, 26);
  const bool sse3 = Bit(p.leaf1.ecx, 0);
  const bool severalLogical = Bit(p.leaf1.edx, 28) && ((p.leaf1.ebx >> 16) & 0xFF) > 1;
  switch (family) {
    case 7:
      return 16;
    case 15:
      if (!sse2) return 17;
      if (sse3) return 8;
      return severalLogical ? 7 : 6;
    case 5:
      return mmx ? 2 : 1;
    case 6:
      if (sse2) return 9;
      if (sse) return 5;
      return mmx ? 4 : 3;
    default:
      return 0;
  }
}

int32_t FeatureClassOf(uint32_t featureWord) {
  if (featureWord & FeatureSse2) return 2;
  if (featureWord & FeatureSse) return 1;
  return 0;
}

int32_t CpuClassOf(int32_t modelCode, uint32_t featureWord) {
  if (modelCode >= 0 && modelCode <= 4) return FeatureClassOf(featureWord);
  if (modelCode == 5) return 1;
  if (modelCode >= 6 && modelCode <= 8) return 2;
  return 0;
}

int32_t CpuClassOf(const platform::CpuProbe& probe) {
  return CpuClassOf(ProbeModel(probe), ProbeFeatures(probe));
}

int32_t RoutineClassOf(int32_t modelCode) {
  switch (modelCode) {
    case 5:
      return 1;
    case 6:
    case 7:
      return 2;
    case 8:
      return 3;
    default:
      return 0;
  }
}

int32_t ApplyVariant(PrimitiveTable& table, int32_t variant) {
  if (variant < 0 || variant > 3) return 0;
  bool complete = true;
  int32_t rows = 0;
  table.ForEachRow([&](auto& row) {
    if (!complete || rows >= kPrimitiveRowCount) return;
    complete = row.Take(variant);
    ++rows;
  });
  return complete ? 1 : 0;
}

int32_t SelectPrimitives(PrimitiveTable& table, int32_t cpuClass) {
  if (kPrimitiveRowCount <= 0 || cpuClass < 0 || cpuClass > 3) return 0;
  for (int32_t variant : preferenceRows[static_cast<size_t>(cpuClass)]) {
    if (variant == 4) return 0;
    if (ApplyVariant(table, variant)) return 1;
  }
  return 0;
}

namespace {

// Replaces the slot's SSE2 form by the AVX2 one; 1 when it did.
template <typename Slot, typename Fn>
int32_t Upgrade(Slot& slot, Fn sse2Form, Fn avx2Form) {
  if (slot.get() != sse2Form) return 0;
  slot.set(avx2Form);
  return 1;
}

// The same for a table row.
template <typename Fn>
int32_t UpgradeRow(PrimitiveRow<Fn>& row, Fn sse2Form, Fn avx2Form) {
  if (row.slot() != sse2Form) return 0;
  row.Install(avx2Form);
  return 1;
}

}  // namespace

int32_t SelectAvx2Forms([[maybe_unused]] PrimitiveTable& table,
                        [[maybe_unused]] uint32_t featureWord) {
  int32_t changed = 0;
#if defined(TAVRIN_AVX2_FORMS)
  if ((featureWord & FeatureAvx2) == 0) return 0;
  changed += UpgradeRow(table.ReconstructIntraCoded, &sse2::ReconstructIntraCoded,
                        &avx2::ReconstructIntraCoded);
  changed += UpgradeRow(table.ReconstructInter, &sse2::ReconstructInter, &avx2::ReconstructInter);
  changed += UpgradeRow(table.ReconstructIntraUncoded, &sse2::ReconstructIntraUncoded,
                        &avx2::ReconstructIntraUncoded);
  changed += UpgradeRow(table.InverseDct8x8, &sse2::InverseDct8x8, &avx2::InverseDct8x8);
  changed += UpgradeRow(table.PredictHalfSample16x16, &sse2::PredictHalfSample16x16,
                        &avx2::PredictHalfSample16x16);
#endif
  return changed;
}

int32_t SelectAvx2Routines([[maybe_unused]] uint32_t featureWord) {
  int32_t changed = 0;
#if defined(TAVRIN_AVX2_FORMS)
  if ((featureWord & FeatureAvx2) == 0) return 0;
  changed += Upgrade(reconstructionRoutines.reconstructInterAdd, &sse2::ReconstructInterAdd,
                     &avx2::ReconstructInterAdd);
  changed += Upgrade(reconstructionRoutines.reconstructShortHeaderIntra,
                     &sse2::ReconstructShortHeaderIntra, &avx2::ReconstructShortHeaderIntra);
  changed += Upgrade(reconstructionRoutines.reconstructShortHeaderInterAdd,
                     &sse2::ReconstructShortHeaderInterAdd, &avx2::ReconstructShortHeaderInterAdd);
  changed += Upgrade(alternateScanRoutines.reconstructInterAdd,
                     &sse2::ReconstructInterAddAlternate, &avx2::ReconstructInterAddAlternate);
  changed += Upgrade(motionRoutines.predictBidirectional16x16, &sse2::PredictBidirectional16x16,
                     &avx2::PredictBidirectional16x16);
  changed += Upgrade(quarterSampleRoutines.predict8x8, &sse2::PredictQuarterSample8x8,
                     &avx2::PredictQuarterSample8x8);
  changed += Upgrade(quarterSampleRoutines.predictAverage8x8,
                     &sse2::PredictQuarterSampleAverage8x8,
                     &avx2::PredictQuarterSampleAverage8x8);
  changed += Upgrade(quarterSampleRoutines.predict16x16, &sse2::PredictQuarterSample16x16,
                     &avx2::PredictQuarterSample16x16);
  changed += Upgrade(quarterSampleRoutines.predictAverage16x16,
                     &sse2::PredictQuarterSampleAverage16x16,
                     &avx2::PredictQuarterSampleAverage16x16);
#endif
  return changed;
}

int32_t SelectPrimitives() {
  const platform::CpuProbe probe = platform::ReadCpuProbe();
  const int32_t selected = SelectPrimitives(primitives, CpuClassOf(probe));
  const uint32_t features = ProbeFeatures(probe);
  SelectAvx2Forms(primitives, features);
  SelectAvx2Routines(features);
  return selected;
}

// On x86 the SSE2 forms of the transforms and the store, which give the
// same results as the portable ones, are installed instead of them.
void SelectBlockRoutines(BlockRoutineSet& set, int32_t modelCode) {
  const bool newer = RoutineClassOf(modelCode) >= 2;
#if defined(__SSE2__)
  namespace routines = blockroutines::sse2;
#else
  namespace routines = blockroutines;
#endif
  set.inverseTransform.set(newer ? routines::InverseTransformNewer
                                 : routines::InverseTransformOlder);
  set.transformAndStore.set(blockroutines::TransformAndStore);
  set.storeClamped.set(routines::StoreClamped);
  set.endSimdState.set(blockroutines::EndSimdState);
}

void SelectBlockRoutines() { SelectBlockRoutines(blockRoutines, ProbeModel(platform::ReadCpuProbe())); }

}  // namespace tavrin
