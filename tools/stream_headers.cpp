#include "stream_headers.h"

#include <algorithm>
#include <numeric>

#include "complexity_estimation.h"
#include "elementary_stream.h"
#include "header_bit_reader.h"
#include "short_header.h"

namespace tavrin::tool {

const std::array<uint8_t, 64> kZigzagScan = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

const std::array<uint8_t, 64> kDefaultIntraQuantMatrix = {
    8,  17, 18, 19, 21, 23, 25, 27,  //
    17, 18, 19, 21, 23, 25, 27, 28,  //
    20, 21, 22, 23, 24, 26, 28, 30,  //
    21, 22, 23, 24, 26, 28, 30, 32,  //
    22, 23, 24, 26, 28, 30, 32, 35,  //
    23, 24, 26, 28, 30, 32, 35, 38,  //
    25, 26, 28, 30, 32, 35, 38, 41,  //
    27, 28, 30, 32, 35, 38, 41, 45};

const std::array<uint8_t, 64> kDefaultNonintraQuantMatrix = {
    16, 17, 18, 19, 20, 21, 22, 23,  //
    17, 18, 19, 20, 21, 22, 23, 24,  //
    18, 19, 20, 21, 22, 23, 24, 25,  //
    19, 20, 21, 22, 23, 24, 26, 27,  //
    20, 21, 22, 23, 25, 26, 27, 28,  //
    21, 22, 23, 24, 26, 27, 28, 30,  //
    22, 23, 24, 26, 27, 28, 30, 31,  //
    23, 24, 25, 27, 28, 30, 31, 33};

namespace {

// Up to 64 values in zigzag order; a 0 ends the list and the last value
// stored fills the remaining positions.
void ReadQuantMatrix(HeaderBits& reader, std::array<uint8_t, 64>& matrix, const char* element) {
  int k = 0;
  uint8_t last = 0;
  for (; k < 64; ++k) {
    const uint8_t value = static_cast<uint8_t>(reader.Read(8, element));
    if (value == 0) break;
    matrix[kZigzagScan[k]] = value;
    last = value;
  }
  if (k == 0) throw HeaderError{std::string(element) + " starts with 0"};
  for (; k < 64; ++k) matrix[kZigzagScan[k]] = last;
}

std::string Join(const std::vector<std::string>& parts) {
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += i + 1 == parts.size() ? " and " : ", ";
    text += parts[i];
  }
  return text;
}

// One difference of an S picture's warping-point trajectory: a length code
// (00 for 0, 010 to 110 for 1 to 5, then 1110, 11110, ... up to twelve bits
// for 6 to 14), that many bits whose leading 0 marks a negative value, and a
// marker bit.
int ReadWarpingDifference(HeaderBits& r) {
  int length = 0;
  const uint32_t first = r.Read(2, "a warping point's length");
  if (first != 0) {
    const uint32_t code = (first << 1) | r.Read(1, "a warping point's length");
    if (code < 7) {
      length = static_cast<int>(code) - 1;
    } else {
      int ones = 3;
      while (r.Flag("a warping point's length")) {
        if (++ones == 12) throw HeaderError{"a warping point's length code does not exist"};
      }
      length = ones + 3;
    }
  }
  int value = 0;
  if (length > 0) {
    const int code = static_cast<int>(r.Read(length, "a warping point"));
    value = (code >> (length - 1)) ? code : code - (1 << length) + 1;
  }
  r.Marker("a warping point");
  return value;
}

}  // namespace

int TimeIncrementBits(int resolution) {
  int bits = 1;
  for (unsigned value = static_cast<unsigned>(resolution); value > 1; value >>= 1) ++bits;
  return bits;
}

int CodedTimeIncrementBits(int resolution) {
  int bits = 1;
  while (bits < 16 && (1 << bits) < resolution) ++bits;
  return bits;
}

std::string LayerHeaderResult::RefusalReason() const { return Join(refusals); }

std::string LayerHeaderResult::DecoderRefusal() const {
  if (!ok()) return "the video object layer header cannot be read: " + error;
  if (!refusals.empty()) return "the stream uses " + RefusalReason() + ", which the decoder does not support";
  if (layer.videoObjectLayerWidth < 1 || layer.videoObjectLayerHeight < 1) {
    return "the video object layer header gives no picture size";
  }
  return {};
}

LayerHeaderResult ParseVideoObjectLayer(std::span<const uint8_t> bytes) {
  if (BeginsWithShortHeader(bytes)) return ParseShortHeaderLayer(bytes);
  LayerHeaderResult result;
  VideoObjectLayer& v = result.layer;
  std::size_t start = bytes.size();
  for (const StartCode& code : FindStartCodes(bytes)) {
    if (IsVideoObjectLayer(code.value)) {
      start = code.offset;
      break;
    }
  }
  if (start == bytes.size()) {
    result.error = "no video object layer start code (00 00 01 20..2F) found";
    return result;
  }
  v.videoObjectLayerId = bytes[start + 3] & 0x0F;
  v.intraQuantMat = kDefaultIntraQuantMatrix;
  v.nonintraQuantMat = kDefaultNonintraQuantMatrix;
  auto refuse = [&](const char* reason) { result.refusals.emplace_back(reason); };

  HeaderBits r(bytes, start + 4);
  try {
    v.randomAccessibleVol = r.Flag("random_accessible_vol");
    v.videoObjectTypeIndication = static_cast<int>(r.Read(8, "video_object_type_indication"));
    v.isObjectLayerIdentifier = r.Flag("is_object_layer_identifier");
    if (v.isObjectLayerIdentifier) {
      v.videoObjectLayerVerid = static_cast<int>(r.Read(4, "video_object_layer_verid"));
      v.videoObjectLayerPriority = static_cast<int>(r.Read(3, "video_object_layer_priority"));
    }
    v.aspectRatioInfo = static_cast<int>(r.Read(4, "aspect_ratio_info"));
    if (v.aspectRatioInfo == 15) {
      v.parWidth = static_cast<int>(r.Read(8, "par_width"));
      v.parHeight = static_cast<int>(r.Read(8, "par_height"));
    }
    v.volControlParameters = r.Flag("vol_control_parameters");
    if (v.volControlParameters) {
      v.chromaFormat = static_cast<int>(r.Read(2, "chroma_format"));
      if (v.chromaFormat != 1) refuse("a chroma format other than 4:2:0");
      v.lowDelay = r.Flag("low_delay");
      v.vbvParameters = r.Flag("vbv_parameters");
      if (v.vbvParameters) {
        const uint32_t bitRateHigh = r.Read(15, "first_half_bit_rate");
        r.Marker("first_half_bit_rate");
        const uint32_t bitRateLow = r.Read(15, "latter_half_bit_rate");
        r.Marker("latter_half_bit_rate");
        v.bitRate = (bitRateHigh << 15) | bitRateLow;
        const uint32_t bufferHigh = r.Read(15, "first_half_vbv_buffer_size");
        r.Marker("first_half_vbv_buffer_size");
        const uint32_t bufferLow = r.Read(3, "latter_half_vbv_buffer_size");
        v.vbvBufferSize = (bufferHigh << 3) | bufferLow;
        const uint32_t occupancyHigh = r.Read(11, "first_half_vbv_occupancy");
        r.Marker("first_half_vbv_occupancy");
        const uint32_t occupancyLow = r.Read(15, "latter_half_vbv_occupancy");
        r.Marker("latter_half_vbv_occupancy");
        v.vbvOccupancy = (occupancyHigh << 15) | occupancyLow;
      }
    }
    v.videoObjectLayerShape = static_cast<LayerShape>(r.Read(2, "video_object_layer_shape"));
    if (v.videoObjectLayerShape != LayerShape::kRectangular) {
      // The rest of the header differs for other shapes; the decoder stops
      // here and so does this reading.
      refuse("a shape that is not rectangular");
      return result;
    }
    r.Marker("video_object_layer_shape");
    v.vopTimeIncrementResolution = static_cast<int>(r.Read(16, "vop_time_increment_resolution"));
    if (v.vopTimeIncrementResolution == 0) throw HeaderError{"vop_time_increment_resolution is 0"};
    v.vopTimeIncrementBits = TimeIncrementBits(v.vopTimeIncrementResolution);
    v.codedTimeIncrementBits = CodedTimeIncrementBits(v.vopTimeIncrementResolution);
    if (v.codedTimeIncrementBits != v.vopTimeIncrementBits) {
      result.warnings.push_back("the time resolution " + std::to_string(v.vopTimeIncrementResolution) +
                                " is a power of two: the decoder reads time increments with " +
                                std::to_string(v.vopTimeIncrementBits) + " bits where the stream has " +
                                std::to_string(v.codedTimeIncrementBits) +
                                ", so it does not read this stream's headers as written");
    }
    r.Marker("vop_time_increment_resolution");
    v.fixedVopRate = r.Flag("fixed_vop_rate");
    if (v.fixedVopRate) {
      v.fixedVopTimeIncrement = static_cast<int>(r.Read(v.codedTimeIncrementBits, "fixed_vop_time_increment"));
    }
    r.Marker("fixed_vop_rate");
    v.videoObjectLayerWidth = static_cast<int>(r.Read(13, "video_object_layer_width"));
    r.Marker("video_object_layer_width");
    v.videoObjectLayerHeight = static_cast<int>(r.Read(13, "video_object_layer_height"));
    r.Marker("video_object_layer_height");
    v.interlaced = r.Flag("interlaced");
    v.obmcDisable = r.Flag("obmc_disable");
    if (!v.obmcDisable) refuse("overlapped block motion compensation");
    v.spriteEnable = static_cast<SpriteMode>(r.Read(v.videoObjectLayerVerid == 1 ? 1 : 2, "sprite_enable"));
    if (v.spriteEnable != SpriteMode::kNone) {
      // Global motion compensation is decoded; static sprites are not.
      if (v.spriteEnable == SpriteMode::kStatic) refuse("static sprites");
      if (v.spriteEnable == SpriteMode::kReserved) {
        refuse("a reserved sprite mode");
        return result;
      }
      if (v.spriteEnable == SpriteMode::kStatic) {
        r.Read(13, "sprite_width");
        r.Marker("sprite_width");
        r.Read(13, "sprite_height");
        r.Marker("sprite_height");
        r.Read(13, "sprite_left_coordinate");
        r.Marker("sprite_left_coordinate");
        r.Read(13, "sprite_top_coordinate");
        r.Marker("sprite_top_coordinate");
      }
      v.noOfSpriteWarpingPoints = static_cast<int>(r.Read(6, "no_of_sprite_warping_points"));
      v.spriteWarpingAccuracy = static_cast<int>(r.Read(2, "sprite_warping_accuracy"));
      v.spriteBrightnessChange = r.Flag("sprite_brightness_change");
      if (v.spriteEnable == SpriteMode::kStatic) r.Read(1, "low_latency_sprite_enable");
      if (v.spriteEnable == SpriteMode::kGlobalMotionCompensation) {
        if (v.noOfSpriteWarpingPoints > 3) refuse("global motion with more than three warping points");
        if (v.spriteBrightnessChange) refuse("sprite brightness change");
      }
    }
    v.not8Bit = r.Flag("not_8_bit");
    if (v.not8Bit) {
      v.quantPrecision = static_cast<int>(r.Read(4, "quant_precision"));
      v.bitsPerPixel = static_cast<int>(r.Read(4, "bits_per_pixel"));
      // The decoder takes 8-bit samples with a 5-bit quantiser only.
      if (v.bitsPerPixel > 8) {
        refuse("more than 8 bits per sample");
      } else if (v.bitsPerPixel < 8) {
        refuse("fewer than 8 bits per sample");
      } else {
        refuse("a quantiser precision other than 5 bits");
      }
    }
    v.quantType = static_cast<int>(r.Read(1, "quant_type"));
    if (v.quantType == 1) {
      v.loadIntraQuantMat = r.Flag("load_intra_quant_mat");
      if (v.loadIntraQuantMat) ReadQuantMatrix(r, v.intraQuantMat, "intra_quant_mat");
      v.loadNonintraQuantMat = r.Flag("load_nonintra_quant_mat");
      if (v.loadNonintraQuantMat) ReadQuantMatrix(r, v.nonintraQuantMat, "nonintra_quant_mat");
    }
    if (v.videoObjectLayerVerid != 1) {
      v.quarterSample = r.Flag("quarter_sample");
    }
    v.complexityEstimationDisable = r.Flag("complexity_estimation_disable");
    if (!v.complexityEstimationDisable) ReadComplexityEstimation(r, v.complexityEstimation);
    v.resyncMarkerDisable = r.Flag("resync_marker_disable");
    v.dataPartitioned = r.Flag("data_partitioned");
    if (v.dataPartitioned) v.reversibleVlc = r.Flag("reversible_vlc");
    if (v.videoObjectLayerVerid != 1) {
      v.newpredEnable = r.Flag("newpred_enable");
      if (v.newpredEnable) {
        refuse("newpred (upstream messages)");
        v.requestedUpstreamMessageType = static_cast<int>(r.Read(2, "requested_upstream_message_type"));
        v.newpredSegmentType = r.Flag("newpred_segment_type");
      }
      v.reducedResolutionVopEnable = r.Flag("reduced_resolution_vop_enable");
    }
    v.scalability = r.Flag("scalability");
    if (v.scalability) refuse("scalability");
    v.complete = true;
  } catch (const HeaderError& e) {
    result.error = e.what;
  }
  return result;
}

Ratio PixelAspectRatio(const VideoObjectLayer& layer) {
  switch (layer.aspectRatioInfo) {
    case 1:
      return {1, 1};
    case 2:
      return {12, 11};
    case 3:
      return {10, 11};
    case 4:
      return {16, 11};
    case 5:
      return {40, 33};
    case 15:
      if (layer.parWidth > 0 && layer.parHeight > 0) {
        const int g = std::gcd(layer.parWidth, layer.parHeight);
        return {layer.parWidth / g, layer.parHeight / g};
      }
      return {0, 0};
    default:
      return {0, 0};
  }
}

Ratio FixedFrameRate(const VideoObjectLayer& layer) {
  if (!layer.fixedVopRate || layer.fixedVopTimeIncrement <= 0 || layer.vopTimeIncrementResolution <= 0) {
    return {0, 0};
  }
  const int g = std::gcd(layer.vopTimeIncrementResolution, layer.fixedVopTimeIncrement);
  return {layer.vopTimeIncrementResolution / g, layer.fixedVopTimeIncrement / g};
}

char CodingTypeLetter(CodingType type) { return "IPBS"[static_cast<int>(type) & 3]; }

PictureHeaderResult ParsePictureHeader(std::span<const uint8_t> bytes, const VideoObjectLayer& layer) {
  if (layer.shortVideoHeader) return ParseShortHeaderPicture(bytes);
  PictureHeaderResult result;
  PictureHeader& h = result.header;
  const std::size_t start = FindStartCode(bytes, kVideoObjectPlane);
  if (start == bytes.size()) {
    result.error = "no picture start code (00 00 01 B6) found";
    return result;
  }
  if (layer.codedTimeIncrementBits <= 0) {
    result.error = "the layer header gives no time increment size";
    return result;
  }
  HeaderBits r(bytes, start + 4);
  try {
    h.vopCodingType = static_cast<CodingType>(r.Read(2, "vop_coding_type"));
    while (r.Flag("modulo_time_base")) ++h.moduloTimeBase;
    r.Marker("modulo_time_base");
    h.vopTimeIncrement = static_cast<int>(r.Read(layer.codedTimeIncrementBits, "vop_time_increment"));
    r.Marker("vop_time_increment");
    h.vopCoded = r.Flag("vop_coded");
    if (!h.vopCoded) return result;

    // The rest is read for rectangular layers only, and of sprite pictures
    // only those with global motion (static sprites carry more).
    if (layer.videoObjectLayerShape != LayerShape::kRectangular) return result;
    const bool globalMotion =
        h.vopCodingType == CodingType::kSprite && layer.spriteEnable == SpriteMode::kGlobalMotionCompensation;
    if (h.vopCodingType == CodingType::kSprite && layer.spriteEnable != SpriteMode::kNone && !globalMotion) {
      return result;
    }
    if (globalMotion && layer.noOfSpriteWarpingPoints > 3) return result;
    if (layer.newpredEnable) {
      const int idBits = std::min(layer.codedTimeIncrementBits + 3, 15);
      r.Read(idBits, "vop_id");
      if (r.Flag("vop_id_for_prediction_indication")) r.Read(idBits, "vop_id_for_prediction");
      r.Marker("vop_id");
    }
    if (h.vopCodingType == CodingType::kPredicted ||
        (h.vopCodingType == CodingType::kSprite && layer.spriteEnable == SpriteMode::kGlobalMotionCompensation)) {
      h.vopRoundingType = static_cast<int>(r.Read(1, "vop_rounding_type"));
    }
    if (layer.reducedResolutionVopEnable &&
        (h.vopCodingType == CodingType::kPredicted || h.vopCodingType == CodingType::kSprite)) {
      h.vopReducedResolution = r.Flag("vop_reduced_resolution");
    }
    if (!layer.complexityEstimationDisable) SkipComplexityCounts(r, layer.complexityEstimation, h.vopCodingType);
    h.intraDcVlcThr = static_cast<int>(r.Read(3, "intra_dc_vlc_thr"));
    if (layer.interlaced) {
      h.topFieldFirst = r.Flag("top_field_first");
      h.alternateVerticalScanFlag = r.Flag("alternate_vertical_scan_flag");
    }
    if (globalMotion) {
      h.warpingPoints = layer.noOfSpriteWarpingPoints;
      for (int i = 0; i < h.warpingPoints; ++i) {
        h.du[static_cast<std::size_t>(i)] = ReadWarpingDifference(r);
        h.dv[static_cast<std::size_t>(i)] = ReadWarpingDifference(r);
      }
    }
    h.vopQuant = static_cast<int>(r.Read(layer.quantPrecision, "vop_quant"));
    if (h.vopCodingType != CodingType::kIntra) h.vopFcodeForward = static_cast<int>(r.Read(3, "vop_fcode_forward"));
    if (h.vopCodingType == CodingType::kBidirectional) {
      h.vopFcodeBackward = static_cast<int>(r.Read(3, "vop_fcode_backward"));
    }
    h.macroblockBit = r.position();
    h.detailsKnown = true;
  } catch (const HeaderError& e) {
    result.error = e.what;
  }
  return result;
}

}  // namespace tavrin::tool
