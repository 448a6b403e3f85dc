#include "iso_boxes.h"

#include <cstdio>

namespace tavrin::tool {

std::vector<Box> ChildBoxes(const ByteView& view, std::size_t begin, std::size_t end,
                            std::vector<std::string>& notes) {
  std::vector<Box> boxes;
  if (end > view.size()) end = view.size();
  std::size_t at = begin;
  while (at < end && end - at >= 8) {
    uint32_t size32 = 0;
    view.Be32(at, size32);
    Box box;
    box.type = view.Tag(at + 4);
    box.offset = at;
    uint64_t size = size32;
    std::size_t header = 8;
    if (size32 == 1) {
      if (end - at < 16) break;
      view.Be64(at + 8, size);
      header = 16;
    } else if (size32 == 0) {
      size = end - at;
    }
    if (size < header) {
      notes.push_back("the box '" + PrintableTag(box.type) + "' at offset " + std::to_string(at) + " claims " +
                      std::to_string(size) + " bytes, less than its own header: the rest is not read");
      break;
    }
    box.body = at + header;
    if (size > end - at) {
      notes.push_back("the box '" + PrintableTag(box.type) + "' at offset " + std::to_string(at) + " claims " +
                      std::to_string(size) + " bytes but only " + std::to_string(end - at) +
                      " remain: the file is cut short");
      size = end - at;
    }
    box.bodySize = static_cast<std::size_t>(size) - header;
    boxes.push_back(box);
    at += static_cast<std::size_t>(size);
  }
  return boxes;
}

const Box* FindBox(const std::vector<Box>& boxes, const std::string& type) {
  for (const Box& box : boxes) {
    if (box.type == type) return &box;
  }
  return nullptr;
}

std::vector<Box> ChildrenOf(const ByteView& view, const Box& box, std::vector<std::string>& notes) {
  return ChildBoxes(view, box.body, box.body + box.bodySize, notes);
}

namespace {

// Descriptors nest ES -> DecoderConfig -> DecoderSpecificInfo; anything
// deeper is not followed.
constexpr int kMaxDescriptorDepth = 4;

constexpr uint32_t kEsDescriptorTag = 0x03;
constexpr uint32_t kDecoderConfigTag = 0x04;
constexpr uint32_t kDecoderSpecificInfoTag = 0x05;

// Reads the descriptors in [at, end), looking for the decoder
// configuration.
void ReadDescriptors(const ByteView& view, std::size_t at, std::size_t end, int depth, DecoderConfig& config) {
  while (at < end && depth <= kMaxDescriptorDepth) {
    uint32_t tag = 0;
    if (!view.Byte(at, tag)) return;
    ++at;
    // The size: up to four bytes of 7 bits, the top bit saying another
    // byte follows.
    std::size_t size = 0;
    for (int i = 0; i < 4; ++i) {
      uint32_t b = 0;
      if (!view.Byte(at, b)) {
        config.error = "the esds box ends inside a descriptor size";
        return;
      }
      ++at;
      size = (size << 7) | (b & 0x7F);
      if ((b & 0x80) == 0) break;
    }
    if (size > end - at) {
      config.error = "a descriptor in the esds box claims " + std::to_string(size) + " bytes but only " +
                     std::to_string(end - at) + " remain";
      size = end - at;
    }
    const std::size_t bodyEnd = at + size;
    if (tag == kEsDescriptorTag) {
      uint32_t flags = 0;
      std::size_t inner = at + 2;  // ES_ID
      if (view.Byte(inner, flags)) {
        ++inner;
        if (flags & 0x80) inner += 2;  // dependsOn_ES_ID
        if (flags & 0x40) {            // URL
          uint32_t length = 0;
          view.Byte(inner, length);
          inner += 1 + length;
        }
        if (flags & 0x20) inner += 2;  // OCR_ES_Id
        if (inner < bodyEnd) ReadDescriptors(view, inner, bodyEnd, depth + 1, config);
      }
    } else if (tag == kDecoderConfigTag) {
      uint32_t objectType = 0;
      if (view.Byte(at, objectType)) config.objectType = static_cast<int>(objectType);
      // objectTypeIndication, stream type, buffer size, two bit rates.
      if (at + 13 < bodyEnd) ReadDescriptors(view, at + 13, bodyEnd, depth + 1, config);
    } else if (tag == kDecoderSpecificInfoTag) {
      const auto info = view.Slice(at, size);
      if (config.specificInfo.empty()) config.specificInfo.assign(info.begin(), info.end());
    }
    at = bodyEnd;
  }
}

}  // namespace

DecoderConfig ReadElementaryStreamDescriptor(std::span<const uint8_t> esdsBody) {
  DecoderConfig config;
  const ByteView view(esdsBody);
  if (view.size() < 4) {
    config.error = "the esds box is too short";
    return config;
  }
  ReadDescriptors(view, 4, view.size(), 0, config);
  return config;
}

std::string ObjectTypeName(int objectType) {
  switch (objectType) {
    case 0x20:
      return "MPEG-4 Visual";
    case 0x21:
      return "H.264/AVC";
    case 0x23:
      return "H.265/HEVC";
    case 0x60:
    case 0x61:
    case 0x62:
    case 0x63:
    case 0x64:
    case 0x65:
      return "MPEG-2 video";
    case 0x6A:
      return "MPEG-1 video";
    case 0x6C:
      return "JPEG";
    default:
      break;
  }
  char text[48];
  std::snprintf(text, sizeof text, "object type 0x%02X", static_cast<unsigned>(objectType & 0xFF));
  return text;
}

}  // namespace tavrin::tool
