// Hand-built compressed bytes for tests: a bit writer, and layer and picture
// headers with chosen fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport {

class BitWriter {
 public:
  // Appends the low n bits of value, most significant first.
  BitWriter& Put(uint32_t value, int n);
  BitWriter& Bit(int bit) { return Put(bit ? 1u : 0u, 1); }
  // Pads with the standard's stuffing (a 0, then 1s) to the next byte
  // boundary.
  BitWriter& Stuff();
  // Pads with 0 bits to the next byte boundary.
  BitWriter& ZeroPad();
  BitWriter& Bytes(const std::vector<uint8_t>& bytes);
  std::vector<uint8_t> Take();
  size_t BitCount() const { return bits_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t bits_ = 0;
};

// Fields of a video object layer header to write.
struct LayerSpec {
  int layerId = 0;
  bool objectLayerIdentifier = false;
  int verid = 1;
  int aspectRatio = 1;
  bool volControl = false;
  int chromaFormat = 1;
  bool vbv = false;
  int shape = 0;
  int resolution = 25;
  bool fixedRate = false;
  int fixedIncrement = 1;
  int width = 176;
  int height = 144;
  int interlaced = 0;
  int obmcDisable = 1;
  int spriteEnable = 0;
  // With spriteEnable 2 (global motion): the sprite fields that follow.
  int warpingPoints = 0;
  int warpingAccuracy = 0;
  int brightnessChange = 0;
  int not8Bit = 0;
  int quantType = 0;
  std::vector<int> intraMatrix = {};   // zigzag order values to load (empty: default)
  std::vector<int> nonintraMatrix = {};// likewise
  int quarterSample = 0;
  bool complexityEstimation = false;
  int estimationMethod = 0;
  bool estimateOpaqueOnly = true;   // with estimation: only the opaque flag set
  int resyncMarkerDisable = 1;
  int dataPartitioned = 0;
  int reversibleVlc = 0;  // written when dataPartitioned is
  int newpred = 0;
  int reducedResolution = 0;
  int scalability = 0;
  int badMarker = -1;  // index of a marker bit to write as 0 (-1: none)
};

// 00 00 01 00 (video object), then the layer start code and header, byte
// aligned with stuffing.
std::vector<uint8_t> MakeLayerHeader(const LayerSpec& spec);

struct PictureSpec {
  int codingType = 0;  // 0 I, 1 P, 2 B, 3 S
  int moduloTimeBase = 0;
  int timeIncrement = 0;
  int timeBits = 5;
  int coded = 1;
  int roundingType = 0;
  int intraDcVlcThr = 0;
  int quant = 4;
  int fcodeForward = 1;
  int fcodeBackward = 1;
  int reducedResolution = -1;  // -1: not written
  int estimationBits = 0;      // count bits to write before intra_dc_vlc_thr
  // S pictures of a layer with global motion: the rounding bit is written
  // and the warping points' differences (half samples) after
  // intra_dc_vlc_thr, each with its marker bit.
  bool globalMotion = false;
  std::vector<int> du = {}, dv = {};
  // not_coded macroblocks (a 1 bit each) before the zero data.
  int skippedMacroblocks = 0;
  int topFieldFirst = -1;      // interlaced layers: written with the next when 0 or 1
  int alternateScan = 0;
};

// 00 00 01 B6 and the picture header, followed by zero bytes: macroblock
// data that ends the picture at its first macroblock.
std::vector<uint8_t> MakePictureHeader(const PictureSpec& spec);

// One difference of a warping-point trajectory (|d| < 16384): its length
// code, its bits and the marker bit.
void PutWarpingDifference(BitWriter& w, int d);

// Fields of a short-header (baseline H.263) picture header to write.
struct ShortHeaderSpec {
  bool videoObjectInFront = false;  // 00 00 01 00 before the start code
  int temporalReference = 0;
  int marker = 1;  // PTYPE bit 1 (1)
  int zero = 0;    // PTYPE bit 2 (0)
  int splitScreen = 0;
  int documentCamera = 0;
  int freezeRelease = 0;
  int sourceFormat = 2;  // QCIF
  int codingType = 0;
  int unrestrictedVectors = 0;
  int arithmeticCoding = 0;
  int advancedPrediction = 0;
  int pbFrames = 0;
  int quant = 8;
  int continuousPresence = 0;
  std::vector<int> spareBytes = {};  // PSPARE bytes, each announced by PEI 1
};

// The 22-bit picture start code and the header, then the bits of
// `macroblocks` and zero padding to a byte boundary and four zero bytes.
std::vector<uint8_t> MakeShortHeaderPicture(const ShortHeaderSpec& spec, const std::vector<uint8_t>& macroblocks = {});

}  // namespace testsupport
