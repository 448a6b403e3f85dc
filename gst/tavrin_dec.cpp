#include "tavrin_dec.h"

#include <span>
#include <string>
#include <vector>

#include "output_slots.h"
#include "stream_decoder.h"
#include "video_source.h"

GST_DEBUG_CATEGORY(gst_tavrin_dec_debug);
#define GST_CAT_DEFAULT gst_tavrin_dec_debug

namespace {

using tavrin::gst::FrameTimes;
using tavrin::gst::OutputSlots;
using tavrin::gst::StreamDecoder;
using tavrin::gst::UnitKind;

enum { kPropZero, kPropVideoQuality, kPropPostFilter };

// What the element keeps between calls, beside the GObject fields.
struct State {
  StreamDecoder decoder;
  GstVideoCodecState* input = nullptr;
  const GstVideoCodecState* outputFrom = nullptr;  // the input state the output state was made from
  FrameTimes times;
  GstBuffer* held = nullptr;  // the anchor picture waiting for its turn
  bool refused = false;       // the stream's header was refused; the error is posted
  long warnings = 0;
  int appliedQuality = 0;
  int appliedFilter = 0;

  ~State() {
    if (input != nullptr) gst_video_codec_state_unref(input);
    if (held != nullptr) gst_buffer_unref(held);
  }
  void DropHeld() {
    if (held != nullptr) gst_buffer_unref(held);
    held = nullptr;
  }
};

}  // namespace

struct _GstTavrinDec {
  GstVideoDecoder parent;
  State* state;
  // Properties, under the object lock.
  gint videoQuality;
  gint postFilter;
};

G_DEFINE_TYPE(GstTavrinDec, gst_tavrin_dec, GST_TYPE_VIDEO_DECODER)

namespace {

// MPEG-4 Visual with the video object layer header (ffmpeg's mpeg4, Xvid,
// DivX 4 and 5).
//
// Short-header streams: add "video/x-h263, variant = (string) itu" here once
// the library decodes the short header.
GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/mpeg, mpegversion = (int) 4, systemstream = (boolean) false; "
                    "video/x-xvid; "
                    "video/x-divx, divxversion = (int) [ 4, 5 ]"));

GstStaticPadTemplate srcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("I420")));

GstTavrinDec* Self(GstVideoDecoder* decoder) { return GST_TAVRIN_DEC(decoder); }

OutputSlots SlotsOf(GstTavrinDec* self) {
  return OutputSlots(GST_VIDEO_DECODER(self), self->state->times, self->state->held, self->state->warnings);
}

// Hands the property values to the decoder when they changed.
void ApplySettings(GstTavrinDec* self) {
  State& s = *self->state;
  GST_OBJECT_LOCK(self);
  const int quality = self->videoQuality;
  const int filter = self->postFilter;
  GST_OBJECT_UNLOCK(self);
  if (quality != s.appliedQuality) s.decoder.SetVideoQuality(quality);
  if (filter != s.appliedFilter) s.decoder.SetPostFilter(filter);
  s.appliedQuality = quality;
  s.appliedFilter = filter;
}

// Sets the output to I420 at the stream's size, with the input's rate and
// aspect (the layer header's aspect when the container gives none).
GstFlowReturn SetOutputState(GstTavrinDec* self) {
  State& s = *self->state;
  GstVideoDecoder* decoder = GST_VIDEO_DECODER(self);
  GstVideoCodecState* current = gst_video_decoder_get_output_state(decoder);
  const bool same = current != nullptr && s.outputFrom == s.input &&
                    GST_VIDEO_INFO_WIDTH(&current->info) == s.decoder.width() &&
                    GST_VIDEO_INFO_HEIGHT(&current->info) == s.decoder.height();
  if (current != nullptr) gst_video_codec_state_unref(current);
  if (same) return GST_FLOW_OK;
  s.outputFrom = s.input;
  GstVideoCodecState* out = gst_video_decoder_set_output_state(decoder, GST_VIDEO_FORMAT_I420, s.decoder.width(),
                                                               s.decoder.height(), s.input);
  const GstStructure* caps = s.input != nullptr && s.input->caps != nullptr ? gst_caps_get_structure(s.input->caps, 0)
                                                                             : nullptr;
  const tavrin::tool::Ratio aspect = tavrin::tool::PixelAspectRatio(s.decoder.layer());
  if (aspect.num > 0 && (caps == nullptr || !gst_structure_has_field(caps, "pixel-aspect-ratio"))) {
    GST_VIDEO_INFO_PAR_N(&out->info) = aspect.num;
    GST_VIDEO_INFO_PAR_D(&out->info) = aspect.den;
  }
  // Chroma samples sit level with the left luma sample of each pair.
  GST_VIDEO_INFO_CHROMA_SITE(&out->info) = GST_VIDEO_CHROMA_SITE_MPEG2;
  const int rateNum = GST_VIDEO_INFO_FPS_N(&out->info), rateDen = GST_VIDEO_INFO_FPS_D(&out->info);
  gst_video_codec_state_unref(out);
  // Output trails input by the anchor held back: two frames for the common
  // two B pictures between anchors; none without B pictures.
  const tavrin::tool::VideoObjectLayer& layer = s.decoder.layer();
  const bool lowDelay = layer.volControlParameters && layer.lowDelay;
  if (rateNum > 0 && rateDen > 0) {
    const GstClockTime latency = lowDelay ? 0 : gst_util_uint64_scale(2 * GST_SECOND, static_cast<guint64>(rateDen),
                                                                      static_cast<guint64>(rateNum));
    gst_video_decoder_set_latency(decoder, latency, latency);
  }
  return gst_video_decoder_negotiate(decoder) ? GST_FLOW_OK : GST_FLOW_NOT_NEGOTIATED;
}

// Creates the decoder on header bytes; on a refusal posts an error that says
// why in the tool's words.
GstFlowReturn OpenDecoder(GstTavrinDec* self, std::span<const uint8_t> header) {
  State& s = *self->state;
  const std::string refusal = s.decoder.Open(header);
  s.appliedQuality = 0;
  s.appliedFilter = 0;
  if (!refusal.empty()) {
    s.refused = true;
    GST_ELEMENT_ERROR(self, STREAM, DECODE, ("tavrin refuses the stream: %s", refusal.c_str()),
                      ("header of %zu bytes", header.size()));
    return GST_FLOW_ERROR;
  }
  s.refused = false;
  GST_INFO_OBJECT(self, "decoder created for %dx%d from %zu header bytes", s.decoder.width(), s.decoder.height(),
                  header.size());
  ApplySettings(self);
  return SetOutputState(self);
}

// Pushes what the decoder still holds and lets go of the frames left.
GstFlowReturn FinishStream(GstTavrinDec* self, bool atEnd) {
  State& s = *self->state;
  OutputSlots slots = SlotsOf(self);
  if (atEnd) {
    s.decoder.Finish(slots);
  } else {
    s.decoder.Drain(slots);
  }
  if (atEnd) {
    GstVideoDecoder* decoder = GST_VIDEO_DECODER(self);
    while (GstVideoCodecFrame* frame = gst_video_decoder_get_oldest_frame(decoder)) {
      gst_video_decoder_release_frame(decoder, frame);
    }
    s.times.Clear();
  }
  GST_DEBUG_OBJECT(self, "%s: %ld units, %ld shown, %ld skipped, %ld packed pictures dropped",
                   atEnd ? "finish" : "drain", s.decoder.counts().units, s.decoder.counts().shown,
                   s.decoder.counts().skipped, s.decoder.counts().droppedPacked);
  return slots.flow();
}

// Lets a frame go without a slot, with its time, unless a slot took it
// already (a stream end or new header before the unit's own pictures).
void LetGo(GstTavrinDec* self, GstVideoCodecFrame* frame) {
  GstVideoDecoder* decoder = GST_VIDEO_DECODER(self);
  if (GstVideoCodecFrame* pending = gst_video_decoder_get_frame(decoder, frame->system_frame_number)) {
    self->state->times.Forget(pending);
    gst_video_decoder_release_frame(decoder, pending);
  }
}

gboolean Start(GstVideoDecoder* decoder) {
  GstTavrinDec* self = Self(decoder);
  delete self->state;
  self->state = new State();
  return TRUE;
}

gboolean Stop(GstVideoDecoder* decoder) { return Start(decoder); }

gboolean SetFormat(GstVideoDecoder* decoder, GstVideoCodecState* input) {
  GstTavrinDec* self = Self(decoder);
  State& s = *self->state;
  if (s.input != nullptr) gst_video_codec_state_unref(s.input);
  s.input = gst_video_codec_state_ref(input);
  if (input->codec_data == nullptr) return TRUE;  // the header comes with the first buffer
  GstMapInfo map;
  if (!gst_buffer_map(input->codec_data, &map, GST_MAP_READ)) return FALSE;
  const std::vector<uint8_t> header = tavrin::tool::ExtractHeader(std::span<const uint8_t>(map.data, map.size));
  gst_buffer_unmap(input->codec_data, &map);
  if (header.empty()) {
    GST_WARNING_OBJECT(self, "codec_data holds no video object layer header; waiting for one in the stream");
    return TRUE;
  }
  if (s.decoder.isOpen()) {
    // New caps with the same header (a renegotiation) keep the decoder.
    if (s.decoder.ChangedHeader(header).empty()) return SetOutputState(self) == GST_FLOW_OK;
    FinishStream(self, false);
  }
  // A refusal is posted here; the first buffer then stops the stream.
  const GstFlowReturn opened = OpenDecoder(self, header);
  return opened == GST_FLOW_OK || opened == GST_FLOW_ERROR;
}

GstFlowReturn HandleFrame(GstVideoDecoder* decoder, GstVideoCodecFrame* frame) {
  GstTavrinDec* self = Self(decoder);
  State& s = *self->state;
  if (s.refused) {
    gst_video_codec_frame_unref(frame);
    return GST_FLOW_ERROR;
  }
  GstMapInfo map;
  if (!gst_buffer_map(frame->input_buffer, &map, GST_MAP_READ)) {
    gst_video_decoder_release_frame(decoder, frame);
    GST_ELEMENT_ERROR(self, RESOURCE, READ, ("Could not read an input buffer"), (nullptr));
    return GST_FLOW_ERROR;
  }
  const std::span<const uint8_t> unit(map.data, map.size);
  // The frame's time waits with the others from here on: slots may take it.
  s.times.Add(frame);
  GstFlowReturn result = GST_FLOW_OK;
  if (!s.decoder.isOpen()) {
    // Without codec_data the header bytes lead the first buffer that has
    // them; buffers before it cannot be decoded.
    const std::vector<uint8_t> header = tavrin::tool::ExtractHeader(unit);
    if (header.empty()) {
      GST_DEBUG_OBJECT(self, "no stream header yet: buffer of %zu bytes dropped", unit.size());
      result = GST_FLOW_CUSTOM_SUCCESS;
    } else {
      result = OpenDecoder(self, header);
    }
  } else if (const std::vector<uint8_t> changed = s.decoder.ChangedHeader(unit); !changed.empty()) {
    GST_INFO_OBJECT(self, "the stream header changes: a new decoder");
    FinishStream(self, false);
    result = OpenDecoder(self, changed);
  }
  if (result != GST_FLOW_OK) {
    gst_buffer_unmap(frame->input_buffer, &map);
    LetGo(self, frame);
    gst_video_codec_frame_unref(frame);
    return result == GST_FLOW_CUSTOM_SUCCESS ? GST_FLOW_OK : result;
  }
  ApplySettings(self);

  OutputSlots slots = SlotsOf(self);
  const GstBuffer* input = frame->input_buffer;
  if (GST_BUFFER_FLAG_IS_SET(input, GST_BUFFER_FLAG_CORRUPTED)) {
    slots.Damaged("the container marks this unit as damaged");
  }
  if (GST_BUFFER_FLAG_IS_SET(input, GST_BUFFER_FLAG_DISCONT) && !s.decoder.fresh()) {
    // A gap in the stream: show what is held, then start again from an intra
    // picture, as after a seek.
    s.decoder.Finish(slots);
    s.decoder.Reset();
  }
  const UnitKind kind = s.decoder.Unit(unit, slots);
  gst_buffer_unmap(frame->input_buffer, &map);
  if (kind == UnitKind::kEmpty) LetGo(self, frame);
  gst_video_codec_frame_unref(frame);
  return slots.flow();
}

GstFlowReturn Finish(GstVideoDecoder* decoder) { return FinishStream(Self(decoder), true); }

GstFlowReturn Drain(GstVideoDecoder* decoder) { return FinishStream(Self(decoder), false); }

gboolean Flush(GstVideoDecoder* decoder) {
  State& s = *Self(decoder)->state;
  GST_DEBUG_OBJECT(decoder, "flush: the decoder starts again from the next intra picture");
  if (s.decoder.isOpen()) s.decoder.Reset();
  s.times.Clear();
  s.DropHeld();
  return TRUE;
}

// One buffer more than downstream asks for: the anchor held back until the
// pictures shown before it are out.
gboolean DecideAllocation(GstVideoDecoder* decoder, GstQuery* query) {
  if (!GST_VIDEO_DECODER_CLASS(gst_tavrin_dec_parent_class)->decide_allocation(decoder, query)) return FALSE;
  if (gst_query_get_n_allocation_pools(query) == 0) return TRUE;
  GstBufferPool* pool = nullptr;
  guint size = 0, min = 0, max = 0;
  gst_query_parse_nth_allocation_pool(query, 0, &pool, &size, &min, &max);
  if (pool == nullptr) return TRUE;
  GstStructure* config = gst_buffer_pool_get_config(pool);
  GstCaps* caps = nullptr;
  gst_buffer_pool_config_get_params(config, &caps, &size, &min, &max);
  if (caps != nullptr) gst_caps_ref(caps);
  min += 1;
  if (max != 0 && max < min) max = min;
  gst_buffer_pool_config_set_params(config, caps, size, min, max);
  if (caps != nullptr) gst_caps_unref(caps);
  gboolean ok = gst_buffer_pool_set_config(pool, config);
  if (!ok) {
    // The pool proposes what it can do instead; take that.
    GST_DEBUG_OBJECT(decoder, "the pool does not take one more buffer");
    ok = gst_buffer_pool_set_config(pool, gst_buffer_pool_get_config(pool));
  }
  if (ok) gst_query_set_nth_allocation_pool(query, 0, pool, size, min, max);
  gst_object_unref(pool);
  return ok;
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* spec) {
  GstTavrinDec* self = GST_TAVRIN_DEC(object);
  GST_OBJECT_LOCK(self);
  switch (id) {
    case kPropVideoQuality:
      self->videoQuality = g_value_get_int(value);
      break;
    case kPropPostFilter:
      self->postFilter = g_value_get_int(value);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
      break;
  }
  GST_OBJECT_UNLOCK(self);
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* spec) {
  GstTavrinDec* self = GST_TAVRIN_DEC(object);
  GST_OBJECT_LOCK(self);
  switch (id) {
    case kPropVideoQuality:
      g_value_set_int(value, self->videoQuality);
      break;
    case kPropPostFilter:
      g_value_set_int(value, self->postFilter);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
      break;
  }
  GST_OBJECT_UNLOCK(self);
}

void Finalize(GObject* object) {
  GstTavrinDec* self = GST_TAVRIN_DEC(object);
  delete self->state;
  self->state = nullptr;
  G_OBJECT_CLASS(gst_tavrin_dec_parent_class)->finalize(object);
}

}  // namespace

static void gst_tavrin_dec_class_init(GstTavrinDecClass* klass) {
  GObjectClass* object = G_OBJECT_CLASS(klass);
  object->set_property = SetProperty;
  object->get_property = GetProperty;
  object->finalize = Finalize;
  const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING);
  g_object_class_install_property(
      object, kPropVideoQuality,
      g_param_spec_int("video-quality", "Video quality",
                       "Reconstruction path: 0 or 1 (two inverse transforms)", 0, 1, 0, flags));
  g_object_class_install_property(
      object, kPropPostFilter,
      g_param_spec_int("post-filter", "Post-filter",
                       "Deblocking of the output: 0 none, 1 luma, 2 luma and chroma", 0, 2, 0, flags));

  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_add_static_pad_template(element, &srcTemplate);
  gst_element_class_set_static_metadata(element, "tavrin MPEG-4 Visual decoder", "Codec/Decoder/Video",
                                        "Decodes MPEG-4 Visual video (Xvid, DivX, ffmpeg's mpeg4) with tavrin",
                                        "The tavrin developers");

  GstVideoDecoderClass* decoder = GST_VIDEO_DECODER_CLASS(klass);
  decoder->start = Start;
  decoder->stop = Stop;
  decoder->set_format = SetFormat;
  decoder->handle_frame = HandleFrame;
  decoder->finish = Finish;
  decoder->drain = Drain;
  decoder->flush = Flush;
  decoder->decide_allocation = DecideAllocation;
}

static void gst_tavrin_dec_init(GstTavrinDec* self) {
  self->state = new State();
  self->videoQuality = 0;
  self->postFilter = 0;
  GstVideoDecoder* decoder = GST_VIDEO_DECODER(self);
  gst_video_decoder_set_packetized(decoder, TRUE);
  gst_video_decoder_set_use_default_pad_acceptcaps(decoder, TRUE);
  GST_PAD_SET_ACCEPT_TEMPLATE(GST_VIDEO_DECODER_SINK_PAD(decoder));
}

gboolean gst_tavrin_dec_register(GstPlugin* plugin) {
  GST_DEBUG_CATEGORY_INIT(gst_tavrin_dec_debug, "tavrindec", 0, "tavrin MPEG-4 Visual decoder");
  // Below ffmpeg's decoders (primary), so that they stay the choice where
  // installed; GST_PLUGIN_FEATURE_RANK=tavrindec:MAX makes players take this
  // one.
  return gst_element_register(plugin, "tavrindec", GST_RANK_SECONDARY, GST_TYPE_TAVRIN_DEC);
}
