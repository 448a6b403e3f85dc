// Processor classification and the selection of primitive variants and of
// the second path's block routines.  Classification is a pure function of
// what the processor reports (platform::CpuProbe), so any processor can be
// fed to it.
#pragma once

#include <array>
#include <cstdint>

#include "platform/cpu_probe.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/reconstruction/second_path_block_routines.h"

namespace tavrin {

// CpuFeatureWord bits.
enum CpuFeature : uint32_t {
  FeatureMmx = 0x01,
  FeatureSseOrExtendedMmx = 0x02,
  FeatureSse = 0x04,
  FeatureSse2 = 0x08,
  Feature3dNow = 0x10,
  FeatureExtended3dNow = 0x20,
  FeatureTimeStampCounter = 0x40,
  FeatureProbed = 0x80,
  FeatureAvx2 = 0x100,  // AVX2, with the operating system saving its registers
};

// Variants to try per processor class, in order, ending at the first 4.
inline constexpr std::array<std::array<int32_t, 5>, 4> preferenceRows{{
    {0, 4, 4, 4, 4},
    {1, 0, 4, 4, 4},
    {2, 1, 0, 4, 4},
    {3, 2, 1, 0, 4},
}};

uint32_t ProbeFeatures(const platform::CpuProbe& probe);  // CpuFeatureWord
int32_t ProbeModel(const platform::CpuProbe& probe);      // CpuModelCode, 0 = not classified
int32_t FeatureClassOf(uint32_t featureWord);             // 0..2
int32_t CpuClassOf(int32_t modelCode, uint32_t featureWord);
int32_t CpuClassOf(const platform::CpuProbe& probe);
int32_t RoutineClassOf(int32_t modelCode);

// Writes the variant's candidate of every row into its slot, in row order;
// stops with 0 at the first row without such a candidate (earlier rows keep
// what was just written).  1 when every row took it.
int32_t ApplyVariant(PrimitiveTable& table, int32_t variant);

// Fills the table for a processor class; 1 when a variant was applied.
int32_t SelectPrimitives(PrimitiveTable& table, int32_t cpuClass);
// The same for the running processor and the process-wide table.
int32_t SelectPrimitives();

// Where featureWord holds FeatureAvx2, every row whose slot holds an SSE2
// form with an AVX2 counterpart takes the AVX2 form, whatever variant put
// the SSE2 form there (processors of today are classified 0 and run the
// initial variant-1 slots); other rows, and every row without AVX2, keep
// their slots.  The number of rows changed.
int32_t SelectAvx2Forms(PrimitiveTable& table, uint32_t featureWord);
// The same for the process-wide routine sets beside the table (the
// reconstruct-and-add and motion-compensation routines).
int32_t SelectAvx2Routines(uint32_t featureWord);

void SelectBlockRoutines(BlockRoutineSet& set, int32_t modelCode);
// The same for the running processor and the process-wide set.
void SelectBlockRoutines();

}  // namespace tavrin
