// Boxes of the ISO base media file format (and QuickTime's atoms), and the
// elementary stream descriptor of an 'esds' box, read with every size
// checked against the bytes that hold it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "byte_reader.h"

namespace tavrin::tool {

struct Box {
  std::string type;
  std::size_t offset = 0;    // of the size field
  std::size_t body = 0;      // first byte after the header
  std::size_t bodySize = 0;  // clipped to the enclosing range
};

// The boxes that follow one another in [begin, end).  A size of 0 runs to
// end; a size of 1 takes the 64-bit size after the type.  Walking stops at
// a header that does not fit or claims less than its own length; a box
// that runs past `end` is clipped and noted.
std::vector<Box> ChildBoxes(const ByteView& view, std::size_t begin, std::size_t end,
                            std::vector<std::string>& notes);

// The first box of the given type among boxes; nullptr when there is none.
const Box* FindBox(const std::vector<Box>& boxes, const std::string& type);

// The children of a box whose body holds boxes right away (moov, trak).
std::vector<Box> ChildrenOf(const ByteView& view, const Box& box, std::vector<std::string>& notes);

struct DecoderConfig {
  // objectTypeIndication of the DecoderConfigDescriptor: 0x20 is MPEG-4
  // Visual; -1 when the descriptor is missing.
  int objectType = -1;
  std::vector<uint8_t> specificInfo;  // the DecoderSpecificInfo bytes
  std::string error;                  // empty when the descriptors read well
};

// Reads the body of an 'esds' box: version and flags, then an
// ES_Descriptor holding a DecoderConfigDescriptor holding a
// DecoderSpecificInfo.
DecoderConfig ReadElementaryStreamDescriptor(std::span<const uint8_t> esdsBody);

// A short name for an objectTypeIndication ("MPEG-4 Visual", "MPEG-1
// video", ...).
std::string ObjectTypeName(int objectType);

}  // namespace tavrin::tool
