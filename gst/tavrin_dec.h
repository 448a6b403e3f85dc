// tavrindec: a GStreamer video decoder element for MPEG-4 Visual video
// (Xvid, DivX, ffmpeg's mpeg4 and the like) that decodes with the tavrin
// library through its exported interface.
#pragma once

#include <gst/gst.h>
#include <gst/video/gstvideodecoder.h>
#include <gst/video/video.h>

G_BEGIN_DECLS

#define GST_TYPE_TAVRIN_DEC (gst_tavrin_dec_get_type())
G_DECLARE_FINAL_TYPE(GstTavrinDec, gst_tavrin_dec, GST, TAVRIN_DEC, GstVideoDecoder)

G_END_DECLS

// Registers the element with the plugin.
gboolean gst_tavrin_dec_register(GstPlugin* plugin);
