// An input file made ready for the decoder, whatever holds the stream: the
// header bytes it is created with and the pictures (video object planes) it
// is handed one by one, in decode order.
//
// The format is told by content, not by name: "RIFF....AVI " is AVI, a
// first box such as ftyp, moov or mdat is MP4/MOV, an EBML header
// (1A 45 DF A3) is Matroska, a short-header picture start code at the
// start is a raw H.263 stream (short_header.h), and anything else is taken
// for a raw elementary stream (start codes).  A file told as a container is
// read as that container or refused with the container's reason: it is
// never searched for start codes instead.  The containers' short-header
// tracks (sample entries 's263' and 'h263', H.263 FourCCs) are told by
// their first picture too: its bytes are the header the decoder is created
// with, and every unit holds pictures that start with picture start codes.
// Container units that
// hold several pictures (B pictures packed behind their anchor by Xvid and
// DivX) are split at picture start codes; units without a picture are
// skipped.
//
// In AVI and Matroska every unit is one frame time.  A picture packed behind another
// is shown at the time of a later placeholder chunk (zero bytes, or a
// picture with vop_coded 0), which is then not handed on.  A packed picture
// still waiting for its time when the file ends is not handed on either:
// the file gives it no time to be shown at (ffmpeg does not show it either).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "stream_headers.h"

namespace tavrin::tool {

enum class InputFormat { kElementaryStream, kAvi, kIsoMedia, kMatroska, kShortHeaderStream };

InputFormat DetectFormat(std::span<const uint8_t> bytes);

struct VideoSource {
  std::string format;   // "raw MPEG-4 Visual stream", "raw H.263 stream", "AVI", "MP4", "QuickTime MOV", "Matroska"
  std::string detail;   // more about the container, may be empty
  std::string codecTag;  // FourCC or sample entry; empty for raw streams
  int containerWidth = 0;  // what the container states; 0 when nothing
  int containerHeight = 0;
  Ratio containerRate;  // 0:0 when the container states none
  // profile_and_level_indication of a visual object sequence header, or -1.
  int profileAndLevel = -1;
  // Where the header bytes came from, in words.
  std::string headerOrigin;
  std::vector<uint8_t> header;
  std::vector<std::span<const uint8_t>> pictures;
  // Bytes the container reader rebuilt, which pictures may point into
  // (besides the file's own bytes).
  std::shared_ptr<const std::vector<uint8_t>> ownedBytes;
  // The container's presentation time of each picture in nanoseconds
  // (ContainerTrack::kNoTime for pictures not shown); empty when the
  // container does not time its units.  The units' times, sorted, are given
  // to the shown pictures in display order, so that packed pictures and
  // their placeholders' times meet.
  std::vector<int64_t> pictureTimes;

  // Container units (AVI chunks, MP4 samples, Matroska frames); 0 for raw
  // streams.
  std::size_t units = 0;
  std::size_t emptyUnits = 0;        // no bytes, or no picture start code
  std::size_t placeholderUnits = 0;  // frame times standing for a packed picture
  std::size_t packedUnits = 0;       // units holding more than one picture
  std::size_t unshownPackedPictures = 0;  // packed pictures left without a frame time at the end
  std::vector<std::string> notes;    // damage and oddities stepped over
};

struct SourceResult {
  VideoSource source;
  std::string error;  // empty on success; else why, in words
  bool ok() const { return error.empty(); }
};

SourceResult OpenVideo(std::span<const uint8_t> bytes);

// The header bytes inside `bytes`: from the first video object start code
// that a video object layer start code follows directly up to the next
// picture start code or the end.  A layer without a video object start
// code in front gets 00 00 01 00 put in front.  Empty when there is no
// video object layer.
std::vector<uint8_t> ExtractHeader(std::span<const uint8_t> bytes);

}  // namespace tavrin::tool
