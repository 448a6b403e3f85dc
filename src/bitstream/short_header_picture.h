// Short-header pictures: the baseline H.263 form of a picture that MPEG-4
// Visual decoders take (video_plane_with_short_header).  Each picture
// starts with a 22-bit start code (0000 0000 0000 0000 1000 00) on a byte
// boundary and carries its own picture header; there is no layer header.
// The picture size comes from the header's source format, the clock is
// fixed (30000 ticks per second, the temporal reference counting units of
// 1001 ticks), quantisation is the H.263 method, vectors have range code 1,
// and the picture is cut into groups of blocks: rows of macroblocks whose
// header, when present, starts with a 17-bit marker, names the group and
// gives it a quantiser.
//
// The optional modes of H.263 (unrestricted vectors, arithmetic coding,
// advanced prediction, PB frames), continuous presence multipoint and the
// extended picture type of H.263 version 2 are not implemented: pictures
// that use them are refused.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"
#include "bitstream/picture_header.h"
#include "bitstream/sequence_header.h"

namespace tavrin {

inline constexpr int32_t kShortHeaderTicksPerSecond = 30000;
inline constexpr int32_t kShortHeaderTicksPerReference = 1001;

// Source formats (PTYPE bits 6 to 8).
enum ShortHeaderSourceFormat : int32_t {
  kSubQcif = 1,
  kQcif = 2,
  kCif = 3,
  k4Cif = 4,
  k16Cif = 5,
  kReservedFormat = 6,
  kExtendedPictureType = 7,  // H.263 version 2
};

// Why a picture header is refused.
enum ShortHeaderRefusal : int32_t {
  kShortHeaderAccepted = 0,
  kShortHeaderMalformed,         // a fixed bit wrong, a forbidden format or quantiser 0
  kShortHeaderVersion2,          // extended picture type (PLUSPTYPE)
  kShortHeaderReservedFormat,    // source format 6
  kShortHeaderOptionalModes,     // any of the four optional modes
  kShortHeaderContinuousPresence,
};

// The elements of one picture header, in the order they are read.
struct ShortHeaderPicture {
  int32_t temporalReference;  // 0..255, in units of 1001 ticks
  int32_t splitScreen;
  int32_t documentCamera;
  int32_t freezeRelease;
  int32_t sourceFormat;
  int32_t codingType;  // 0 intra, 1 predicted
  int32_t unrestrictedVectors;
  int32_t arithmeticCoding;
  int32_t advancedPrediction;
  int32_t pbFrames;
  int32_t quant;
  int32_t continuousPresence;
  int32_t spareBytes;  // PSPARE bytes read (PEI set before each)
  int32_t refusal;     // ShortHeaderRefusal
};

// What a short-header decoder keeps from picture to picture.
struct ShortHeaderState {
  int32_t sourceFormat;   // the creation picture's; other formats are refused
  int32_t rowsPerGroup;   // macroblock rows per group of blocks
  int32_t groupCount;     // groups of blocks per picture
  int32_t pictures;       // picture headers accepted
  int32_t lastReference;  // temporal reference of the last one
  int64_t ticks;          // its time
  ShortHeaderPicture picture;  // the latest header read, accepted or not
};

// Whether the bytes at p (at least `available` of them valid) start with a
// picture start code.
inline bool IsShortHeaderStart(const uint8_t* p, int32_t available) {
  return available >= 3 && p[0] == 0 && p[1] == 0 && (p[2] & 0xFC) == 0x80;
}

// The picture size of a standard source format (1 to 5): true, else false.
bool ShortHeaderPictureSize(int32_t sourceFormat, int32_t& width, int32_t& height);

// Moves past the first picture start code on a byte boundary at or after
// the reader's position: 1, or 0 when there is none.
int32_t FindShortHeaderPicture(BitReader& reader);

// Reads a picture header after its start code, leaving the reader at the
// first group of blocks: 0 when the picture can be decoded, else
// kUnsupportedHeader with picture.refusal telling why (the elements read
// so far keep their values).
int32_t ParseShortHeaderPicture(BitReader& reader, ShortHeaderPicture& picture);

// Creation from the header bytes, which must begin with a picture start
// code, or with a video object start code (00 00 01 00..1F) directly
// followed by one: reads that picture's header and sets the sequence up
// for short-header pictures of its source format (size, clock, H.263
// quantisation, no video packets).  0, kMissingLayerStartCode when the
// bytes begin with neither, kUnsupportedHeader when the picture is
// refused.  The clock is set whenever a start code was found.
int32_t OpenShortHeaderSequence(BitReader& reader, SequenceHeader& sequence,
                                ShortHeaderState& state);

// Whether creation bytes are short-header ones (see OpenShortHeaderSequence).
bool BeginsWithShortHeader(const BitReader& reader);

// Per call: finds the picture, reads its header, and when it can be
// decoded with this decoder (its source format is the creation one) fills
// the picture record (coding type, quantiser, range code 1, rounding 0,
// time) and returns 1; else 0 and nothing changes but state.picture.
int32_t ReadShortHeaderPicture(BitReader& reader, ShortHeaderState& state, PictureHeader& picture);

// A group-of-blocks header.
struct GroupOfBlocksHeader {
  int32_t groupNumber;  // GN
  int32_t frameId;      // GFID
  int32_t quant;        // GQUANT
};

// Whether a group-of-blocks start code is next: its 17 bits (16 zeros and
// a 1) right here, or after zero bits up to the next byte boundary.
inline bool GroupStartFollows(const BitReader& reader) {
  if (reader.ShowBits(17) == 1) return true;
  return reader.bitPos != 0 && reader.ShowBits(8 - reader.bitPos + 17) == 1;
}

// Consumes the stuffing, the start code and the header after it.
void ReadGroupOfBlocksHeader(BitReader& reader, GroupOfBlocksHeader& header);

}  // namespace tavrin
