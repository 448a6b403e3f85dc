// The track list of a Matroska segment (Tracks/TrackEntry), the choice of
// the video track the tool reads, and how that track's frames were encoded
// (ContentEncodings), for the Matroska reader.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tavrin::tool::matroska {

// One ContentEncoding of a track.
struct ContentEncoding {
  uint64_t order = 0;
  uint64_t scope = 1;  // 1 frames, 2 the codec private data, 4 the next encoding
  uint64_t type = 0;   // 0 compression, 1 encryption
  bool hasCompression = false;
  uint64_t algorithm = 0;  // 0 zlib (the default), 1 bzlib, 2 lzo1x, 3 header removal
  std::span<const uint8_t> settings;  // ContentCompSettings
};

struct TrackEntry {
  uint64_t number = 0;
  uint64_t type = 0;  // 1 video, 2 audio, ...
  std::string codecId;
  std::span<const uint8_t> codecPrivate;
  uint64_t defaultDuration = 0;  // nanoseconds per frame; 0 when not given
  uint64_t width = 0;
  uint64_t height = 0;
  std::vector<ContentEncoding> encodings;
};

// Every TrackEntry in the Tracks body [begin, end) of `file`.
std::vector<TrackEntry> ReadTracks(std::span<const uint8_t> file, std::size_t begin, std::size_t end);

// How a codec ID that the tool reads keeps its header bytes.
enum class PrivateData {
  kHeaderBytes,       // CodecPrivate holds the stream's header bytes
  kBitmapInfoHeader,  // a 40-byte BITMAPINFOHEADER with the FourCC, then the header bytes
};

// The codec IDs read as MPEG-4 Visual and how each keeps its header bytes;
// nothing for any other.
const PrivateData* Mpeg4VisualCodec(const std::string& codecId);

// The name of the video format behind another codec ID ("H.264/AVC"), or
// empty.
std::string OtherCodecName(const std::string& codecId);

// The chosen track and what is needed to read its frames.
struct VideoTrack {
  const TrackEntry* entry = nullptr;
  std::string codecTag;  // codec ID, with the FourCC for V_MS/VFW/FOURCC
  std::vector<uint8_t> configuration;
  // Bytes that header removal took off the front of every frame (and of
  // the codec private data, when its scope says so), to be put back.
  std::vector<uint8_t> framePrefix;
  std::vector<std::string> notes;
};

struct VideoTrackResult {
  VideoTrack track;
  std::string error;  // empty on success
  bool ok() const { return error.empty(); }
};

// The first video track with an MPEG-4 Visual codec (the codec ID table,
// and for V_MS/VFW/FOURCC an MPEG-4 Visual FourCC; a FourCC of no known
// format is read as MPEG-4 Visual when no track qualifies, as in AVI), its
// header bytes and its content encodings.  The error names the codecs found
// when none qualifies, or the encoding the tool cannot undo.
VideoTrackResult ChooseVideoTrack(const std::vector<TrackEntry>& tracks);

}  // namespace tavrin::tool::matroska
