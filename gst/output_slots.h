// How the element fills display slots with GStreamer frames.
//
// Each input buffer becomes a frame of the base class and brings one time
// (its presentation time, or its decode time when it has none).  Display
// slots come in display order; each takes the oldest frame still waiting
// and gives it the earliest time still waiting, so that pictures leave in
// display order with the container's times: AVI's times in decode order and
// MP4's or Matroska's presentation times alike.  A frame with no slot of its
// own (an empty unit) is let go with its time.
#pragma once

#include <gst/video/gstvideodecoder.h>
#include <gst/video/video.h>

#include <map>
#include <string>

#include "stream_decoder.h"

namespace tavrin::gst {

class FrameTimes {
 public:
  void Add(const GstVideoCodecFrame* frame);
  // The frame leaves without a slot; its time goes with it.
  void Forget(const GstVideoCodecFrame* frame);
  void Clear() { times_.clear(); }
  // The frame for the next display slot, with the earliest time waiting
  // and that time's duration; null when no frame waits.  The caller owns
  // the reference returned.
  GstVideoCodecFrame* NextSlot(GstVideoDecoder* decoder);

 private:
  // Time -> duration, of every frame waiting.
  std::multimap<GstClockTime, GstClockTime> times_;
};

// Copies a decoded picture into a buffer laid out as `info` (I420).
bool CopyPicture(const PlanarPicture& picture, GstBuffer* buffer, const GstVideoInfo* info);

class OutputSlots final : public SlotSink {
 public:
  // held: the buffer keeping the anchor picture between Hold and ShowHeld.
  // warnings: damaged pictures reported so far.
  OutputSlots(GstVideoDecoder* decoder, FrameTimes& times, GstBuffer*& held, long& warnings)
      : decoder_(decoder), times_(times), held_(held), warnings_(warnings) {}

  void Show(const PlanarPicture& picture) override;
  void Hold(const PlanarPicture& picture) override;
  void ShowHeld() override;
  void Skip() override;
  void Damaged(const std::string& what) override;

  // The first failure met while pushing pictures, else GST_FLOW_OK.
  GstFlowReturn flow() const { return flow_; }

 private:
  void Note(GstFlowReturn result);
  // Copies into a new buffer of the negotiated layout; null on failure.
  GstBuffer* NewPicture(const PlanarPicture& picture);

  GstVideoDecoder* decoder_;
  FrameTimes& times_;
  GstBuffer*& held_;
  long& warnings_;
  GstFlowReturn flow_ = GST_FLOW_OK;
};

}  // namespace tavrin::gst
