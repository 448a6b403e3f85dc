#include "video_source.h"

#include <algorithm>

#include "avi_reader.h"
#include "container_track.h"
#include "elementary_stream.h"
#include "iso_media_reader.h"
#include "matroska_reader.h"
#include "short_header.h"

namespace tavrin::tool {
namespace {

int FindProfileAndLevel(std::span<const uint8_t> bytes) {
  const std::size_t at = FindStartCode(bytes, kVisualObjectSequence);
  return at + 4 < bytes.size() ? bytes[at + 4] : -1;
}

// The pictures of one unit: each from its picture start code to the next
// or to the unit's end.  Bytes in front of the first (headers) are left.
std::vector<std::span<const uint8_t>> SplitUnit(std::span<const uint8_t> unit) {
  std::vector<std::span<const uint8_t>> pictures;
  std::size_t start = unit.size();
  for (const StartCode& code : FindStartCodes(unit)) {
    if (code.value != kVideoObjectPlane) continue;
    if (start < unit.size()) pictures.push_back(unit.subspan(start, code.offset - start));
    start = code.offset;
  }
  if (start < unit.size()) pictures.push_back(unit.subspan(start));
  return pictures;
}

// The pictures of one unit of a short-header track; a unit that does not
// start with a picture start code has its bytes in front of the first one
// left.
std::vector<std::span<const uint8_t>> SplitUnit(std::span<const uint8_t> unit, bool shortHeader) {
  return shortHeader ? SplitShortHeaderPictures(unit) : SplitUnit(unit);
}

bool IsCoded(std::span<const uint8_t> picture, const LayerHeaderResult& layer) {
  if (!layer.ok()) return true;
  const PictureHeaderResult header = ParsePictureHeader(picture, layer.layer);
  return !header.ok() || header.header.vopCoded;
}

// The presentation times of the pictures (in decode order) from the times
// of the units that stand for them.  Sorted, those times are the display
// slots, which the pictures take in display order: a B picture when it is
// decoded, an I or P picture when the next I or P picture is (or at the
// end).  Pictures not shown (not coded, unreadable, S) get none.  This
// holds for one picture per unit, where each unit carries its own
// picture's time, and for packed units, where units are frame slots.
std::vector<int64_t> DisplayTimes(const std::vector<std::span<const uint8_t>>& pictures,
                                  const LayerHeaderResult& layer, std::vector<int64_t> slots) {
  std::vector<int64_t> times(pictures.size(), ContainerTrack::kNoTime);
  slots.erase(std::remove(slots.begin(), slots.end(), ContainerTrack::kNoTime), slots.end());
  std::sort(slots.begin(), slots.end());
  std::size_t next = 0;
  auto show = [&](std::size_t picture) {
    if (next < slots.size()) times[picture] = slots[next++];
  };
  bool holding = false;
  std::size_t held = 0;
  for (std::size_t i = 0; i < pictures.size() && layer.ok(); ++i) {
    const PictureHeaderResult r = ParsePictureHeader(pictures[i], layer.layer);
    if (!r.ok() || !r.header.vopCoded) continue;
    if (r.header.vopCodingType == CodingType::kBidirectional) {
      show(i);
    } else if (r.header.vopCodingType != CodingType::kSprite) {
      if (holding) show(held);
      holding = true;
      held = i;
    }
  }
  if (holding) show(held);
  return times;
}

SourceResult OpenElementaryStream(std::span<const uint8_t> bytes) {
  SourceResult result;
  VideoSource& source = result.source;
  source.format = "raw MPEG-4 Visual stream";
  const SplitResult split = SplitElementaryStream(bytes);
  if (!split.ok()) {
    result.error = split.error;
    return result;
  }
  const ElementaryStream& stream = split.stream;
  const auto header = stream.Header(bytes);
  source.header.assign(header.begin(), header.end());
  source.headerOrigin = "in the stream";
  source.profileAndLevel = FindProfileAndLevel(bytes.first(stream.headerOffset));
  for (std::size_t i = 0; i < stream.pictures.size(); ++i) source.pictures.push_back(stream.Picture(bytes, i));
  if (stream.droppedLeadingPictures > 0) {
    source.notes.push_back(std::to_string(stream.droppedLeadingPictures) +
                           " pictures in front of the first header are skipped");
  }
  return result;
}

SourceResult OpenShortHeaderStream(std::span<const uint8_t> bytes) {
  SourceResult result;
  VideoSource& source = result.source;
  source.format = "raw H.263 stream";
  source.pictures = SplitShortHeaderPictures(bytes);
  // Creation takes the first picture, with the video object start code in
  // front of it when the stream has one.
  const std::span<const uint8_t> first = source.pictures.front();
  const std::size_t end = static_cast<std::size_t>(first.data() - bytes.data()) + first.size();
  source.header.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end));
  source.headerOrigin = "of the first picture (short-header streams have no layer header)";
  return result;
}

SourceResult OpenContainer(ContainerResult container) {
  SourceResult result;
  VideoSource& source = result.source;
  ContainerTrack& track = container.track;
  source.format = track.format;
  source.detail = track.detail;
  source.codecTag = track.codecTag;
  source.containerWidth = track.width;
  source.containerHeight = track.height;
  source.containerRate = track.frameRate;
  source.notes = std::move(track.notes);
  source.units = track.units.size();
  source.ownedBytes = track.ownedBytes;
  if (!container.ok()) {
    result.error = container.error;
    return result;
  }

  // The header: from the container's configuration, else from the first
  // unit that carries one.
  std::size_t firstUnit = 0;
  source.header = ExtractHeader(track.configuration);
  source.profileAndLevel = FindProfileAndLevel(track.configuration);
  source.headerOrigin = "in the container's decoder configuration";
  // A short-header track: no configuration, pictures with their own
  // headers; the first one is what the decoder is created with.
  bool shortHeader = false;
  if (source.header.empty()) {
    for (; firstUnit < track.units.size() && track.units[firstUnit].empty(); ++firstUnit) {
    }
    if (firstUnit < track.units.size() && BeginsWithShortHeader(track.units[firstUnit])) {
      shortHeader = true;
      source.header.assign(track.units[firstUnit].begin(), track.units[firstUnit].end());
      source.headerOrigin = "of the first picture (short-header streams have no layer header)";
    } else {
      firstUnit = 0;
    }
  }
  if (source.header.empty()) {
    for (; firstUnit < track.units.size(); ++firstUnit) {
      source.header = ExtractHeader(track.units[firstUnit]);
      if (!source.header.empty()) break;
    }
    if (source.header.empty()) {
      result.error = "no video object layer header (00 00 01 20..2F) in the " + track.format +
                     " file: neither in its decoder configuration nor in front of its pictures, and its first "
                     "unit is no short-header (H.263) picture";
      return result;
    }
    source.profileAndLevel = FindProfileAndLevel(track.units[firstUnit]);
    source.headerOrigin = "in front of the pictures";
    if (firstUnit > 0) {
      source.notes.push_back(std::to_string(firstUnit) + " units in front of the first header are skipped");
    }
  }
  const LayerHeaderResult layer = ParseVideoObjectLayer(source.header);

  // Pictures waiting for a frame time of their own (AVI, Matroska), and
  // where the coded pictures are in the list.
  std::size_t waiting = 0;
  std::vector<std::size_t> codedAt;
  // With unit times: the time of every unit that stands for a picture
  // shown (a coded picture's, a placeholder's).
  const bool timed = track.unitTimes.size() == track.units.size();
  std::vector<int64_t> slotTimes;
  for (std::size_t u = firstUnit; u < track.units.size(); ++u) {
    const std::vector<std::span<const uint8_t>> pictures = SplitUnit(track.units[u], shortHeader);
    std::size_t coded = 0;
    for (const auto& picture : pictures) coded += IsCoded(picture, layer) ? 1 : 0;
    if (timed && (coded > 0 || (track.unitIsFrameTime && waiting > 0))) slotTimes.push_back(track.unitTimes[u]);
    if (coded == 0 && track.unitIsFrameTime && waiting > 0) {
      --waiting;
      ++source.placeholderUnits;
      continue;
    }
    if (pictures.empty()) {
      ++source.emptyUnits;
      continue;
    }
    if (coded > 1) {
      ++source.packedUnits;
      if (track.unitIsFrameTime) waiting += coded - 1;
    }
    for (const auto& picture : pictures) {
      if (IsCoded(picture, layer)) codedAt.push_back(source.pictures.size());
      source.pictures.push_back(picture);
    }
  }
  if (waiting > 0 && waiting <= codedAt.size()) {
    source.pictures.resize(codedAt[codedAt.size() - waiting]);
    source.unshownPackedPictures = waiting;
    source.notes.push_back(std::to_string(waiting) +
                           " packed pictures at the end have no frame time of their own in the file and are "
                           "not shown");
  }
  if (source.pictures.empty()) result.error = "the " + track.format + " file's video track holds no pictures";
  if (timed) source.pictureTimes = DisplayTimes(source.pictures, layer, std::move(slotTimes));
  return result;
}

}  // namespace

InputFormat DetectFormat(std::span<const uint8_t> bytes) {
  if (LooksLikeAvi(bytes)) return InputFormat::kAvi;
  // Matroska's mark is its first four bytes; ISO media is told by the type
  // of its first box at bytes 4 to 7, which any file may hold.
  if (LooksLikeMatroska(bytes)) return InputFormat::kMatroska;
  if (LooksLikeIsoMedia(bytes)) return InputFormat::kIsoMedia;
  if (BeginsWithShortHeader(bytes)) return InputFormat::kShortHeaderStream;
  return InputFormat::kElementaryStream;
}

std::vector<uint8_t> ExtractHeader(std::span<const uint8_t> bytes) {
  const std::vector<StartCode> codes = FindStartCodes(bytes);
  for (std::size_t i = 0; i < codes.size(); ++i) {
    if (!IsVideoObjectLayer(codes[i].value)) continue;
    const bool objectInFront = i > 0 && IsVideoObject(codes[i - 1].value);
    std::size_t end = bytes.size();
    for (std::size_t j = i + 1; j < codes.size(); ++j) {
      if (codes[j].value == kVideoObjectPlane) {
        end = codes[j].offset;
        break;
      }
    }
    std::vector<uint8_t> header;
    std::size_t begin = codes[i].offset;
    if (objectInFront) {
      begin = codes[i - 1].offset;
    } else {
      header = {0x00, 0x00, 0x01, 0x00};
    }
    header.insert(header.end(), bytes.begin() + static_cast<std::ptrdiff_t>(begin),
                  bytes.begin() + static_cast<std::ptrdiff_t>(end));
    return header;
  }
  return {};
}

SourceResult OpenVideo(std::span<const uint8_t> bytes) {
  switch (DetectFormat(bytes)) {
    case InputFormat::kAvi:
      return OpenContainer(ReadAvi(bytes));
    case InputFormat::kIsoMedia:
      return OpenContainer(ReadIsoMedia(bytes));
    case InputFormat::kMatroska:
      return OpenContainer(ReadMatroska(bytes));
    case InputFormat::kShortHeaderStream:
      return OpenShortHeaderStream(bytes);
    case InputFormat::kElementaryStream:
      break;
  }
  SourceResult result = OpenElementaryStream(bytes);
  if (!result.ok() && FindStartCodes(bytes).empty()) {
    result.error = "not a format the tool reads: neither AVI, MP4/MOV, Matroska, a raw MPEG-4 Visual stream nor a raw "
                   "H.263 stream (" +
                   result.error + ")";
  }
  return result;
}

}  // namespace tavrin::tool
