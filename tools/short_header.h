// The tool's reading of short-header streams: baseline H.263, which MPEG-4
// Visual decoders take as its "short video header" form (.263 and .h263
// files, the 's263' and 'h263' tracks of 3GP and MOV files, AVI files under
// H.263 FourCCs).  Each picture starts with a 22-bit picture start code
// (0000 0000 0000 0000 1000 00) on a byte boundary and carries its own
// header (temporal reference, PTYPE, PQUANT, CPM, spare bytes); there is
// no layer header.  The size comes from the source format, the clock is
// 30000 ticks per second with the temporal reference counting units of
// 1001, quantisation is the H.263 method.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "stream_headers.h"

namespace tavrin::tool {

inline constexpr int kShortHeaderTicksPerSecond = 30000;
inline constexpr int kShortHeaderTicksPerReference = 1001;

// Whether the bytes at `offset` start with a picture start code.
bool IsShortHeaderStart(std::span<const uint8_t> bytes, std::size_t offset);

// Whether the bytes begin with a picture start code, or with a video object
// start code (00 00 01 00..1F) directly followed by one.
bool BeginsWithShortHeader(std::span<const uint8_t> bytes);

// The offsets of every picture start code on a byte boundary, in order.
std::vector<std::size_t> FindShortHeaderPictures(std::span<const uint8_t> bytes);

// The pictures of the bytes: each from its start code to the next one or to
// the end.  Bytes in front of the first are left.
std::vector<std::span<const uint8_t>> SplitShortHeaderPictures(std::span<const uint8_t> bytes);

// "QCIF (176x144)", "16CIF (1408x1152)", "extended (H.263 version 2)", ...
std::string SourceFormatName(int sourceFormat);

// Macroblock rows in one group of blocks: one up to 18 rows (CIF), two up
// to 36 (4CIF), four above (16CIF).
inline int RowsPerGroup(int mbHeight) { return mbHeight <= 18 ? 1 : mbHeight <= 36 ? 2 : 4; }

// The picture size of source formats 1 to 5; false for the others.
bool SourceFormatSize(int sourceFormat, int& width, int& height);

// The layer the first picture in `bytes` implies: size from its source
// format, 30000 ticks per second, H.263 quantisation, shortVideoHeader set.
// Its refusals name what the decoder does not take (the extended picture
// type of H.263 version 2, a reserved source format, the optional modes,
// continuous presence).
LayerHeaderResult ParseShortHeaderLayer(std::span<const uint8_t> bytes);

// The header of the first picture in `bytes`: coding type I or P, the
// quantiser, range code 1, the temporal reference and source format, with
// detailsKnown when the decoder takes the picture, else refusal set.
PictureHeaderResult ParseShortHeaderPicture(std::span<const uint8_t> bytes);

// Group-of-blocks headers in one picture (bytes from its start code): a
// group start code (16 zeros and a 1, at any bit) with a group number of 1
// to 17.
int CountGroupHeaders(std::span<const uint8_t> picture);

}  // namespace tavrin::tool
