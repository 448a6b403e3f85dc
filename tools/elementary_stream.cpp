#include "elementary_stream.h"

#include <cstdio>

namespace tavrin::tool {

namespace {

std::string Hex(std::size_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%zx", value);
  return text;
}

}  // namespace

std::vector<StartCode> FindStartCodes(std::span<const uint8_t> bytes) {
  std::vector<StartCode> codes;
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i + 3 < n) {
    // Skip quickly over bytes that cannot end a prefix.
    if (bytes[i + 2] > 1) {
      i += 3;
      continue;
    }
    if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1) {
      codes.push_back({i, bytes[i + 3]});
      i += 4;
      continue;
    }
    ++i;
  }
  return codes;
}

std::size_t FindStartCode(std::span<const uint8_t> bytes, uint8_t value, std::size_t from) {
  const std::size_t n = bytes.size();
  for (std::size_t i = from; i + 3 < n; ++i) {
    if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && bytes[i + 3] == value) return i;
  }
  return n;
}

std::string StartCodeName(uint8_t value) {
  if (IsVideoObject(value)) return "video object " + std::to_string(value);
  if (IsVideoObjectLayer(value)) return "video object layer " + std::to_string(value - kVideoObjectLayerFirst);
  switch (value) {
    case kVisualObjectSequence:
      return "visual object sequence";
    case kVisualObjectSequenceEnd:
      return "visual object sequence end";
    case kUserData:
      return "user data";
    case kGroupOfVop:
      return "group of video object planes";
    case 0xB4:
      return "video session error";
    case kVisualObject:
      return "visual object";
    case kVideoObjectPlane:
      return "video object plane";
    case 0xB7:
    case 0xB8:
    case 0xB9:
      return "reserved";
    case 0xBA:
      return "face object";
    case 0xBB:
      return "face object plane";
    case 0xBC:
      return "mesh object";
    case 0xBD:
      return "mesh object plane";
    case 0xBE:
      return "still texture object";
    case 0xBF:
      return "texture spatial layer";
    default:
      break;
  }
  if (value >= 0xC0 && value <= 0xC5) return "texture layer or reserved";
  if (value >= 0xC6) return "system start code";
  return "reserved";
}

SplitResult SplitElementaryStream(std::span<const uint8_t> bytes) {
  SplitResult result;
  ElementaryStream& stream = result.stream;
  const std::vector<StartCode> codes = FindStartCodes(bytes);
  if (codes.empty()) {
    result.error = "no start code (00 00 01) found in " + std::to_string(bytes.size()) +
                   " bytes: this is not a raw MPEG-4 Visual elementary stream";
    return result;
  }

  // The first video object start code.
  std::size_t vo = 0;
  while (vo < codes.size() && !IsVideoObject(codes[vo].value)) {
    if (codes[vo].value == kVisualObjectSequence) stream.hasVisualObjectSequence = true;
    if (codes[vo].value == kVisualObject) stream.hasVisualObject = true;
    if (codes[vo].value == kVideoObjectPlane) ++stream.droppedLeadingPictures;
    ++vo;
  }
  if (vo == codes.size()) {
    result.error = "no video object start code (00 00 01 00..1F) found";
    if (stream.droppedLeadingPictures > 0) {
      result.error += " although the stream holds " + std::to_string(stream.droppedLeadingPictures) +
                      " picture start codes: the stream headers are missing (kept apart from the pictures, "
                      "as in a container's decoder configuration)";
    } else {
      result.error += ": this is not a raw MPEG-4 Visual elementary stream";
    }
    return result;
  }

  // The video object layer start code must come next.
  if (vo + 1 == codes.size() || !IsVideoObjectLayer(codes[vo + 1].value)) {
    result.error = "the video object start code at offset " + Hex(codes[vo].offset) +
                   " is not followed by a video object layer start code (00 00 01 20..2F)";
    if (vo + 1 == codes.size()) {
      result.error += ": the stream ends";
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "%02X", codes[vo + 1].value);
      result.error += ": the next start code is 00 00 01 " + std::string(code) + " (" +
                      StartCodeName(codes[vo + 1].value) + ")";
    }
    return result;
  }
  stream.headerOffset = codes[vo].offset;
  stream.layerOffset = codes[vo + 1].offset;

  // The first picture after the layer header ends the header bytes.
  std::size_t first = vo + 2;
  while (first < codes.size() && codes[first].value != kVideoObjectPlane) ++first;
  if (first == codes.size()) {
    result.error = "no picture start code (00 00 01 B6) follows the video object layer header at offset " +
                   Hex(stream.layerOffset);
    return result;
  }
  stream.headerSize = codes[first].offset - stream.headerOffset;

  // Each picture runs to the next picture start code or to the end.
  for (std::size_t i = first; i < codes.size(); ++i) {
    if (codes[i].value != kVideoObjectPlane) continue;
    PictureUnit unit;
    unit.offset = codes[i].offset;
    const std::size_t nextAny = i + 1 < codes.size() ? codes[i + 1].offset : bytes.size();
    std::size_t next = i + 1;
    while (next < codes.size() && codes[next].value != kVideoObjectPlane) ++next;
    const std::size_t nextPicture = next < codes.size() ? codes[next].offset : bytes.size();
    unit.size = nextPicture - unit.offset;
    unit.codedSize = nextAny - unit.offset;
    stream.pictures.push_back(unit);
    if (next < codes.size()) stream.headersBetweenPictures += next - i - 1;
  }
  return result;
}

}  // namespace tavrin::tool
