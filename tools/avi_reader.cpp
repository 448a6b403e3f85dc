#include "avi_reader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <numeric>
#include <vector>

#include "byte_reader.h"

namespace tavrin::tool {
namespace {

// RIFF lists nest: movi holds 'rec ' groups, which hold chunks.  Deeper
// nesting is not written by any muxer and is not followed.
constexpr int kMaxListDepth = 4;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

struct Range {
  std::size_t begin = 0;
  std::size_t end = 0;
};

struct StreamInfo {
  std::string type;     // strh fccType: "vids", "auds", ...
  std::string handler;  // strh fccHandler
  std::string compression;  // strf biCompression
  uint32_t scale = 0, rate = 0;
  int width = 0, height = 0;
  std::vector<uint8_t> extra;  // strf bytes after the bitmap header
};

struct Layout {
  Range headerList;          // hdrl body
  std::vector<Range> movies;  // movi bodies, in file order
  bool openDml = false;       // an AVIX extension was seen
  std::vector<std::string> notes;
};

// Walks the chunks of one list body, calling visit(tag, bodyOffset,
// bodySize, listType) for each; stops at the first chunk whose header does
// not fit.  A chunk whose body runs past the end is clipped, with a note.
template <typename Visit>
void WalkChunks(const ByteView& view, Range range, std::vector<std::string>& notes, Visit&& visit) {
  std::size_t at = range.begin;
  while (at + 8 <= range.end) {
    const std::string tag = view.Tag(at);
    uint32_t size = 0;
    view.Le32(at + 4, size);
    std::size_t body = at + 8;
    std::size_t bodySize = size;
    if (bodySize > range.end - body) {
      notes.push_back("the chunk '" + PrintableTag(tag) + "' at offset " + std::to_string(at) + " claims " +
                      std::to_string(size) + " bytes but only " + std::to_string(range.end - body) +
                      " remain: the file is cut short");
      bodySize = range.end - body;
    }
    std::string listType;
    if ((tag == "LIST" || tag == "RIFF") && bodySize >= 4) listType = view.Tag(body);
    visit(tag, body, bodySize, listType);
    const std::size_t next = body + bodySize + (bodySize & 1);
    if (next <= at) break;
    at = next;
  }
}

Layout FindLists(const ByteView& view) {
  Layout layout;
  // Top level: RIFF 'AVI ' and any RIFF 'AVIX' extensions after it.
  WalkChunks(view, {0, view.size()}, layout.notes,
             [&](const std::string& tag, std::size_t body, std::size_t size, const std::string&) {
               const std::string form = view.Tag(body);
               if (tag != "RIFF" || (form != "AVI " && form != "AVIX")) return;
               // Writers that stream leave the size at 0: the list then runs
               // to the end of the file.
               if (size == 0) size = view.size() - body;
               if (form == "AVIX") layout.openDml = true;
               WalkChunks(view, {body + 4, body + size}, layout.notes,
                          [&](const std::string& t, std::size_t b, std::size_t s, const std::string& type) {
                            if (t != "LIST" || s < 4) return;
                            if (type == "hdrl" && layout.headerList.end == 0) layout.headerList = {b + 4, b + s};
                            if (type == "movi") layout.movies.push_back({b + 4, b + s});
                          });
             });
  return layout;
}

std::vector<StreamInfo> ReadStreams(const ByteView& view, Range headerList, std::vector<std::string>& notes) {
  std::vector<StreamInfo> streams;
  WalkChunks(view, headerList, notes,
             [&](const std::string& tag, std::size_t body, std::size_t size, const std::string& type) {
               if (tag != "LIST" || type != "strl") return;
               StreamInfo info;
               WalkChunks(view, {body + 4, body + size}, notes,
                          [&](const std::string& t, std::size_t b, std::size_t s, const std::string&) {
                            const ByteView chunk(view.Slice(b, s));
                            if (t == "strh") {
                              info.type = chunk.Tag(0);
                              info.handler = chunk.Tag(4);
                              chunk.Le32(20, info.scale);
                              chunk.Le32(24, info.rate);
                            } else if (t == "strf" && info.type == "vids") {
                              uint32_t headerSize = 0, width = 0, height = 0;
                              chunk.Le32(0, headerSize);
                              chunk.Le32(4, width);
                              chunk.Le32(8, height);
                              info.compression = chunk.Tag(16);
                              info.width = static_cast<int>(std::min<uint32_t>(width, 1u << 16));
                              // Negative heights mark top-down bitmaps.
                              const int32_t signedHeight = static_cast<int32_t>(height);
                              info.height = static_cast<int>(std::min<int64_t>(
                                  signedHeight < 0 ? -static_cast<int64_t>(signedHeight) : signedHeight, 1 << 16));
                              const std::size_t extraAt = std::max<std::size_t>(40, headerSize);
                              if (extraAt < s) {
                                const auto extra = chunk.Slice(extraAt, s - extraAt);
                                info.extra.assign(extra.begin(), extra.end());
                              }
                            }
                          });
               streams.push_back(info);
             });
  return streams;
}

// The two-digit stream number that starts a movi chunk's tag, or -1.
int ChunkStream(const std::string& tag) {
  if (tag.size() != 4 || !std::isdigit(static_cast<unsigned char>(tag[0])) ||
      !std::isdigit(static_cast<unsigned char>(tag[1]))) {
    return -1;
  }
  return (tag[0] - '0') * 10 + (tag[1] - '0');
}

void CollectChunks(const ByteView& view, Range range, int stream, int depth, ContainerTrack& track) {
  WalkChunks(view, range, track.notes,
             [&](const std::string& tag, std::size_t body, std::size_t size, const std::string& type) {
               if (tag == "LIST") {
                 if (type == "rec " && depth < kMaxListDepth) {
                   CollectChunks(view, {body + 4, body + size}, stream, depth + 1, track);
                 }
                 return;
               }
               if (ChunkStream(tag) != stream) return;
               const std::string kind = tag.substr(2);
               if (kind == "dc" || kind == "db") track.units.push_back(view.Slice(body, size));
             });
}

}  // namespace

bool LooksLikeAvi(std::span<const uint8_t> bytes) {
  const ByteView view(bytes);
  return view.Tag(0) == "RIFF" && view.Tag(8) == "AVI ";
}

bool IsMpeg4VisualFourCc(const std::string& fourcc) {
  static const std::array<const char*, 28> kKnown = {
      "XVID", "DIVX", "DX50", "FMP4", "MP4V", "MP4S", "M4S2", "3IV2", "XVIX", "DXGM",
      "UMP4", "SEDG", "RMP4", "BLZ0", "WV1F", "DM4V", "DIGI", "EM4A", "EPHV", "FVFW",
      "HDX4", "M4CC", "SMP4", "SN40", "VSPX", "WAWV", "LMP4", "GEOX"};
  const std::string upper = Upper(fourcc);
  return std::any_of(kKnown.begin(), kKnown.end(), [&](const char* k) { return upper == k; });
}

bool IsShortHeaderFourCc(const std::string& fourcc) {
  static const std::array<const char*, 9> kKnown = {"H263", "S263", "U263", "M263", "X263",
                                                    "T263", "L263", "Z263", "VX1K"};
  const std::string upper = Upper(fourcc);
  return std::any_of(kKnown.begin(), kKnown.end(), [&](const char* k) { return upper == k; });
}

std::string OtherVideoFormatName(const std::string& fourcc) {
  const std::string upper = Upper(fourcc);
  if (upper == "DIV3" || upper == "DIV4" || upper == "MP43" || upper == "DIV5" || upper == "DIV6" ||
      upper == "AP41" || upper == "COL1") {
    return "MS MPEG-4 version 3 (DivX ;-) 3)";
  }
  if (upper == "MP42" || upper == "DIV2") return "MS MPEG-4 version 2";
  if (upper == "MPG4" || upper == "MP41") return "MS MPEG-4 version 1";
  if (upper == "H264" || upper == "X264" || upper == "AVC1" || upper == "DAVC") return "H.264/AVC";
  if (upper == "HEVC" || upper == "H265" || upper == "HVC1") return "H.265/HEVC";
  if (upper == "MJPG") return "Motion JPEG";
  if (upper == "I263") return "Intel H.263";
  if (upper == "MPG1" || upper == "MPG2" || upper == "MPEG") return "MPEG-1/2 video";
  if (upper == "VP80" || upper == "VP90") return "VP8/VP9";
  if (upper == "WMV1" || upper == "WMV2" || upper == "WMV3" || upper == "WVC1") return "Windows Media Video";
  return {};
}

ContainerResult ReadAvi(std::span<const uint8_t> bytes) {
  ContainerResult result;
  ContainerTrack& track = result.track;
  track.format = "AVI";
  track.unitIsFrameTime = true;
  const ByteView view(bytes);
  if (!LooksLikeAvi(bytes)) {
    result.error = "not an AVI file (no RIFF 'AVI ' header)";
    return result;
  }
  Layout layout = FindLists(view);
  track.notes = layout.notes;
  if (layout.openDml) track.detail = "OpenDML (AVI 2.0) with extension lists";
  if (layout.headerList.end == 0) {
    result.error = "the AVI file has no stream header list (hdrl): it is damaged or cut short";
    return result;
  }
  const std::vector<StreamInfo> streams = ReadStreams(view, layout.headerList, track.notes);

  int chosen = -1;
  std::string otherFormats;
  for (std::size_t i = 0; i < streams.size() && i < 100; ++i) {
    const StreamInfo& s = streams[i];
    if (s.type != "vids") continue;
    const std::string tag = s.compression.empty() ? s.handler : s.compression;
    if (IsMpeg4VisualFourCc(tag) || IsMpeg4VisualFourCc(s.handler) || IsShortHeaderFourCc(tag) ||
        IsShortHeaderFourCc(s.handler)) {
      chosen = static_cast<int>(i);
      break;
    }
    const std::string other = OtherVideoFormatName(tag);
    if (!otherFormats.empty()) otherFormats += "; ";
    otherFormats += "'" + PrintableTag(tag) + "'" + (other.empty() ? "" : " (" + other + ")");
  }
  if (chosen < 0) {
    // A video stream under an unknown tag may still be MPEG-4 Visual: the
    // first such stream is read and its content decides.
    for (std::size_t i = 0; i < streams.size() && i < 100 && chosen < 0; ++i) {
      const StreamInfo& s = streams[i];
      const std::string tag = s.compression.empty() ? s.handler : s.compression;
      if (s.type == "vids" && OtherVideoFormatName(tag).empty()) {
        chosen = static_cast<int>(i);
        track.notes.push_back("the FourCC '" + PrintableTag(tag) +
                              "' is not one known for MPEG-4 Visual; the stream is read as MPEG-4 Visual");
      }
    }
  }
  if (chosen < 0) {
    if (otherFormats.empty()) {
      result.error = "the AVI file has no video stream";
    } else {
      result.error = "the AVI file's video is neither MPEG-4 Visual nor H.263: FourCC " + otherFormats;
    }
    return result;
  }
  const StreamInfo& video = streams[static_cast<std::size_t>(chosen)];
  track.codecTag = PrintableTag(video.compression.empty() ? video.handler : video.compression);
  track.width = video.width;
  track.height = video.height;
  if (video.rate > 0 && video.scale > 0) {
    const uint32_t g = std::gcd(video.rate, video.scale);
    const uint32_t num = video.rate / g, den = video.scale / g;
    if (num <= 0x7FFFFFFF && den <= 0x7FFFFFFF) track.frameRate = {static_cast<int>(num), static_cast<int>(den)};
  }
  track.configuration = video.extra;
  if (layout.movies.empty()) {
    result.error = "the AVI file has no movi list: it holds no pictures (damaged or cut short)";
    return result;
  }
  for (const Range& movie : layout.movies) CollectChunks(view, movie, chosen, 0, track);
  if (track.units.empty()) {
    result.error = "the AVI file holds no chunks of its video stream " + std::to_string(chosen);
  }
  return result;
}

}  // namespace tavrin::tool
