#include "complexity_estimation.h"

namespace tavrin::tool {

void ReadComplexityEstimation(HeaderBits& reader, ComplexityEstimation& c) {
  c.estimationMethod = static_cast<int>(reader.Read(2, "estimation_method"));
  if (c.estimationMethod != 0 && c.estimationMethod != 1) return;
  c.shapeComplexityEstimationDisable = reader.Flag("shape_complexity_estimation_disable");
  if (!c.shapeComplexityEstimationDisable) {
    c.opaque = reader.Flag("opaque");
    c.transparent = reader.Flag("transparent");
    c.intraCae = reader.Flag("intra_cae");
    c.interCae = reader.Flag("inter_cae");
    c.noUpdate = reader.Flag("no_update");
    c.upsampling = reader.Flag("upsampling");
  }
  c.textureComplexityEstimationSet1Disable = reader.Flag("texture_complexity_estimation_set_1_disable");
  if (!c.textureComplexityEstimationSet1Disable) {
    c.intraBlocks = reader.Flag("intra_blocks");
    c.interBlocks = reader.Flag("inter_blocks");
    c.inter4vBlocks = reader.Flag("inter4v_blocks");
    c.notCodedBlocks = reader.Flag("not_coded_blocks");
  }
  reader.Marker("texture_complexity_estimation_set_1");
  c.textureComplexityEstimationSet2Disable = reader.Flag("texture_complexity_estimation_set_2_disable");
  if (!c.textureComplexityEstimationSet2Disable) {
    c.dctCoefs = reader.Flag("dct_coefs");
    c.dctLines = reader.Flag("dct_lines");
    c.vlcSymbols = reader.Flag("vlc_symbols");
    c.vlcBits = reader.Flag("vlc_bits");
  }
  c.motionCompensationComplexityDisable = reader.Flag("motion_compensation_complexity_disable");
  if (!c.motionCompensationComplexityDisable) {
    c.apm = reader.Flag("apm");
    c.npm = reader.Flag("npm");
    c.interpolateMcQ = reader.Flag("interpolate_mc_q");
    c.forwBackMcQ = reader.Flag("forw_back_mc_q");
    c.halfpel2 = reader.Flag("halfpel2");
    c.halfpel4 = reader.Flag("halfpel4");
  }
  reader.Marker("the complexity estimation flags");
  if (c.estimationMethod == 1) {
    c.version2ComplexityEstimationDisable = reader.Flag("version2_complexity_estimation_disable");
    if (!c.version2ComplexityEstimationDisable) {
      c.sadct = reader.Flag("sadct");
      c.quarterpel = reader.Flag("quarterpel");
    }
  }
}

void SkipComplexityCounts(HeaderBits& reader, const ComplexityEstimation& c, CodingType type) {
  if (c.estimationMethod != 0 && c.estimationMethod != 1) return;
  auto count = [&](bool flag, const char* name) {
    if (flag) reader.Read(8, name);
  };
  auto shapeAndTexture = [&] {
    count(c.opaque, "dcecs_opaque");
    count(c.transparent, "dcecs_transparent");
    count(c.intraCae, "dcecs_intra_cae");
    count(c.interCae, "dcecs_inter_cae");
    count(c.noUpdate, "dcecs_no_update");
    count(c.upsampling, "dcecs_upsampling");
  };
  auto set1And2 = [&] {
    count(c.intraBlocks, "dcecs_intra_blocks");
    count(c.notCodedBlocks, "dcecs_not_coded_blocks");
    count(c.dctCoefs, "dcecs_dct_coefs");
    count(c.dctLines, "dcecs_dct_lines");
    count(c.vlcSymbols, "dcecs_vlc_symbols");
    if (c.vlcBits) reader.Read(4, "dcecs_vlc_bits");
  };
  auto motion = [&](bool interpolate) {
    count(c.interBlocks, "dcecs_inter_blocks");
    count(c.inter4vBlocks, "dcecs_inter4v_blocks");
    count(c.apm, "dcecs_apm");
    count(c.npm, "dcecs_npm");
    count(c.forwBackMcQ, "dcecs_forw_back_mc_q");
    count(c.halfpel2, "dcecs_halfpel2");
    count(c.halfpel4, "dcecs_halfpel4");
    if (interpolate) count(c.interpolateMcQ, "dcecs_interpolate_mc_q");
  };
  switch (type) {
    case CodingType::kIntra:
      shapeAndTexture();
      set1And2();
      count(c.sadct, "dcecs_sadct");
      break;
    case CodingType::kPredicted:
      shapeAndTexture();
      set1And2();
      motion(false);
      count(c.sadct, "dcecs_sadct");
      count(c.quarterpel, "dcecs_quarterpel");
      break;
    case CodingType::kBidirectional:
      shapeAndTexture();
      set1And2();
      motion(true);
      count(c.sadct, "dcecs_sadct");
      count(c.quarterpel, "dcecs_quarterpel");
      break;
    case CodingType::kSprite:
      set1And2();
      motion(true);
      count(c.quarterpel, "dcecs_quarterpel");
      break;
  }
}

}  // namespace tavrin::tool
