#include "matroska_reader.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>

#include "byte_reader.h"
#include "ebml.h"
#include "matroska_blocks.h"
#include "matroska_tracks.h"

namespace tavrin::tool {
namespace {

namespace id = ebml::id;
using matroska::TrackEntry;

constexpr uint64_t kDefaultTimestampScale = 1000000;  // nanoseconds: timestamps in milliseconds
// Damage is reported place by place up to this many notes.
constexpr std::size_t kMostNotes = 12;
// Frames rebuilt by undoing header removal may take at most this many
// bytes per byte of the file, plus a megabyte: more is damage (a file of
// empty laced frames under a long removed header).
constexpr std::size_t kRebuiltBytesPerFileByte = 8;

struct Range {
  std::size_t begin = 0;
  std::size_t end = 0;
};

bool IsSegmentLevel(uint32_t e) {
  return e == id::kSeekHead || e == id::kInfo || e == id::kTracks || e == id::kCluster || e == id::kCues ||
         e == id::kChapters || e == id::kTags || e == id::kAttachments || e == id::kHeader || e == id::kSegment;
}

bool IsClusterChild(uint32_t e) {
  return e == id::kTimestamp || e == id::kSimpleBlock || e == id::kBlockGroup || e == id::kPosition ||
         e == id::kPrevSize || e == id::kSilentTracks || e == id::kEncryptedBlock || e == id::kVoid ||
         e == id::kCrc32;
}

std::string At(std::size_t offset) { return "at offset " + std::to_string(offset); }

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> file) : file_(file) {}

  ContainerResult Read();

 private:
  void Note(const std::string& text);
  bool ReadHeader(std::string& error);
  std::optional<Range> FindSegment();
  void WalkSegment(Range segment);
  std::size_t FindCluster(std::size_t from, std::size_t end) const;
  void ReadInfo(Range info);
  void ReadCluster(Range cluster);
  void TakeBlock(const ebml::Element& block, uint64_t clusterTime);
  int64_t TimeOf(uint64_t clusterTime, int16_t relative) const;
  bool RebuildFrames(const std::vector<uint8_t>& prefix, std::string& error);
  Ratio FrameRate() const;

  std::span<const uint8_t> file_;
  ContainerResult result_;
  std::size_t unlistedNotes_ = 0;
  std::string docType_ = "matroska";
  uint64_t docTypeVersion_ = 1;
  std::string writer_;
  uint64_t timestampScale_ = kDefaultTimestampScale;
  std::optional<Range> tracks_;
  std::vector<Range> clusters_;
  bool unknownSizeClusters_ = false;
  uint64_t trackNumber_ = 0;
  uint64_t defaultDuration_ = 0;
};

void Reader::Note(const std::string& text) {
  if (result_.track.notes.size() < kMostNotes) {
    result_.track.notes.push_back(text);
  } else {
    ++unlistedNotes_;
  }
}

bool Reader::ReadHeader(std::string& error) {
  const std::optional<ebml::Element> header = ebml::ReadElement(file_, 0, file_.size());
  if (!header || header->id != id::kHeader || header->unknownSize || header->clipped) {
    error = "the Matroska file's EBML header is damaged or cut short";
    return false;
  }
  ebml::WalkChildren(file_, header->bodyBegin, header->bodyEnd, [&](const ebml::Element& e) {
    const auto body = file_.subspan(e.bodyBegin, e.bodySize());
    if (e.id == id::kDocType) docType_ = ebml::ReadString(body);
    if (e.id == id::kDocTypeVersion) docTypeVersion_ = ebml::ReadUnsigned(body).value_or(0);
    return true;
  });
  if (docType_ != "matroska" && docType_ != "webm") {
    error = "the file is EBML of document type '" + PrintableTag(docType_) + "', not Matroska";
    return false;
  }
  return true;
}

std::optional<Range> Reader::FindSegment() {
  std::optional<Range> segment;
  const std::optional<ebml::Element> header = ebml::ReadElement(file_, 0, file_.size());
  ebml::WalkChildren(file_, header->bodyEnd, file_.size(), [&](const ebml::Element& e) {
    if (e.id != id::kSegment) return true;
    if (e.clipped) {
      Note("the segment claims " + std::to_string(e.declaredSize) + " bytes but only " +
           std::to_string(e.bodySize()) + " remain: the file is cut short");
    }
    segment = Range{e.bodyBegin, e.bodyEnd};
    return false;
  });
  return segment;
}

// The next cluster from `from` on: its ID, a size that reads, and a first
// child that belongs in a cluster.
std::size_t Reader::FindCluster(std::size_t from, std::size_t end) const {
  static constexpr uint8_t kId[4] = {0x1F, 0x43, 0xB6, 0x75};
  const auto range = file_.first(end);
  for (auto it = std::search(range.begin() + static_cast<std::ptrdiff_t>(std::min(from, end)), range.end(),
                             std::begin(kId), std::end(kId));
       it != range.end(); it = std::search(it + 1, range.end(), std::begin(kId), std::end(kId))) {
    const std::size_t at = static_cast<std::size_t>(it - range.begin());
    const std::optional<ebml::Element> cluster = ebml::ReadElement(file_, at, end);
    if (!cluster) continue;
    const std::optional<ebml::Element> child = ebml::ReadElement(file_, cluster->bodyBegin, cluster->bodyEnd);
    if (child && IsClusterChild(child->id)) return at;
  }
  return end;
}

void Reader::WalkSegment(Range segment) {
  std::size_t at = segment.begin;
  while (at < segment.end) {
    std::optional<ebml::Element> e = ebml::ReadElement(file_, at, segment.end);
    if (e && (e->id == id::kHeader || e->id == id::kSegment)) {
      Note("another segment follows " + At(at) + "; only the first is read");
      return;
    }
    // Bytes that are no element, or an unknown element that runs past the
    // segment, are damage: reading goes on at the next cluster.
    if (!e || (e->clipped && !IsSegmentLevel(e->id))) {
      const std::size_t next = FindCluster(at + 1, segment.end);
      Note("damaged bytes " + At(at) +
           (next < segment.end ? " are skipped up to the next cluster " + At(next) : ": nothing after them is read"));
      at = next;
      continue;
    }
    if (e->id == id::kCluster) {
      // A cluster ends where an element starts that cannot be inside one:
      // at once for clusters of unknown size, and before the size it
      // claims when that size is damaged.
      const std::size_t end = ebml::WalkChildren(file_, e->bodyBegin, e->unknownSize ? segment.end : e->bodyEnd,
                                                 [](const ebml::Element& child) { return IsClusterChild(child.id); });
      if (e->unknownSize) {
        unknownSizeClusters_ = true;
      } else if (end < e->bodyEnd) {
        Note("the cluster " + At(at) + " ends " + At(end) + ", before the " + std::to_string(e->declaredSize) +
             " bytes it claims: it is damaged");
      } else if (e->clipped) {
        Note("the cluster " + At(at) + " claims " + std::to_string(e->declaredSize) + " bytes but only " +
             std::to_string(e->bodySize()) + " remain: the file is cut short");
      }
      clusters_.push_back({e->bodyBegin, end});
      at = std::max(end, e->bodyBegin);
      continue;
    }
    if (e->unknownSize) {
      // Live writers leave only segments and clusters open; any other
      // element ends where one of the segment's own starts.
      e->bodyEnd = ebml::WalkChildren(file_, e->bodyBegin, segment.end,
                                      [](const ebml::Element& child) { return !IsSegmentLevel(child.id); });
    } else if (e->clipped) {
      Note("the element " + At(at) + " claims " + std::to_string(e->declaredSize) + " bytes but only " +
           std::to_string(e->bodySize()) + " remain: the file is cut short");
    }
    if (e->id == id::kInfo) ReadInfo({e->bodyBegin, e->bodyEnd});
    if (e->id == id::kTracks && !tracks_) tracks_ = Range{e->bodyBegin, e->bodyEnd};
    // Every element's body starts after its head, so this advances.
    at = std::max(e->bodyEnd, e->bodyBegin);
  }
}

void Reader::ReadInfo(Range info) {
  ebml::WalkChildren(file_, info.begin, info.end, [&](const ebml::Element& e) {
    const auto body = file_.subspan(e.bodyBegin, e.bodySize());
    if (e.id == id::kTimestampScale) {
      timestampScale_ = ebml::ReadUnsigned(body).value_or(0);
      if (timestampScale_ == 0 || timestampScale_ > 1000000000000ull) {
        Note("the timestamp scale " + std::to_string(timestampScale_) + " is not usable; 1 ms is assumed");
        timestampScale_ = kDefaultTimestampScale;
      }
    }
    // The writing program names itself better than the library it used.
    if (e.id == id::kWritingApp) writer_ = ebml::ReadString(body);
    if (e.id == id::kMuxingApp && writer_.empty()) writer_ = ebml::ReadString(body);
    return true;
  });
}

int64_t Reader::TimeOf(uint64_t clusterTime, int16_t relative) const {
  constexpr int64_t kMost = std::numeric_limits<int64_t>::max() / 2;
  if (clusterTime > static_cast<uint64_t>(kMost)) return ContainerTrack::kNoTime;
  const int64_t units = static_cast<int64_t>(clusterTime) + relative;
  const int64_t scale = static_cast<int64_t>(timestampScale_);
  if (units > kMost / scale || units < -kMost / scale) return ContainerTrack::kNoTime;
  return units * scale;
}

void Reader::TakeBlock(const ebml::Element& block, uint64_t clusterTime) {
  ContainerTrack& track = result_.track;
  const auto body = file_.subspan(block.bodyBegin, block.bodySize());
  const std::optional<matroska::BlockHead> head = matroska::ReadBlockHead(body);
  if (!head) {
    Note("the block " + At(block.offset) + " is too short for its head");
    return;
  }
  if (head->track != trackNumber_) return;
  if (block.clipped) {
    Note("the block " + At(block.offset) + " claims " + std::to_string(block.declaredSize) + " bytes but only " +
         std::to_string(block.bodySize()) + " remain in its cluster: the file is cut short or damaged, the block is left out");
    return;
  }
  std::vector<std::span<const uint8_t>> frames;
  std::string error;
  if (!matroska::SplitFrames(body.subspan(head->dataOffset), head->lacing, frames, error)) {
    Note(error + " (" + At(block.offset) + "); the block is left out");
    return;
  }
  const int64_t time = TimeOf(clusterTime, head->relativeTime);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    track.units.push_back(frames[i]);
    // Laced frames after the first follow at the track's frame duration.
    int64_t t = time;
    if (i > 0) {
      const bool known = time != ContainerTrack::kNoTime && defaultDuration_ > 0 && defaultDuration_ < (1ull << 40);
      t = known ? time + static_cast<int64_t>(i * defaultDuration_) : ContainerTrack::kNoTime;
    }
    track.unitTimes.push_back(t);
  }
}

void Reader::ReadCluster(Range cluster) {
  uint64_t clusterTime = 0;
  const std::size_t stop = ebml::WalkChildren(file_, cluster.begin, cluster.end, [&](const ebml::Element& e) {
    if (e.id == id::kTimestamp) {
      clusterTime = ebml::ReadUnsigned(file_.subspan(e.bodyBegin, e.bodySize())).value_or(0);
    } else if (e.id == id::kSimpleBlock) {
      TakeBlock(e, clusterTime);
    } else if (e.id == id::kBlockGroup) {
      ebml::WalkChildren(file_, e.bodyBegin, e.bodyEnd, [&](const ebml::Element& child) {
        if (child.id == id::kBlock) TakeBlock(child, clusterTime);
        return child.id != id::kBlock;
      });
    }
    return true;
  });
  if (stop < cluster.end) Note("damaged bytes " + At(stop) + " end the cluster before its end " + At(cluster.end));
}

// Header removal undone: every frame rebuilt, the removed bytes in front,
// in one block that the track keeps.
bool Reader::RebuildFrames(const std::vector<uint8_t>& prefix, std::string& error) {
  ContainerTrack& track = result_.track;
  const std::size_t limit = file_.size() * kRebuiltBytesPerFileByte + (1u << 20);
  std::size_t total = 0;
  for (const auto& unit : track.units) {
    total += prefix.size() + unit.size();
    if (total > limit) {
      error = "the Matroska file's frames would take more than " + std::to_string(limit) +
              " bytes with their removed header bytes put back: the file is damaged";
      return false;
    }
  }
  auto owned = std::make_shared<std::vector<uint8_t>>();
  owned->reserve(total);
  std::vector<std::size_t> starts;
  starts.reserve(track.units.size());
  for (const auto& unit : track.units) {
    starts.push_back(owned->size());
    owned->insert(owned->end(), prefix.begin(), prefix.end());
    owned->insert(owned->end(), unit.begin(), unit.end());
  }
  const std::span<const uint8_t> all(*owned);
  for (std::size_t i = 0; i < track.units.size(); ++i) {
    track.units[i] = all.subspan(starts[i], prefix.size() + track.units[i].size());
  }
  track.ownedBytes = std::move(owned);
  return true;
}

// A rate of `perSecond` / `nanoseconds` per frame; integer and NTSC
// (n * 1000/1001) rates are found within `tolerance` nanoseconds.
Ratio RateOfDuration(double nanoseconds, double tolerance) {
  if (!(nanoseconds > 0) || nanoseconds > 1e12) return {};
  const double integer = std::round(1e9 / nanoseconds);
  const double ntsc = std::round(1.001e9 / nanoseconds);
  if (integer >= 1 && std::abs(1e9 / integer - nanoseconds) <= tolerance) return {static_cast<int>(integer), 1};
  if (ntsc >= 1 && std::abs(1.001e9 / ntsc - nanoseconds) <= tolerance) {
    return {static_cast<int>(ntsc * 1000), 1001};
  }
  const int64_t num = 1000000;
  const int64_t den = std::llround(nanoseconds / 1000);
  if (den < 1) return {};
  const int64_t g = std::gcd(num, den);
  if (den / g > 0x7FFFFFFF) return {};
  return {static_cast<int>(num / g), static_cast<int>(den / g)};
}

// The track's frame duration, else the mean step between its distinct
// frame times.
Ratio Reader::FrameRate() const {
  if (defaultDuration_ > 0) return RateOfDuration(static_cast<double>(defaultDuration_), 1000);
  std::vector<int64_t> times;
  for (const int64_t t : result_.track.unitTimes) {
    if (t != ContainerTrack::kNoTime) times.push_back(t);
  }
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());
  if (times.size() < 2) return {};
  const double steps = static_cast<double>(times.size() - 1);
  const double mean = (static_cast<double>(times.back()) - static_cast<double>(times.front())) / steps;
  // The times are whole multiples of the timestamp scale.
  return RateOfDuration(mean, static_cast<double>(timestampScale_) / steps + 1);
}

ContainerResult Reader::Read() {
  ContainerTrack& track = result_.track;
  track.format = "Matroska";
  track.unitIsFrameTime = true;
  if (!ReadHeader(result_.error)) return result_;
  const std::optional<Range> segment = FindSegment();
  if (!segment) {
    result_.error = "the Matroska file has no segment after its EBML header: it is cut short or damaged";
    return result_;
  }
  WalkSegment(*segment);
  if (!tracks_) {
    result_.error = "the Matroska file has no track list (Tracks): it is damaged or cut short";
    return result_;
  }
  const std::vector<TrackEntry> entries = matroska::ReadTracks(file_, tracks_->begin, tracks_->end);
  matroska::VideoTrackResult video = matroska::ChooseVideoTrack(entries);
  for (const std::string& n : video.track.notes) Note(n);
  if (!video.ok()) {
    result_.error = video.error;
    return result_;
  }
  const TrackEntry& entry = *video.track.entry;
  trackNumber_ = entry.number;
  defaultDuration_ = entry.defaultDuration;
  track.codecTag = video.track.codecTag;
  track.configuration = std::move(video.track.configuration);
  track.width = static_cast<int>(std::min<uint64_t>(entry.width, 1u << 16));
  track.height = static_cast<int>(std::min<uint64_t>(entry.height, 1u << 16));
  for (const Range& cluster : clusters_) ReadCluster(cluster);

  track.detail = "DocType '" + PrintableTag(docType_) + "' version " + std::to_string(docTypeVersion_);
  if (!writer_.empty()) track.detail += ", written by " + PrintableTag(writer_);
  if (unknownSizeClusters_) track.detail += ", clusters of unknown size";
  if (!video.track.framePrefix.empty()) {
    track.detail += ", header removal of " + std::to_string(video.track.framePrefix.size()) + " bytes undone";
  }
  if (unlistedNotes_ > 0) track.notes.push_back(std::to_string(unlistedNotes_) + " more damaged places are not listed");
  if (track.units.empty()) {
    result_.error = "the Matroska file holds no frames of its video track " + std::to_string(trackNumber_);
    return result_;
  }
  if (!video.track.framePrefix.empty() && !RebuildFrames(video.track.framePrefix, result_.error)) return result_;
  track.frameRate = FrameRate();
  return result_;
}

}  // namespace

bool LooksLikeMatroska(std::span<const uint8_t> bytes) {
  return bytes.size() >= 4 && bytes[0] == 0x1A && bytes[1] == 0x45 && bytes[2] == 0xDF && bytes[3] == 0xA3;
}

ContainerResult ReadMatroska(std::span<const uint8_t> bytes) {
  if (!LooksLikeMatroska(bytes)) {
    ContainerResult result;
    result.track.format = "Matroska";
    result.error = "not a Matroska file (no EBML header)";
    return result;
  }
  return Reader(bytes).Read();
}

}  // namespace tavrin::tool
