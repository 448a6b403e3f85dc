// What the picture headers of a stream tell without decoding it: pictures
// by coding type, pictures that are not coded, the quantiser and vector
// ranges in use, and the video packets (resynchronisation markers) the
// pictures are cut into.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "stream_headers.h"

namespace tavrin::tool {

struct StreamSurvey {
  int pictures = 0;
  int byType[4] = {};   // I, P, B, S pictures (coded or not)
  int notCoded = 0;     // vop_coded 0
  int unreadable = 0;   // pictures whose header does not read
  int shown = 0;        // coded I, P and B pictures: what a decode shows
  int minQuant = 0;     // vop_quant range over the pictures that read in full
  int maxQuant = 0;
  int maxFcode = 0;     // largest vop_fcode_forward or vop_fcode_backward
  int resyncMarkers = 0;          // video packets after the first, over all pictures
  int picturesWithPackets = 0;    // pictures cut into more than one video packet
  int roundingChanges = 0;        // P pictures whose vop_rounding_type differs from the previous P
  // Short-header streams: pictures the decoder refuses (the first one's
  // reason in words), and group-of-blocks headers.
  int refused = 0;
  std::string refusal;
  int groupHeaders = 0;
  int picturesWithGroups = 0;
  // Interlaced layers: coded pictures by top_field_first, the field order of
  // the first ('t' top field first, 'b' bottom field first; 'p' when the
  // layer is progressive), and pictures in the alternate vertical scan.
  int topFieldFirst = 0;
  int bottomFieldFirst = 0;
  char fieldOrder = 'p';
  int alternateScan = 0;
};

StreamSurvey SurveyPictures(const std::vector<std::span<const uint8_t>>& pictures, const VideoObjectLayer& layer);

// Resynchronisation markers in one picture (bytes from its start code):
// byte-aligned runs of exactly `zeros` 0 bits followed by a 1, after a byte
// whose last bit is 1 (the stuffing in front of a marker ends with 1).
int CountResyncMarkers(std::span<const uint8_t> picture, int zeros);

// The number of 0 bits in the resynchronisation marker of a picture: 16 in
// I pictures, 15 + vop_fcode in P and S pictures, 15 + the larger fcode in
// B pictures.
int ResyncMarkerZeros(const PictureHeader& header);

}  // namespace tavrin::tool
