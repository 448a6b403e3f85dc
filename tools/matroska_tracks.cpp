#include "matroska_tracks.h"

#include <algorithm>
#include <array>

#include "avi_reader.h"
#include "byte_reader.h"
#include "ebml.h"

namespace tavrin::tool::matroska {
namespace {

namespace id = ebml::id;

// The Matroska codec IDs read as MPEG-4 Visual.  Another codec carried the
// same way is one more line here.
struct CodecEntry {
  const char* codecId;
  PrivateData privateData;
};
constexpr std::array<CodecEntry, 4> kMpeg4VisualCodecs = {{
    {"V_MPEG4/ISO/ASP", PrivateData::kHeaderBytes},
    {"V_MPEG4/ISO/SP", PrivateData::kHeaderBytes},
    {"V_MPEG4/ISO/AP", PrivateData::kHeaderBytes},
    {"V_MS/VFW/FOURCC", PrivateData::kBitmapInfoHeader},
}};

constexpr std::size_t kBitmapInfoHeaderSize = 40;
// Header removal puts its bytes back in front of every frame; more than
// this is no header a writer strips, but damage.
constexpr std::size_t kMostRemovedBytes = 256;
// Track lists and encoding lists longer than these are damage.
constexpr std::size_t kMostTracks = 256;
constexpr std::size_t kMostEncodings = 16;

const char* AlgorithmName(uint64_t algorithm) {
  switch (algorithm) {
    case 0:
      return "zlib";
    case 1:
      return "bzlib";
    case 2:
      return "lzo1x";
    default:
      return "an unknown method";
  }
}

std::vector<ContentEncoding> ReadEncodings(std::span<const uint8_t> file, const ebml::Element& encodings) {
  std::vector<ContentEncoding> list;
  ebml::WalkChildren(file, encodings.bodyBegin, encodings.bodyEnd, [&](const ebml::Element& e) {
    if (e.id != id::kContentEncoding) return true;
    ContentEncoding encoding;
    ebml::WalkChildren(file, e.bodyBegin, e.bodyEnd, [&](const ebml::Element& f) {
      const auto body = file.subspan(f.bodyBegin, f.bodySize());
      if (f.id == id::kContentEncodingOrder) encoding.order = ebml::ReadUnsigned(body).value_or(0);
      if (f.id == id::kContentEncodingScope) encoding.scope = ebml::ReadUnsigned(body).value_or(1);
      if (f.id == id::kContentEncodingType) encoding.type = ebml::ReadUnsigned(body).value_or(0);
      if (f.id == id::kContentEncryption) encoding.type = 1;
      if (f.id == id::kContentCompression) {
        encoding.hasCompression = true;
        ebml::WalkChildren(file, f.bodyBegin, f.bodyEnd, [&](const ebml::Element& g) {
          const auto value = file.subspan(g.bodyBegin, g.bodySize());
          if (g.id == id::kContentCompAlgo) encoding.algorithm = ebml::ReadUnsigned(value).value_or(0);
          if (g.id == id::kContentCompSettings) encoding.settings = value;
          return true;
        });
      }
      return true;
    });
    list.push_back(encoding);
    return list.size() < kMostEncodings;
  });
  return list;
}

TrackEntry ReadEntry(std::span<const uint8_t> file, const ebml::Element& entry) {
  TrackEntry track;
  ebml::WalkChildren(file, entry.bodyBegin, entry.bodyEnd, [&](const ebml::Element& e) {
    const auto body = file.subspan(e.bodyBegin, e.bodySize());
    switch (e.id) {
      case id::kTrackNumber:
        track.number = ebml::ReadUnsigned(body).value_or(0);
        break;
      case id::kTrackType:
        track.type = ebml::ReadUnsigned(body).value_or(0);
        break;
      case id::kCodecId:
        track.codecId = ebml::ReadString(body);
        break;
      case id::kCodecPrivate:
        track.codecPrivate = body;
        break;
      case id::kDefaultDuration:
        track.defaultDuration = ebml::ReadUnsigned(body).value_or(0);
        break;
      case id::kVideo:
        ebml::WalkChildren(file, e.bodyBegin, e.bodyEnd, [&](const ebml::Element& v) {
          const auto value = file.subspan(v.bodyBegin, v.bodySize());
          if (v.id == id::kPixelWidth) track.width = ebml::ReadUnsigned(value).value_or(0);
          if (v.id == id::kPixelHeight) track.height = ebml::ReadUnsigned(value).value_or(0);
          return true;
        });
        break;
      case id::kContentEncodings:
        track.encodings = ReadEncodings(file, e);
        break;
      default:
        break;
    }
    return true;
  });
  return track;
}

std::string Quoted(const std::string& text) {
  std::string quoted(1, '\'');
  quoted += PrintableTag(text);
  quoted += '\'';
  return quoted;
}

// The bytes to put back in front of what `scopeBit` covers, or an error.
bool RemovedBytes(const std::vector<ContentEncoding>& encodings, uint64_t scopeBit, std::vector<uint8_t>& prefix,
                  std::string& error) {
  std::vector<const ContentEncoding*> applying;
  for (const ContentEncoding& e : encodings) {
    if (e.scope & scopeBit) applying.push_back(&e);
  }
  // Writers number their encodings from 0 in the order they applied them;
  // removals undone from the highest put the lowest order's bytes first.
  std::stable_sort(applying.begin(), applying.end(),
                   [](const ContentEncoding* a, const ContentEncoding* b) { return a->order < b->order; });
  prefix.clear();
  for (const ContentEncoding* e : applying) {
    if (e->type != 0) {
      error = "the Matroska file's video track is encrypted, which the tool does not read";
      return false;
    }
    if (!e->hasCompression) continue;
    if (e->algorithm != 3) {
      error = std::string("the Matroska file's video track is compressed with ") + AlgorithmName(e->algorithm) +
              " (ContentCompAlgo " + std::to_string(e->algorithm) +
              "), which the tool does not read; only header removal (3) is undone";
      return false;
    }
    if (prefix.size() + e->settings.size() > kMostRemovedBytes) {
      error = "the Matroska file's video track claims header removal of more than " +
              std::to_string(kMostRemovedBytes) + " bytes: its track entry is damaged";
      return false;
    }
    prefix.insert(prefix.end(), e->settings.begin(), e->settings.end());
  }
  return true;
}

}  // namespace

std::vector<TrackEntry> ReadTracks(std::span<const uint8_t> file, std::size_t begin, std::size_t end) {
  std::vector<TrackEntry> tracks;
  ebml::WalkChildren(file, begin, end, [&](const ebml::Element& e) {
    if (e.id == id::kTrackEntry) tracks.push_back(ReadEntry(file, e));
    return tracks.size() < kMostTracks;
  });
  return tracks;
}

const PrivateData* Mpeg4VisualCodec(const std::string& codecId) {
  for (const CodecEntry& c : kMpeg4VisualCodecs) {
    if (codecId == c.codecId) return &c.privateData;
  }
  return nullptr;
}

std::string OtherCodecName(const std::string& codecId) {
  auto starts = [&](const char* prefix) { return codecId.rfind(prefix, 0) == 0; };
  if (starts("V_MPEG4/ISO/AVC")) return "H.264/AVC";
  if (starts("V_MPEGH/ISO/HEVC")) return "H.265/HEVC";
  if (starts("V_MPEG4/MS/V3")) return "MS MPEG-4 version 3 (DivX ;-) 3)";
  if (starts("V_MPEG1") || starts("V_MPEG2")) return "MPEG-1/2 video";
  if (starts("V_VP8") || starts("V_VP9")) return "VP8/VP9";
  if (starts("V_AV1")) return "AV1";
  if (starts("V_MJPEG")) return "Motion JPEG";
  if (starts("V_THEORA")) return "Theora";
  if (starts("V_REAL")) return "RealVideo";
  return {};
}

VideoTrackResult ChooseVideoTrack(const std::vector<TrackEntry>& tracks) {
  VideoTrackResult result;
  VideoTrack& chosen = result.track;
  std::string others;
  auto other = [&](const std::string& what, const std::string& name) {
    if (!others.empty()) others += "; ";
    others += what + (name.empty() ? "" : " (" + name + ")");
  };
  const TrackEntry* unknownFourCc = nullptr;
  std::string fourCcOfChoice;
  for (const TrackEntry& t : tracks) {
    if (t.type != 1) continue;
    const PrivateData* kind = Mpeg4VisualCodec(t.codecId);
    if (kind == nullptr) {
      other("codec " + Quoted(t.codecId), OtherCodecName(t.codecId));
      continue;
    }
    if (*kind == PrivateData::kBitmapInfoHeader) {
      const std::string fourcc = ByteView(t.codecPrivate).Tag(16);
      if (fourcc.empty()) {
        other("codec " + Quoted(t.codecId) + " without its BITMAPINFOHEADER", "");
        continue;
      }
      if (!IsMpeg4VisualFourCc(fourcc)) {
        const std::string name = OtherVideoFormatName(fourcc);
        if (name.empty() && unknownFourCc == nullptr) unknownFourCc = &t;
        other("codec " + Quoted(t.codecId) + " with FourCC " + Quoted(fourcc), name);
        continue;
      }
    }
    chosen.entry = &t;
    break;
  }
  if (chosen.entry == nullptr && unknownFourCc != nullptr) {
    // As in AVI: a FourCC of no known format may still be MPEG-4 Visual,
    // and the track's content decides.
    chosen.entry = unknownFourCc;
    chosen.notes.push_back("the FourCC " + Quoted(ByteView(unknownFourCc->codecPrivate).Tag(16)) +
                           " is not one known for MPEG-4 Visual; the track is read as MPEG-4 Visual");
  }
  if (chosen.entry == nullptr) {
    result.error = others.empty() ? "the Matroska file has no video track"
                                  : "the Matroska file's video is not MPEG-4 Visual: " + others;
    return result;
  }
  const TrackEntry& t = *chosen.entry;
  std::vector<uint8_t> privatePrefix;
  if (!RemovedBytes(t.encodings, 1, chosen.framePrefix, result.error) ||
      !RemovedBytes(t.encodings, 2, privatePrefix, result.error)) {
    return result;
  }
  // The private data as written before its header removal, if any.
  std::vector<uint8_t> restored = std::move(privatePrefix);
  restored.insert(restored.end(), t.codecPrivate.begin(), t.codecPrivate.end());
  chosen.codecTag = t.codecId;
  std::size_t headerAt = 0;
  if (*Mpeg4VisualCodec(t.codecId) == PrivateData::kBitmapInfoHeader) {
    chosen.codecTag += " (" + PrintableTag(ByteView(t.codecPrivate).Tag(16)) + ")";
    headerAt = std::min(restored.size(), kBitmapInfoHeaderSize);
  }
  chosen.configuration.assign(restored.begin() + static_cast<std::ptrdiff_t>(headerAt), restored.end());
  return result;
}

}  // namespace tavrin::tool::matroska
