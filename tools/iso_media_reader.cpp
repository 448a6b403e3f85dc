#include "iso_media_reader.h"

#include <algorithm>
#include <map>
#include <numeric>

#include "iso_boxes.h"

namespace tavrin::tool {
namespace {

// Video sample entries: 6 reserved bytes, data reference index, 16 bytes
// of version and quality fields, width, height, resolutions, frame count,
// compressor name, depth and a colour table id: 78 bytes before the
// entry's own boxes (esds, pasp, ...).
constexpr std::size_t kVisualSampleEntryFields = 78;

// More samples than this (a week of pictures at 25 per second) are taken
// for a damaged table rather than a film.
constexpr uint64_t kMostSamples = 1u << 24;

std::string CodecName(const std::string& type) {
  if (type == "avc1" || type == "avc3") return "H.264/AVC";
  if (type == "hvc1" || type == "hev1") return "H.265/HEVC";
  if (type == "jpeg" || type == "mjpa" || type == "mjpb") return "Motion JPEG";
  if (type == "av01") return "AV1";
  if (type == "vp08" || type == "vp09") return "VP8/VP9";
  return {};
}

struct Track {
  std::string handler;
  uint32_t timescale = 0;
  std::vector<Box> table;  // the stbl children
};

struct SampleTables {
  std::vector<uint32_t> sizes;  // one per sample
  std::vector<uint64_t> chunkOffsets;
  struct ChunkRun {
    uint32_t firstChunk;  // 1-based
    uint32_t samplesPerChunk;
  };
  std::vector<ChunkRun> runs;
};

bool ReadSizes(const ByteView& view, const Box& box, std::vector<uint32_t>& sizes, std::vector<std::string>& notes) {
  const ByteView b(view.Slice(box.body, box.bodySize));
  if (box.type == "stsz") {
    uint32_t constant = 0, count = 0;
    if (!b.Be32(4, constant) || !b.Be32(8, count)) return false;
    if (constant != 0) {
      // Each sample lies inside the file, so there cannot be more of them
      // than the file has room for.
      const uint64_t room = std::min<uint64_t>(view.size() / constant, kMostSamples);
      if (count > room) {
        notes.push_back("stsz counts " + std::to_string(count) + " samples of " + std::to_string(constant) +
                        " bytes, more than the file holds");
        count = static_cast<uint32_t>(room);
      }
      sizes.assign(count, constant);
      return true;
    }
    const std::size_t room = (b.size() - 12) / 4;
    if (count > room) {
      notes.push_back("stsz counts " + std::to_string(count) + " samples but lists " + std::to_string(room));
      count = static_cast<uint32_t>(room);
    }
    sizes.resize(count);
    for (uint32_t i = 0; i < count; ++i) b.Be32(12 + 4 * static_cast<std::size_t>(i), sizes[i]);
    return true;
  }
  // stz2: 4, 8 or 16 bits per entry.
  uint32_t field = 0, count = 0;
  if (!b.Byte(7, field) || !b.Be32(8, count)) return false;
  if (field != 4 && field != 8 && field != 16) return false;
  const std::size_t room = (b.size() - 12) * 8 / field;
  if (count > room) {
    notes.push_back("stz2 counts " + std::to_string(count) + " samples but lists " + std::to_string(room));
    count = static_cast<uint32_t>(room);
  }
  sizes.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t v = 0;
    if (field == 16) {
      b.Be16(12 + 2 * static_cast<std::size_t>(i), v);
    } else if (field == 8) {
      b.Byte(12 + i, v);
    } else {
      b.Byte(12 + i / 2, v);
      v = (i & 1) ? (v & 0x0F) : (v >> 4);
    }
    sizes[i] = v;
  }
  return true;
}

bool ReadTables(const ByteView& view, const std::vector<Box>& table, SampleTables& t, std::vector<std::string>& notes,
                std::string& error) {
  const Box* sizes = FindBox(table, "stsz");
  if (sizes == nullptr) sizes = FindBox(table, "stz2");
  const Box* offsets32 = FindBox(table, "stco");
  const Box* offsets64 = FindBox(table, "co64");
  const Box* chunks = FindBox(table, "stsc");
  if (sizes == nullptr || (offsets32 == nullptr && offsets64 == nullptr) || chunks == nullptr) {
    error = "the video track's sample table lacks its sizes (stsz), chunk offsets (stco) or chunk map (stsc)";
    return false;
  }
  if (!ReadSizes(view, *sizes, t.sizes, notes)) {
    error = "the video track's sample size table (" + sizes->type + ") cannot be read";
    return false;
  }
  const Box& offsets = offsets64 != nullptr ? *offsets64 : *offsets32;
  const std::size_t width = offsets64 != nullptr ? 8 : 4;
  const ByteView o(view.Slice(offsets.body, offsets.bodySize));
  uint32_t count = 0;
  o.Be32(4, count);
  const std::size_t room = o.size() >= 8 ? (o.size() - 8) / width : 0;
  if (count > room) {
    notes.push_back(offsets.type + " counts " + std::to_string(count) + " chunks but lists " + std::to_string(room));
    count = static_cast<uint32_t>(room);
  }
  t.chunkOffsets.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    const std::size_t at = 8 + width * i;
    if (width == 8) {
      o.Be64(at, t.chunkOffsets[i]);
    } else {
      uint32_t v = 0;
      o.Be32(at, v);
      t.chunkOffsets[i] = v;
    }
  }
  const ByteView c(view.Slice(chunks->body, chunks->bodySize));
  uint32_t runs = 0;
  c.Be32(4, runs);
  const std::size_t runRoom = c.size() >= 8 ? (c.size() - 8) / 12 : 0;
  runs = static_cast<uint32_t>(std::min<std::size_t>(runs, runRoom));
  for (uint32_t i = 0; i < runs; ++i) {
    SampleTables::ChunkRun run{};
    c.Be32(8 + 12 * static_cast<std::size_t>(i), run.firstChunk);
    c.Be32(12 + 12 * static_cast<std::size_t>(i), run.samplesPerChunk);
    t.runs.push_back(run);
  }
  return true;
}

// Places every sample in the file: chunk by chunk, each chunk's samples one
// after the other from its offset.
void PlaceSamples(const ByteView& view, const SampleTables& t, ContainerTrack& track) {
  std::size_t sample = 0, run = 0;
  const std::size_t total = t.sizes.size();
  for (std::size_t chunk = 0; chunk < t.chunkOffsets.size() && sample < total; ++chunk) {
    while (run + 1 < t.runs.size() && t.runs[run + 1].firstChunk <= chunk + 1) ++run;
    const uint64_t perChunk = t.runs.empty() ? 1 : t.runs[run].samplesPerChunk;
    uint64_t at = t.chunkOffsets[chunk];
    for (uint64_t k = 0; k < perChunk && sample < total; ++k, ++sample) {
      const uint32_t size = t.sizes[sample];
      if (at > view.size() || size > view.size() - at) {
        track.notes.push_back("samples from " + std::to_string(sample + 1) + " of " + std::to_string(total) +
                              " lie beyond the end of the file: it is cut short");
        return;
      }
      track.units.push_back(view.Slice(static_cast<std::size_t>(at), size));
      at += size;
    }
  }
  if (sample < total) {
    track.notes.push_back(std::to_string(total - sample) + " samples have no chunk in the sample table");
  }
}

// The commonest sample duration of stts, as a rate.
Ratio RateFromDurations(const ByteView& view, const Box* stts, uint32_t timescale) {
  if (stts == nullptr || timescale == 0) return {};
  const ByteView b(view.Slice(stts->body, stts->bodySize));
  uint32_t entries = 0;
  b.Be32(4, entries);
  std::map<uint32_t, uint64_t> samplesByDelta;
  for (uint32_t i = 0; i < entries && b.Has(8 + 8 * static_cast<std::size_t>(i), 8); ++i) {
    uint32_t count = 0, delta = 0;
    b.Be32(8 + 8 * static_cast<std::size_t>(i), count);
    b.Be32(12 + 8 * static_cast<std::size_t>(i), delta);
    if (delta > 0) samplesByDelta[delta] += count;
  }
  uint32_t best = 0;
  uint64_t most = 0;
  for (const auto& [delta, count] : samplesByDelta) {
    if (count > most) {
      most = count;
      best = delta;
    }
  }
  if (best == 0) return {};
  const uint32_t g = std::gcd(timescale, best);
  if (timescale / g > 0x7FFFFFFF || best / g > 0x7FFFFFFF) return {};
  return {static_cast<int>(timescale / g), static_cast<int>(best / g)};
}

}  // namespace

bool LooksLikeIsoMedia(std::span<const uint8_t> bytes) {
  const ByteView view(bytes);
  const std::string type = view.Tag(4);
  return type == "ftyp" || type == "moov" || type == "mdat" || type == "free" || type == "skip" ||
         type == "wide" || type == "pnot";
}

ContainerResult ReadIsoMedia(std::span<const uint8_t> bytes) {
  ContainerResult result;
  ContainerTrack& track = result.track;
  const ByteView view(bytes);
  std::vector<std::string>& notes = track.notes;
  const std::vector<Box> top = ChildBoxes(view, 0, view.size(), notes);
  const Box* type = FindBox(top, "ftyp");
  const std::string brand = type != nullptr ? view.Tag(type->body) : std::string();
  track.format = (type == nullptr || brand == "qt  ") ? "QuickTime MOV" : "MP4";
  if (!brand.empty()) track.detail = "brand '" + PrintableTag(brand) + "'";
  const Box* movie = FindBox(top, "moov");
  if (movie == nullptr) {
    result.error = FindBox(top, "moof") != nullptr
                       ? "the file is a fragmented MP4 (movie fragments), which the tool does not read"
                       : "the " + track.format + " file has no movie box (moov): it is cut short or was never finished";
    return result;
  }

  std::string others;
  for (const Box& trak : ChildrenOf(view, *movie, notes)) {
    if (trak.type != "trak") continue;
    const std::vector<Box> trackBoxes = ChildrenOf(view, trak, notes);
    const Box* media = FindBox(trackBoxes, "mdia");
    if (media == nullptr) continue;
    const std::vector<Box> mediaBoxes = ChildrenOf(view, *media, notes);
    const Box* handler = FindBox(mediaBoxes, "hdlr");
    if (handler == nullptr || view.Tag(handler->body + 8) != "vide" || handler->bodySize < 12) continue;
    const Box* header = FindBox(mediaBoxes, "mdhd");
    const Box* info = FindBox(mediaBoxes, "minf");
    if (info == nullptr) continue;
    const std::vector<Box> infoBoxes = ChildrenOf(view, *info, notes);
    const Box* table = FindBox(infoBoxes, "stbl");
    if (table == nullptr) continue;
    const std::vector<Box> tables = ChildrenOf(view, *table, notes);
    const Box* descriptions = FindBox(tables, "stsd");
    if (descriptions == nullptr || descriptions->bodySize < 8) continue;
    const std::vector<Box> entries =
        ChildBoxes(view, descriptions->body + 8, descriptions->body + descriptions->bodySize, notes);
    if (entries.empty()) continue;
    const Box& entry = entries.front();
    // H.263 tracks ('s263' in 3GP, 'h263' in MOV) hold short-header
    // pictures, which carry their own headers: no configuration is read.
    const bool shortHeader = entry.type == "s263" || entry.type == "h263";
    if (entry.type != "mp4v" && !shortHeader) {
      const std::string name = CodecName(entry.type);
      if (!others.empty()) others += "; ";
      others += "'" + PrintableTag(entry.type) + "'" + (name.empty() ? "" : " (" + name + ")");
      continue;
    }
    const ByteView fields(view.Slice(entry.body, entry.bodySize));
    uint32_t width = 0, height = 0;
    fields.Be16(24, width);
    fields.Be16(26, height);
    std::vector<uint8_t> configuration;
    if (entry.bodySize > kVisualSampleEntryFields && !shortHeader) {
      const auto inner = ChildBoxes(view, entry.body + kVisualSampleEntryFields, entry.body + entry.bodySize, notes);
      if (const Box* esds = FindBox(inner, "esds")) {
        DecoderConfig config = ReadElementaryStreamDescriptor(view.Slice(esds->body, esds->bodySize));
        if (!config.error.empty()) notes.push_back(config.error);
        if (config.objectType >= 0 && config.objectType != 0x20) {
          if (!others.empty()) others += "; ";
          others += "'mp4v' with " + ObjectTypeName(config.objectType);
          continue;
        }
        configuration = std::move(config.specificInfo);
      }
    }
    track.codecTag = entry.type;
    track.width = static_cast<int>(width);
    track.height = static_cast<int>(height);
    track.configuration = std::move(configuration);
    uint32_t timescale = 0;
    if (header != nullptr) {
      uint32_t version = 0;
      view.Byte(header->body, version);
      if (header->bodySize >= (version == 1 ? 24u : 16u)) view.Be32(header->body + (version == 1 ? 20 : 12), timescale);
    }
    track.frameRate = RateFromDurations(view, FindBox(tables, "stts"), timescale);
    SampleTables sampleTables;
    if (!ReadTables(view, tables, sampleTables, notes, result.error)) {
      result.error = "in the " + track.format + " file, " + result.error;
      return result;
    }
    PlaceSamples(view, sampleTables, track);
    if (track.units.empty()) {
      result.error = FindBox(top, "moof") != nullptr
                         ? "the MP4 file's video track has its samples in movie fragments (moof), which the tool "
                           "does not read"
                         : "the " + track.format + " file's video track holds no samples";
    }
    return result;
  }
  result.error = others.empty() ? "the " + track.format + " file has no video track"
                                : "the " + track.format +
                                      " file's video is neither MPEG-4 Visual nor H.263: sample description " + others;
  return result;
}

}  // namespace tavrin::tool
