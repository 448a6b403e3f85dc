#include "short_header.h"

#include "header_bit_reader.h"

namespace tavrin::tool {
namespace {

constexpr int kExtendedFormat = 7;

// The fields of a picture header, read after its start code.
struct ShortPicture {
  int temporalReference = 0;
  int sourceFormat = 0;
  int codingType = 0;
  bool unrestrictedVectors = false, arithmeticCoding = false, advancedPrediction = false, pbFrames = false;
  int quant = 0;
  bool continuousPresence = false;
  std::vector<std::string> refusals;  // what the decoder does not take
  std::size_t macroblockBit = 0;
};

// Reads the picture at the first start code of `bytes`; throws HeaderError.
ShortPicture ReadPicture(std::span<const uint8_t> bytes) {
  std::size_t start = 0;
  while (start < bytes.size() && !IsShortHeaderStart(bytes, start)) ++start;
  if (start == bytes.size()) throw HeaderError{"no picture start code (00 00 80..83) found"};
  ShortPicture p;
  HeaderBits r(bytes, start);
  r.Read(22, "the picture start code");
  p.temporalReference = static_cast<int>(r.Read(8, "the temporal reference"));
  if (!r.Flag("PTYPE")) throw HeaderError{"the first bit of PTYPE is 0"};
  if (r.Flag("PTYPE")) throw HeaderError{"the second bit of PTYPE is 1 (an H.261 picture?)"};
  r.Read(3, "PTYPE");  // split screen, document camera, freeze release
  p.sourceFormat = static_cast<int>(r.Read(3, "the source format"));
  if (p.sourceFormat == 0) throw HeaderError{"the source format is 0, which is forbidden"};
  if (p.sourceFormat == kExtendedFormat) {
    p.refusals.emplace_back("H.263 version 2 pictures (extended picture type, PLUSPTYPE)");
    return p;
  }
  if (p.sourceFormat == 6) p.refusals.emplace_back("a reserved source format (6)");
  p.codingType = static_cast<int>(r.Read(1, "the picture coding type"));
  p.unrestrictedVectors = r.Flag("PTYPE");
  p.arithmeticCoding = r.Flag("PTYPE");
  p.advancedPrediction = r.Flag("PTYPE");
  p.pbFrames = r.Flag("PTYPE");
  if (p.unrestrictedVectors) p.refusals.emplace_back("unrestricted motion vectors");
  if (p.arithmeticCoding) p.refusals.emplace_back("syntax-based arithmetic coding");
  if (p.advancedPrediction) p.refusals.emplace_back("advanced prediction (four vectors, overlapped motion compensation)");
  if (p.pbFrames) p.refusals.emplace_back("PB frames");
  p.quant = static_cast<int>(r.Read(5, "PQUANT"));
  if (p.quant == 0) throw HeaderError{"PQUANT is 0"};
  p.continuousPresence = r.Flag("CPM");
  if (p.continuousPresence) {
    p.refusals.emplace_back("continuous presence multipoint");
    return p;
  }
  if (p.pbFrames) return p;  // TRB and DBQUANT would follow
  for (int spare = 0; r.Flag("PEI"); ++spare) {
    if (spare >= 1024) throw HeaderError{"the picture header's spare bytes do not end"};
    r.Read(8, "PSPARE");
  }
  p.macroblockBit = r.position();
  return p;
}

std::string Join(const std::vector<std::string>& parts) {
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += i + 1 == parts.size() ? " and " : ", ";
    text += parts[i];
  }
  return text;
}

}  // namespace

bool IsShortHeaderStart(std::span<const uint8_t> bytes, std::size_t offset) {
  return offset + 2 < bytes.size() && bytes[offset] == 0 && bytes[offset + 1] == 0 &&
         (bytes[offset + 2] & 0xFC) == 0x80;
}

bool BeginsWithShortHeader(std::span<const uint8_t> bytes) {
  if (IsShortHeaderStart(bytes, 0)) return true;
  return bytes.size() > 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 1 && bytes[3] <= 0x1F &&
         IsShortHeaderStart(bytes, 4);
}

std::vector<std::size_t> FindShortHeaderPictures(std::span<const uint8_t> bytes) {
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i + 2 < bytes.size(); ++i) {
    // Skip quickly over bytes that cannot end a start code's zeros.
    if (bytes[i + 1] != 0) {
      ++i;
      continue;
    }
    if (IsShortHeaderStart(bytes, i)) offsets.push_back(i);
  }
  return offsets;
}

std::vector<std::span<const uint8_t>> SplitShortHeaderPictures(std::span<const uint8_t> bytes) {
  const std::vector<std::size_t> offsets = FindShortHeaderPictures(bytes);
  std::vector<std::span<const uint8_t>> pictures;
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    const std::size_t end = i + 1 < offsets.size() ? offsets[i + 1] : bytes.size();
    pictures.push_back(bytes.subspan(offsets[i], end - offsets[i]));
  }
  return pictures;
}

bool SourceFormatSize(int sourceFormat, int& width, int& height) {
  static constexpr int kSizes[6][2] = {{0, 0}, {128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};
  if (sourceFormat < 1 || sourceFormat > 5) return false;
  width = kSizes[sourceFormat][0];
  height = kSizes[sourceFormat][1];
  return true;
}

std::string SourceFormatName(int sourceFormat) {
  static const char* const kNames[8] = {"forbidden (0)", "sub-QCIF", "QCIF", "CIF", "4CIF", "16CIF",
                                        "reserved (6)", "extended (H.263 version 2)"};
  std::string name = kNames[sourceFormat & 7];
  int width = 0, height = 0;
  if (SourceFormatSize(sourceFormat, width, height)) {
    name += " (" + std::to_string(width) + "x" + std::to_string(height) + ")";
  }
  return name;
}

LayerHeaderResult ParseShortHeaderLayer(std::span<const uint8_t> bytes) {
  LayerHeaderResult result;
  VideoObjectLayer& v = result.layer;
  v.shortVideoHeader = true;
  v.videoObjectLayerVerid = 1;
  v.vopTimeIncrementResolution = kShortHeaderTicksPerSecond;
  v.vopTimeIncrementBits = TimeIncrementBits(kShortHeaderTicksPerSecond);
  v.codedTimeIncrementBits = CodedTimeIncrementBits(kShortHeaderTicksPerSecond);
  v.resyncMarkerDisable = true;
  v.intraQuantMat = kDefaultIntraQuantMatrix;
  v.nonintraQuantMat = kDefaultNonintraQuantMatrix;
  try {
    const ShortPicture p = ReadPicture(bytes);
    v.sourceFormat = p.sourceFormat;
    SourceFormatSize(p.sourceFormat, v.videoObjectLayerWidth, v.videoObjectLayerHeight);
    result.refusals = p.refusals;
    v.complete = true;
  } catch (const HeaderError& e) {
    result.error = "the first short-header picture's header cannot be read: " + e.what;
  }
  return result;
}

PictureHeaderResult ParseShortHeaderPicture(std::span<const uint8_t> bytes) {
  PictureHeaderResult result;
  PictureHeader& h = result.header;
  try {
    const ShortPicture p = ReadPicture(bytes);
    h.temporalReference = p.temporalReference;
    h.sourceFormat = p.sourceFormat;
    h.vopCodingType = p.codingType != 0 ? CodingType::kPredicted : CodingType::kIntra;
    h.vopCoded = true;
    h.vopQuant = p.quant;
    h.vopFcodeForward = p.codingType != 0 ? 1 : 0;
    h.refusal = Join(p.refusals);
    h.detailsKnown = h.refusal.empty();
    h.macroblockBit = p.macroblockBit;
  } catch (const HeaderError& e) {
    result.error = e.what;
  }
  return result;
}

int CountGroupHeaders(std::span<const uint8_t> picture) {
  int groups = 0;
  const std::size_t bits = picture.size() * 8;
  auto bit = [&](std::size_t at) { return (picture[at >> 3] >> (7 - (at & 7))) & 1; };
  std::size_t zeros = 0;
  // From after the picture start code's 17 leading bits.
  for (std::size_t at = 17; at + 5 < bits; ++at) {
    if (bit(at) == 0) {
      ++zeros;
      continue;
    }
    if (zeros >= 16) {
      int number = 0;
      for (int k = 1; k <= 5; ++k) number = number * 2 + bit(at + static_cast<std::size_t>(k));
      if (number >= 1 && number <= 17) ++groups;
    }
    zeros = 0;
  }
  return groups;
}

}  // namespace tavrin::tool
