#include "support/stream_builder.h"

#include <cstdlib>

namespace testsupport {

BitWriter& BitWriter::Put(uint32_t value, int n) {
  for (int i = n - 1; i >= 0; --i) {
    if (bits_ % 8 == 0) bytes_.push_back(0);
    if ((value >> i) & 1u) bytes_.back() |= static_cast<uint8_t>(0x80u >> (bits_ % 8));
    ++bits_;
  }
  return *this;
}

BitWriter& BitWriter::Stuff() {
  Bit(0);
  while (bits_ % 8) Bit(1);
  return *this;
}

BitWriter& BitWriter::ZeroPad() {
  while (bits_ % 8) Bit(0);
  return *this;
}

BitWriter& BitWriter::Bytes(const std::vector<uint8_t>& bytes) {
  for (uint8_t b : bytes) Put(b, 8);
  return *this;
}

std::vector<uint8_t> BitWriter::Take() {
  std::vector<uint8_t> out;
  out.swap(bytes_);
  bits_ = 0;
  return out;
}

namespace {

// Bits of vop_time_increment: enough for 0 to resolution - 1, at least 1.
int Bits(int resolution) {
  int bits = 1;
  while (bits < 16 && (1 << bits) < resolution) ++bits;
  return bits;
}

}  // namespace

std::vector<uint8_t> MakeLayerHeader(const LayerSpec& s) {
  BitWriter w;
  int markerIndex = 0;
  auto marker = [&] { w.Bit(markerIndex++ == s.badMarker ? 0 : 1); };
  w.Put(0x00000100, 32);
  w.Put(0x00000120u | static_cast<uint32_t>(s.layerId), 32);
  w.Bit(0);         // random_accessible_vol
  w.Put(1, 8);      // video_object_type_indication: simple
  w.Bit(s.objectLayerIdentifier);
  if (s.objectLayerIdentifier) {
    w.Put(static_cast<uint32_t>(s.verid), 4);
    w.Put(1, 3);
  }
  w.Put(static_cast<uint32_t>(s.aspectRatio), 4);
  if (s.aspectRatio == 15) w.Put(12, 8).Put(11, 8);
  w.Bit(s.volControl);
  if (s.volControl) {
    w.Put(static_cast<uint32_t>(s.chromaFormat), 2);
    w.Bit(1);  // low_delay
    w.Bit(s.vbv);
    if (s.vbv) {
      w.Put(100, 15); marker();
      w.Put(0, 15); marker();
      w.Put(50, 15); marker();
      w.Put(0, 3);
      w.Put(10, 11); marker();
      w.Put(0, 15); marker();
    }
  }
  w.Put(static_cast<uint32_t>(s.shape), 2);
  marker();
  w.Put(static_cast<uint32_t>(s.resolution), 16);
  marker();
  w.Bit(s.fixedRate);
  const int verid = s.objectLayerIdentifier ? s.verid : 1;
  if (s.fixedRate) w.Put(static_cast<uint32_t>(s.fixedIncrement), Bits(s.resolution));
  marker();
  w.Put(static_cast<uint32_t>(s.width), 13);
  marker();
  w.Put(static_cast<uint32_t>(s.height), 13);
  marker();
  w.Bit(s.interlaced);
  w.Bit(s.obmcDisable);
  w.Put(static_cast<uint32_t>(s.spriteEnable), verid == 1 ? 1 : 2);
  if (s.spriteEnable == 2) {
    w.Put(static_cast<uint32_t>(s.warpingPoints), 6);
    w.Put(static_cast<uint32_t>(s.warpingAccuracy), 2);
    w.Bit(s.brightnessChange);
  }
  w.Bit(s.not8Bit);
  w.Bit(s.quantType);
  if (s.quantType) {
    for (const std::vector<int>* m : {&s.intraMatrix, &s.nonintraMatrix}) {
      w.Bit(!m->empty());
      for (int v : *m) w.Put(static_cast<uint32_t>(v), 8);
    }
  }
  if (verid != 1) w.Bit(s.quarterSample);
  w.Bit(!s.complexityEstimation);
  if (s.complexityEstimation) {
    w.Put(static_cast<uint32_t>(s.estimationMethod), 2);
    if (s.estimationMethod == 0 || s.estimationMethod == 1) {
      w.Bit(0);  // shape estimation enabled
      w.Bit(1);  // opaque
      for (int i = 0; i < 5; ++i) w.Bit(s.estimateOpaqueOnly ? 0 : 1);
      w.Bit(1);  // texture set 1 disabled
      marker();
      w.Bit(1);  // texture set 2 disabled
      w.Bit(1);  // motion compensation disabled
    }
    marker();
    if (s.estimationMethod == 1) w.Bit(1);  // version 2 disabled
  }
  w.Bit(s.resyncMarkerDisable);
  w.Bit(s.dataPartitioned);
  if (s.dataPartitioned) w.Bit(s.reversibleVlc);
  if (verid != 1) {
    w.Bit(s.newpred);
    w.Bit(s.reducedResolution);
  }
  w.Bit(s.scalability);
  w.Stuff();
  return w.Take();
}

void PutWarpingDifference(BitWriter& w, int d) {
  // The length code: 00 for 0, 010 to 110 for lengths 1 to 5, then 1110
  // with one more leading 1 per length up to 14.
  int length = 0;
  while ((1 << length) <= std::abs(d)) ++length;
  if (length == 0) {
    w.Put(0, 2);
  } else if (length <= 5) {
    w.Put(static_cast<uint32_t>(length + 1), 3);
  } else {
    w.Put((1u << (length - 2)) - 2, length - 2);  // length - 3 ones, then a 0
  }
  if (length > 0) w.Put(static_cast<uint32_t>(d > 0 ? d : d + (1 << length) - 1), length);
  w.Bit(1);  // marker
}

std::vector<uint8_t> MakePictureHeader(const PictureSpec& s) {
  BitWriter w;
  w.Put(0x000001B6, 32);
  w.Put(static_cast<uint32_t>(s.codingType), 2);
  for (int i = 0; i < s.moduloTimeBase; ++i) w.Bit(1);
  w.Bit(0);
  w.Bit(1);
  w.Put(static_cast<uint32_t>(s.timeIncrement), s.timeBits);
  w.Bit(1);
  w.Bit(s.coded);
  if (s.coded) {
    if (s.codingType == 1 || (s.codingType == 3 && s.globalMotion)) w.Bit(s.roundingType);
    if (s.reducedResolution >= 0) w.Bit(s.reducedResolution);
    for (int i = 0; i < s.estimationBits; ++i) w.Bit(i & 1);
    w.Put(static_cast<uint32_t>(s.intraDcVlcThr), 3);
    if (s.topFieldFirst >= 0) w.Bit(s.topFieldFirst).Bit(s.alternateScan);
    for (size_t i = 0; i < s.du.size(); ++i) {
      PutWarpingDifference(w, s.du[i]);
      PutWarpingDifference(w, i < s.dv.size() ? s.dv[i] : 0);
    }
    w.Put(static_cast<uint32_t>(s.quant), 5);
    if (s.codingType != 0) w.Put(static_cast<uint32_t>(s.fcodeForward), 3);
    if (s.codingType == 2) w.Put(static_cast<uint32_t>(s.fcodeBackward), 3);
  }
  for (int i = 0; i < s.skippedMacroblocks; ++i) w.Bit(1);
  // Zero macroblock data: the first macroblock code is invalid, so the
  // picture decoders stop before writing anything.
  w.ZeroPad();
  w.Bytes({0x00, 0x00, 0x00, 0x00});
  return w.Take();
}

std::vector<uint8_t> MakeShortHeaderPicture(const ShortHeaderSpec& s, const std::vector<uint8_t>& macroblocks) {
  BitWriter w;
  if (s.videoObjectInFront) w.Put(0x00000100, 32);
  w.Put(0x20, 22);  // 0000 0000 0000 0000 1000 00
  w.Put(static_cast<uint32_t>(s.temporalReference), 8);
  w.Bit(s.marker).Bit(s.zero).Bit(s.splitScreen).Bit(s.documentCamera).Bit(s.freezeRelease);
  w.Put(static_cast<uint32_t>(s.sourceFormat), 3);
  if (s.sourceFormat != 7) {
    w.Bit(s.codingType).Bit(s.unrestrictedVectors).Bit(s.arithmeticCoding).Bit(s.advancedPrediction);
    w.Bit(s.pbFrames);
    w.Put(static_cast<uint32_t>(s.quant), 5);
    w.Bit(s.continuousPresence);
    for (int spare : s.spareBytes) w.Bit(1).Put(static_cast<uint32_t>(spare), 8);
    w.Bit(0);
  }
  for (uint8_t b : macroblocks) w.Put(b, 8);
  w.ZeroPad();
  w.Bytes({0x00, 0x00, 0x00, 0x00});
  return w.Take();
}

}  // namespace testsupport
