// The tool's Matroska reader, and what the tool makes of the units it
// reads (header bytes, pictures split at start codes, packed pictures and
// their placeholders, display times): the whole input is a file.  Nothing
// is decoded here; the decoder target covers the pictures.
//
// Every unit must lie inside the file or inside the bytes the reader
// rebuilt, every unit must have a time, and a file that cannot be read must
// say why.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "matroska_reader.h"
#include "video_source.h"

namespace {

using tavrin::tool::ContainerTrack;

bool Inside(std::span<const uint8_t> part, const uint8_t* begin, std::size_t size) {
  return part.empty() || (part.data() >= begin && part.data() + part.size() <= begin + size);
}

bool InsideFileOrRebuilt(std::span<const uint8_t> part, std::span<const uint8_t> file,
                         const std::shared_ptr<const std::vector<uint8_t>>& rebuilt) {
  return Inside(part, file.data(), file.size()) || (rebuilt && Inside(part, rebuilt->data(), rebuilt->size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  const tavrin::tool::ContainerResult mkv = tavrin::tool::ReadMatroska(file);
  const ContainerTrack& track = mkv.track;
  if (!mkv.ok() && mkv.error.empty()) __builtin_trap();
  if (mkv.ok() && track.units.empty()) __builtin_trap();
  if (mkv.ok() && track.unitTimes.size() != track.units.size()) __builtin_trap();
  for (const auto& unit : track.units) {
    if (!InsideFileOrRebuilt(unit, file, track.ownedBytes)) __builtin_trap();
  }

  if (!tavrin::tool::LooksLikeMatroska(file)) return 0;
  const tavrin::tool::SourceResult opened = tavrin::tool::OpenVideo(file);
  const tavrin::tool::VideoSource& source = opened.source;
  if (source.format != "Matroska") __builtin_trap();
  if (!opened.ok() && opened.error.empty()) __builtin_trap();
  if (opened.ok() && (source.pictures.empty() || source.header.empty())) __builtin_trap();
  if (!source.pictureTimes.empty() && source.pictureTimes.size() != source.pictures.size()) __builtin_trap();
  for (const auto& picture : source.pictures) {
    if (!InsideFileOrRebuilt(picture, file, source.ownedBytes)) __builtin_trap();
  }
  return 0;
}
