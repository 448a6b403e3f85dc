#include "output_slots.h"

#include <algorithm>
#include <cstring>

GST_DEBUG_CATEGORY_EXTERN(gst_tavrin_dec_debug);
#define GST_CAT_DEFAULT gst_tavrin_dec_debug

namespace tavrin::gst {

namespace {

GstClockTime TimeOf(const GstVideoCodecFrame* frame) {
  return GST_CLOCK_TIME_IS_VALID(frame->pts) ? frame->pts : frame->dts;
}

// The first damaged pictures are each reported; after that one in a hundred,
// so that a badly damaged file does not flood the bus.
bool Reported(long count) { return count <= 10 || count % 100 == 0; }

}  // namespace

void FrameTimes::Add(const GstVideoCodecFrame* frame) { times_.emplace(TimeOf(frame), frame->duration); }

void FrameTimes::Forget(const GstVideoCodecFrame* frame) {
  const auto at = times_.find(TimeOf(frame));
  if (at != times_.end()) times_.erase(at);
}

GstVideoCodecFrame* FrameTimes::NextSlot(GstVideoDecoder* decoder) {
  GstVideoCodecFrame* frame = gst_video_decoder_get_oldest_frame(decoder);
  if (frame == nullptr) return nullptr;
  if (!times_.empty()) {
    const auto earliest = times_.begin();
    frame->pts = earliest->first;
    frame->duration = earliest->second;
    times_.erase(earliest);
  }
  return frame;
}

bool CopyPicture(const PlanarPicture& picture, GstBuffer* buffer, const GstVideoInfo* info) {
  GstVideoFrame frame;
  if (!gst_video_frame_map(&frame, info, buffer, GST_MAP_WRITE)) return false;
  const uint8_t* planes[3] = {picture.planeY, picture.planeCb, picture.planeCr};
  const int strides[3] = {picture.strideY, picture.strideCb, picture.strideCr};
  const int widths[3] = {picture.width, (picture.width + 1) / 2, (picture.width + 1) / 2};
  const int heights[3] = {picture.height, (picture.height + 1) / 2, (picture.height + 1) / 2};
  for (int p = 0; p < 3; ++p) {
    auto* to = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
    const int toStride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p);
    const int width = std::min(widths[p], GST_VIDEO_FRAME_COMP_WIDTH(&frame, p));
    const int rows = std::min(heights[p], GST_VIDEO_FRAME_COMP_HEIGHT(&frame, p));
    for (int r = 0; r < rows; ++r) {
      std::memcpy(to + static_cast<ptrdiff_t>(r) * toStride, planes[p] + static_cast<ptrdiff_t>(r) * strides[p],
                  static_cast<size_t>(width));
    }
  }
  gst_video_frame_unmap(&frame);
  return true;
}

void OutputSlots::Note(GstFlowReturn result) {
  if (flow_ == GST_FLOW_OK && result != GST_FLOW_OK) flow_ = result;
}

GstBuffer* OutputSlots::NewPicture(const PlanarPicture& picture) {
  GstBuffer* buffer = gst_video_decoder_allocate_output_buffer(decoder_);
  if (buffer == nullptr) {
    Note(GST_PAD_IS_FLUSHING(GST_VIDEO_DECODER_SRC_PAD(decoder_)) ? GST_FLOW_FLUSHING : GST_FLOW_NOT_NEGOTIATED);
    return nullptr;
  }
  GstVideoCodecState* state = gst_video_decoder_get_output_state(decoder_);
  const bool copied = state != nullptr && CopyPicture(picture, buffer, &state->info);
  if (state != nullptr) gst_video_codec_state_unref(state);
  if (!copied) {
    GST_WARNING_OBJECT(decoder_, "could not write a picture into an output buffer");
    gst_buffer_unref(buffer);
    Note(GST_FLOW_ERROR);
    GST_ELEMENT_ERROR(decoder_, RESOURCE, WRITE, ("Could not write a decoded picture"), (nullptr));
    return nullptr;
  }
  return buffer;
}

void OutputSlots::Show(const PlanarPicture& picture) {
  GstVideoCodecFrame* frame = times_.NextSlot(decoder_);
  if (frame == nullptr) return;
  GstBuffer* buffer = NewPicture(picture);
  if (buffer == nullptr) {
    gst_video_decoder_release_frame(decoder_, frame);
    return;
  }
  frame->output_buffer = buffer;
  Note(gst_video_decoder_finish_frame(decoder_, frame));
}

void OutputSlots::Hold(const PlanarPicture& picture) {
  if (held_ != nullptr) gst_buffer_unref(held_);
  held_ = NewPicture(picture);
}

void OutputSlots::ShowHeld() {
  GstVideoCodecFrame* frame = times_.NextSlot(decoder_);
  GstBuffer* buffer = held_;
  held_ = nullptr;
  if (frame == nullptr || buffer == nullptr) {
    if (buffer != nullptr) gst_buffer_unref(buffer);
    if (frame != nullptr) gst_video_decoder_release_frame(decoder_, frame);
    return;
  }
  frame->output_buffer = buffer;
  Note(gst_video_decoder_finish_frame(decoder_, frame));
}

void OutputSlots::Skip() {
  GstVideoCodecFrame* frame = times_.NextSlot(decoder_);
  if (frame != nullptr) Note(gst_video_decoder_drop_frame(decoder_, frame));
}

void OutputSlots::Damaged(const std::string& what) {
  ++warnings_;
  GST_DEBUG_OBJECT(decoder_, "damaged picture: %s", what.c_str());
  if (Reported(warnings_)) {
    GST_ELEMENT_WARNING(decoder_, STREAM, DECODE, ("Damaged picture: %s", what.c_str()),
                        ("%ld damaged pictures so far", warnings_));
  }
}

}  // namespace tavrin::gst
