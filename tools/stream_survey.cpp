#include "stream_survey.h"

#include <algorithm>

#include "short_header.h"

namespace tavrin::tool {

int ResyncMarkerZeros(const PictureHeader& header) {
  switch (header.vopCodingType) {
    case CodingType::kIntra:
      return 16;
    case CodingType::kPredicted:
    case CodingType::kSprite:
      return 15 + header.vopFcodeForward;
    case CodingType::kBidirectional:
      return 15 + std::max(header.vopFcodeForward, header.vopFcodeBackward);
  }
  return 16;
}

int CountResyncMarkers(std::span<const uint8_t> picture, int zeros) {
  int markers = 0;
  const std::size_t n = picture.size();
  // The picture start code and the first header bits come first.
  for (std::size_t p = 5; p + 3 < n; ++p) {
    if (picture[p] != 0 || picture[p + 1] != 0 || (picture[p - 1] & 1) == 0) continue;
    // Count the 0 bits from p on, up to 24.
    int run = 16;
    std::size_t bit = (p + 2) * 8;
    while (run < 24 && bit < n * 8 && ((picture[bit >> 3] >> (7 - (bit & 7))) & 1) == 0) {
      ++run;
      ++bit;
    }
    if (run == zeros && bit < n * 8) ++markers;
  }
  return markers;
}

StreamSurvey SurveyPictures(const std::vector<std::span<const uint8_t>>& pictures, const VideoObjectLayer& layer) {
  StreamSurvey s;
  bool quantSeen = false;
  int lastRounding = -1;
  for (const auto& bytes : pictures) {
    ++s.pictures;
    const PictureHeaderResult r = ParsePictureHeader(bytes, layer);
    if (!r.ok()) {
      ++s.unreadable;
      continue;
    }
    const PictureHeader& h = r.header;
    ++s.byType[static_cast<int>(h.vopCodingType)];
    if (!h.vopCoded) {
      ++s.notCoded;
      continue;
    }
    if (!h.refusal.empty()) {
      if (s.refused++ == 0) s.refusal = h.refusal;
      continue;
    }
    if (h.vopCodingType != CodingType::kSprite || layer.spriteEnable == SpriteMode::kGlobalMotionCompensation) {
      ++s.shown;
    }
    if (!h.detailsKnown) continue;
    s.minQuant = quantSeen ? std::min(s.minQuant, h.vopQuant) : h.vopQuant;
    s.maxQuant = quantSeen ? std::max(s.maxQuant, h.vopQuant) : h.vopQuant;
    quantSeen = true;
    s.maxFcode = std::max({s.maxFcode, h.vopFcodeForward, h.vopFcodeBackward});
    if (layer.interlaced) {
      if (s.topFieldFirst + s.bottomFieldFirst == 0) s.fieldOrder = h.topFieldFirst ? 't' : 'b';
      ++(h.topFieldFirst ? s.topFieldFirst : s.bottomFieldFirst);
      if (h.alternateVerticalScanFlag) ++s.alternateScan;
    }
    if (h.vopCodingType == CodingType::kPredicted || h.vopCodingType == CodingType::kSprite) {
      if (lastRounding >= 0 && lastRounding != h.vopRoundingType) ++s.roundingChanges;
      lastRounding = h.vopRoundingType;
    }
    if (layer.shortVideoHeader) {
      const int groups = CountGroupHeaders(bytes);
      s.groupHeaders += groups;
      if (groups > 0) ++s.picturesWithGroups;
    }
    if (!layer.resyncMarkerDisable) {
      const int markers = CountResyncMarkers(bytes, ResyncMarkerZeros(h));
      s.resyncMarkers += markers;
      if (markers > 0) ++s.picturesWithPackets;
    }
  }
  return s;
}

}  // namespace tavrin::tool
