// The GStreamer element's decoder, kept free of GStreamer: one tavrin
// decoder driven through the exported interface, fed one container unit
// (AVI chunk, MP4 sample, Matroska block) at a time, and telling its host
// what to do with each display slot.
//
// Every unit is one frame time.  A unit may hold several pictures (Xvid and
// DivX in AVI pack a B picture behind its anchor in one chunk and write a
// later placeholder chunk, a picture with vop_coded 0, for its time).  The
// pictures of a unit go into a short queue and each unit takes one coded
// picture from it, so that a packed picture is decoded at the time of the
// placeholder that stands for it, and a placeholder is not handed on.
// Packed pictures still queued at the end have no time of their own and are
// dropped, as the tool's decode does.
//
// The decoder returns an I or P picture when it is decoded, though it is
// shown after the B pictures that follow it in the stream: such an anchor
// is held (the host copies it) until the next anchor comes or the stream
// ends.  A picture that is not coded keeps its display slot empty: at once
// for a B picture, in the anchor's place for the others; so do pictures
// skipped while the decoder waits for an intra picture.
//
// After Open and Reset nothing is handed on until an intra picture; the B
// pictures that follow that intra picture before the next anchor refer to
// an anchor the decoder never saw and are skipped as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

#include "picture_writer.h"
#include "stream_headers.h"
#include "tavrin.h"

namespace tavrin::gst {

using tool::PlanarPicture;

// What the host does with each display slot, in display order.  Every call
// but Hold and Damaged fills one slot.
class SlotSink {
 public:
  virtual ~SlotSink() = default;
  // A picture to show now; its planes are valid during the call only.
  virtual void Show(const PlanarPicture& picture) = 0;
  // An anchor to keep (copy) until ShowHeld asks for it.
  virtual void Hold(const PlanarPicture& picture) = 0;
  // The anchor kept by the last Hold, shown now.
  virtual void ShowHeld() = 0;
  // A slot without a picture: not coded, unreadable, or skipped while the
  // decoder waits for an intra picture.
  virtual void Skip() = 0;
  // A damaged picture, in words; what is left of it is still handed on.
  virtual void Damaged(const std::string& what) = 0;
};

struct StreamCounts {
  long units = 0;         // units given
  long placeholders = 0;  // units standing for a packed picture's time
  long handed = 0;        // pictures handed to the decoder
  long shown = 0;         // Show and ShowHeld calls
  long skipped = 0;       // Skip calls
  long droppedPacked = 0;  // queued packed pictures dropped at the end
};

enum class UnitKind {
  kPictures,     // the unit's pictures were queued
  kPlaceholder,  // a frame time for a packed picture
  kEmpty,        // no picture and no packed picture waiting: no slot at all
};

class StreamDecoder {
 public:
  StreamDecoder() = default;
  ~StreamDecoder();
  StreamDecoder(const StreamDecoder&) = delete;
  StreamDecoder& operator=(const StreamDecoder&) = delete;

  // Creates the decoder on the stream's header bytes (video object and
  // layer headers, as tool::ExtractHeader gives them), replacing any
  // decoder before.  Returns an empty string, or why the stream is refused
  // in the words the tool uses.
  std::string Open(std::span<const uint8_t> header);
  bool isOpen() const { return handle_ != 0; }
  const tool::VideoObjectLayer& layer() const { return layer_; }
  int width() const { return layer_.videoObjectLayerWidth; }
  int height() const { return layer_.videoObjectLayerHeight; }

  // Settings, applied at once and kept across Reset and Open.
  void SetVideoQuality(int value);
  void SetPostFilter(int value);

  // A discontinuity: the decoder is made anew from the stored header,
  // queued and held pictures are forgotten, and output waits for an intra
  // picture.
  void Reset();

  // The header bytes a unit carries in front of its first picture when its
  // video object layer differs from the one the decoder was made with
  // (another stream spliced on); empty otherwise.
  std::vector<uint8_t> ChangedHeader(std::span<const uint8_t> unit) const;

  // One container unit.  Slots due for display go to sink.
  UnitKind Unit(std::span<const uint8_t> unit, SlotSink& sink);

  // The end of the stream: the held anchor is shown; queued packed
  // pictures are dropped.
  void Finish(SlotSink& sink);
  // The end of a stretch that more data may follow without a reset: as
  // Finish, and B pictures that refer to the anchor just shown are skipped
  // until the next anchor.
  void Drain(SlotSink& sink);

  const StreamCounts& counts() const { return counts_; }
  // No unit given since Open or Reset.
  bool fresh() const { return fresh_; }

 private:
  struct Queued {
    std::vector<uint8_t> bytes;
    bool coded = true;  // as far as its header tells (unreadable counts as coded)
  };
  enum class Held { kNothing, kPicture, kEmptySlot };

  bool IsCoded(std::span<const uint8_t> picture) const;
  void Create();
  void ApplySettings();
  // Decodes queued pictures up to and including the next coded one.
  void DecodeNext(SlotSink& sink);
  void Decode(std::span<const uint8_t> picture, SlotSink& sink);
  void ReleaseHeld(SlotSink& sink);
  void Skip(SlotSink& sink);
  // The slot of a picture not shown, in display order.
  void SkipInPlace(bool bidirectional, SlotSink& sink);

  TavrinHandle handle_ = 0;
  std::vector<uint8_t> header_;
  tool::VideoObjectLayer layer_;
  std::vector<uint8_t> layerBytes_;
  int videoQuality_ = 0;
  int postFilter_ = 0;
  std::deque<Queued> queue_;
  std::size_t queuedCoded_ = 0;
  Held held_ = Held::kNothing;
  bool waitingForIntra_ = true;
  bool skippingBidirectional_ = false;
  bool fresh_ = true;
  StreamCounts counts_;
};

// The bytes of the video object layer header inside `bytes`: from its start
// code to the next start code.  Empty when there is none.
std::vector<uint8_t> LayerBytes(std::span<const uint8_t> bytes);

}  // namespace tavrin::gst
