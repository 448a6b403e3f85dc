// One decoder driven through the exported interface, with the pictures it
// returns put back into display order.
//
// The decoder returns each picture as it is decoded.  I and P pictures are
// shown after the B pictures that follow them in the stream, so an I or P
// picture is held (copied) until the next I or P picture arrives or the
// stream ends; a B picture is passed on at once; a picture that is not coded
// (vop_coded 0, such as the placeholders Xvid writes after packed B
// pictures) is not passed on.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "picture_writer.h"
#include "stream_headers.h"
#include "tavrin.h"

namespace tavrin::tool {

struct DecodeSettings {
  int videoQuality = 0;
  int postFilter = 0;
};

struct DecodeCounts {
  int handed = 0;     // pictures handed to the decoder
  int returned = 0;   // calls that returned a picture
  int shown = 0;      // pictures passed on in display order
  int notCoded = 0;   // pictures with vop_coded 0
  int refused = 0;    // pictures the decoder does not take (short-header ones with refusal set)
  std::string refusal;  // the first such picture's reason
  int byType[4] = {};  // I, P, B, S pictures by their headers
};

class DecodeSession {
 public:
  using Sink = std::function<void(const PlanarPicture&)>;

  DecodeSession() = default;
  ~DecodeSession();
  DecodeSession(const DecodeSession&) = delete;
  DecodeSession& operator=(const DecodeSession&) = delete;

  // Creates the decoder on the stream's header bytes.  False, with the
  // reason in error(), when the header cannot be read or the decoder
  // refuses it.
  bool Open(std::span<const uint8_t> header, const DecodeSettings& settings);

  // Hands one picture's bytes to the decoder; pictures due for display go
  // to sink.
  void Feed(std::span<const uint8_t> picture, const Sink& sink);
  // Passes on the picture still held.
  void Finish(const Sink& sink);

  // While a sink runs: the coding type of the picture it is given; its
  // display number (from 0) is counts().shown.
  CodingType showingType() const { return showingType_; }

  const VideoObjectLayer& layer() const { return layer_; }
  int width() const { return layer_.videoObjectLayerWidth; }
  int height() const { return layer_.videoObjectLayerHeight; }
  uint32_t timeResolution() const { return timeResolution_; }
  const DecodeCounts& counts() const { return counts_; }
  const std::string& error() const { return error_; }

 private:
  void Hold(const PlanarPicture& picture, CodingType type);
  void Show(const PlanarPicture& picture, CodingType type, const Sink& sink);

  TavrinHandle handle_ = 0;
  VideoObjectLayer layer_;
  uint32_t timeResolution_ = 0;
  DecodeCounts counts_;
  std::string error_;
  bool holding_ = false;
  std::vector<uint8_t> held_;
  PlanarPicture heldPicture_;
  CodingType heldType_ = CodingType::kIntra;
  CodingType showingType_ = CodingType::kIntra;
};

}  // namespace tavrin::tool
