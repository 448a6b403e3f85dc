// The plugin libgsttavrin.so: one element, tavrindec.
#include "tavrin_dec.h"

// The source package GStreamer records for the plugin.
#define PACKAGE "tavrin"

namespace {

gboolean PluginInit(GstPlugin* plugin) { return gst_tavrin_dec_register(plugin); }

}  // namespace

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, tavrin, "MPEG-4 Visual video decoding with tavrin",
                  PluginInit, TAVRIN_PLUGIN_VERSION, GST_LICENSE_UNKNOWN, "tavrin", "Unknown package origin")
