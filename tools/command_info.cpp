// tavrin info INPUT [--pictures]
#include <algorithm>
#include <cstdio>

#include "command_support.h"
#include "container_track.h"
#include "damage_scan.h"
#include "frame_rate.h"
#include "macroblock_scan.h"
#include "short_header.h"
#include "stream_names.h"
#include "stream_survey.h"

namespace tavrin::tool {
namespace {

// P pictures whose macroblocks are walked to find the macroblock types in
// use; enough to see a stream's habits without reading a whole film.
constexpr int kWalkedPictures = 300;

constexpr const char* kInfoHelp =
    "usage: tavrin info INPUT [--pictures]\n"
    "\n"
    "Shows what INPUT holds without decoding it: the container, the picture\n"
    "size, the time resolution and frame rate, the quantisation method and\n"
    "matrices, the coding tools the stream uses, the pictures by type, and\n"
    "whether the decoder supports the stream (and if not, why).\n"
    "\n"
    "  --pictures    also list every picture: type, bytes, time, quantiser\n"
    "                (and for Matroska the container's time, in ms)\n"
    "\n"
    "examples:\n"
    "  tavrin info clip.avi\n"
    "  tavrin info clip.m4v --pictures\n"
    "  tavrin info clip.mkv\n";

void Line(std::FILE* out, const char* label, const std::string& text) {
  std::fprintf(out, "%-17s %s\n", label, text.c_str());
}

std::string RatioText(Ratio r) {
  if (r.den == 1) return std::to_string(r.num);
  char text[64];
  std::snprintf(text, sizeof text, "%d/%d (%.3f)", r.num, r.den, r.den ? static_cast<double>(r.num) / r.den : 0.0);
  return text;
}

std::string ContainerText(const VideoSource& s) {
  std::string text = s.format;
  if (!s.detail.empty()) text += " (" + s.detail + ")";
  if (!s.codecTag.empty()) text += ", codec '" + s.codecTag + "'";
  if (s.units > 0) {
    text += "; " + std::to_string(s.units) + " units";
    if (s.emptyUnits) text += ", " + std::to_string(s.emptyUnits) + " empty";
    if (s.placeholderUnits) text += ", " + std::to_string(s.placeholderUnits) + " placeholders";
    if (s.packedUnits) text += ", " + std::to_string(s.packedUnits) + " holding packed pictures";
  }
  return text;
}

void PrintMatrix(std::FILE* out, const char* label, const std::array<uint8_t, 64>& m) {
  for (int row = 0; row < 8; ++row) {
    std::string text;
    for (int col = 0; col < 8; ++col) {
      char cell[8];
      std::snprintf(cell, sizeof cell, "%4d", m[static_cast<std::size_t>(row * 8 + col)]);
      text += cell;
    }
    Line(out, row == 0 ? label : "", text);
  }
}

std::string ToolsText(const VideoObjectLayer& v, const StreamSurvey& s, const MacroblockCensus& m,
                      const VideoSource& source) {
  std::vector<std::string> tools;
  if (s.byType[2] > 0) {
    tools.push_back(source.packedUnits > 0 ? "B pictures (packed behind their anchors)" : "B pictures");
  }
  const std::string walked = " in " + std::to_string(m.walked) + " P pictures walked)";
  if (m.fourVectors > 0) tools.push_back("four vectors (" + std::to_string(m.fourVectors) + " macroblocks" + walked);
  if (m.quantChanges > 0) {
    tools.push_back("quantiser changes inside pictures (" + std::to_string(m.quantChanges) + " macroblocks" + walked);
  }
  if (m.intra > 0) tools.push_back("intra macroblocks in P pictures");
  if (s.byType[3] > 0) tools.push_back("S pictures");
  if (s.groupHeaders > 0) {
    tools.push_back("group-of-blocks headers (" + std::to_string(s.groupHeaders) + " in " +
                    std::to_string(s.picturesWithGroups) + " pictures)");
  }
  if (s.resyncMarkers > 0) {
    tools.push_back("resynchronisation markers (" + std::to_string(s.resyncMarkers) + " in " +
                    std::to_string(s.picturesWithPackets) + " pictures)");
  } else if (!v.resyncMarkerDisable) {
    tools.push_back("resynchronisation markers allowed (none found)");
  }
  if (s.maxFcode > 1) tools.push_back("long vectors (vector range code up to " + std::to_string(s.maxFcode) + ")");
  if (s.roundingChanges > 0) tools.push_back("rounding control");
  if (s.minQuant != s.maxQuant) {
    tools.push_back("picture quantiser " + std::to_string(s.minQuant) + " to " + std::to_string(s.maxQuant));
  }
  if (v.interlaced) {
    const char* order = s.topFieldFirst == 0   ? "bottom field first"
                        : s.bottomFieldFirst == 0 ? "top field first"
                                                  : "the field order changes";
    tools.push_back(std::string("interlaced video (") + order + ")");
    if (m.fieldDct > 0) tools.push_back("field DCT (" + std::to_string(m.fieldDct) + " macroblocks" + walked);
    if (m.fieldPrediction > 0) {
      tools.push_back("field prediction (" + std::to_string(m.fieldPrediction) + " macroblocks" + walked);
    }
    if (s.alternateScan > 0) {
      tools.push_back("alternate vertical scan (" + std::to_string(s.alternateScan) + " pictures)");
    }
  }
  if (!v.obmcDisable) tools.push_back("overlapped block motion compensation");
  if (v.spriteEnable == SpriteMode::kStatic) tools.push_back("static sprites");
  if (v.spriteEnable == SpriteMode::kGlobalMotionCompensation) {
    static const char* const kAccuracy[4] = {"1/2", "1/4", "1/8", "1/16"};
    const int points = v.noOfSpriteWarpingPoints;
    tools.push_back("global motion compensation (" + std::to_string(points) + " warping point" +
                    (points == 1 ? "" : "s") + " at " + kAccuracy[v.spriteWarpingAccuracy & 3] + " sample)");
  }
  if (v.quarterSample) tools.push_back("quarter-sample motion");
  if (v.dataPartitioned) tools.push_back(v.reversibleVlc ? "data partitioning with reversible codes" : "data partitioning");
  if (v.newpredEnable) tools.push_back("newpred");
  if (v.reducedResolutionVopEnable) tools.push_back("reduced resolution pictures");
  if (v.scalability) tools.push_back("scalability");
  if (!v.complexityEstimationDisable) tools.push_back("complexity estimation");
  if (v.not8Bit) tools.push_back(std::to_string(v.bitsPerPixel) + " bits per sample");
  if (tools.empty()) return "I and P pictures only";
  std::string text;
  for (const std::string& t : tools) text += (text.empty() ? "" : ", ") + t;
  return text;
}

// A container time in milliseconds, "-" when there is none.
std::string MillisecondsText(const VideoSource& source, std::size_t i) {
  if (i >= source.pictureTimes.size() || source.pictureTimes[i] == ContainerTrack::kNoTime) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(source.pictureTimes[i]) / 1e6);
  return text;
}

// Which pictures the decoder finds damaged (`tavrin check` lists them).
std::string DamageText(const VideoSource& source, const VideoObjectLayer& layer) {
  DamageScanner scanner(layer);
  int damaged = 0;
  long long concealed = 0;
  for (const auto& picture : source.pictures) {
    const PictureDamage d = scanner.Scan(picture);
    damaged += d.damaged ? 1 : 0;
    concealed += d.concealed;
  }
  if (damaged == 0) return "none found";
  return std::to_string(damaged) + " of " + std::to_string(source.pictures.size()) +
         " pictures damaged, " + std::to_string(concealed) + " macroblocks concealed (tavrin check lists them)";
}

void ListPictures(std::FILE* out, const VideoSource& source, const VideoObjectLayer& layer) {
  // Containers that time every unit (Matroska) add that time, in ms.
  const bool timed = !source.pictureTimes.empty();
  std::fprintf(out, "\n%6s %4s %7s %10s %5s%s\n", "number", "type", "bytes", "time", "quant", timed ? "  container ms" : "");
  PictureClock clock(layer.vopTimeIncrementResolution);
  for (std::size_t i = 0; i < source.pictures.size(); ++i) {
    const PictureHeaderResult r = ParsePictureHeader(source.pictures[i], layer);
    if (!r.ok()) {
      std::fprintf(out, "%6zu %4s %7zu  %s\n", i, "?", source.pictures[i].size(), r.error.c_str());
      continue;
    }
    const PictureHeader& h = r.header;
    const long long time = static_cast<long long>(clock.Next(h));
    std::string type(1, CodingTypeLetter(h.vopCodingType));
    if (!h.vopCoded) type += " n";
    std::fprintf(out, "%6zu %4s %7zu %10lld", i, type.c_str(), source.pictures[i].size(), time);
    if (h.detailsKnown || timed) std::fprintf(out, " %5s", h.detailsKnown ? std::to_string(h.vopQuant).c_str() : "");
    if (timed) std::fprintf(out, " %14s", MillisecondsText(source, i).c_str());
    // An S picture's warping points: each one's differences in half samples.
    for (int k = 0; h.detailsKnown && k < h.warpingPoints; ++k) {
      std::fprintf(out, "%s%d,%d", k == 0 ? "  warp " : " ", h.du[static_cast<std::size_t>(k)],
                   h.dv[static_cast<std::size_t>(k)]);
    }
    if (!h.refusal.empty()) std::fprintf(out, "  refused: %s", h.refusal.c_str());
    std::fputc('\n', out);
  }
}

// The span of the container's picture times, "0.000 to 0.760 s".
std::string TimeSpanText(const VideoSource& source) {
  int64_t first = 0, last = 0;
  bool any = false;
  for (const int64_t t : source.pictureTimes) {
    if (t == ContainerTrack::kNoTime) continue;
    first = any ? std::min(first, t) : t;
    last = any ? std::max(last, t) : t;
    any = true;
  }
  if (!any) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%.3f to %.3f s", static_cast<double>(first) / 1e9, static_cast<double>(last) / 1e9);
  return text;
}

}  // namespace

int RunInfo(const std::vector<std::string>& args, const Console& console) {
  std::string path;
  bool listPictures = false;
  for (const std::string& a : args) {
    if (a == "-h" || a == "--help") {
      std::fputs(kInfoHelp, console.out);
      return 0;
    } else if (a == "--pictures") {
      listPictures = true;
    } else if (path.empty() && (a == "-" || a[0] != '-')) {
      path = a;
    } else {
      return Usage(console, kInfoHelp, "unexpected argument '" + a + "'");
    }
  }
  if (path.empty()) return Usage(console, kInfoHelp, "info needs an INPUT file");
  std::string error;
  const std::unique_ptr<Input> input = OpenInput(path, console, error);
  if (!input) return Fail(console, "info", error);
  const VideoSource& source = input->source;
  const VideoObjectLayer& v = input->layer.layer;
  std::FILE* out = console.out;

  Line(out, "file", input->name);
  Line(out, "container", ContainerText(source));
  Line(out, "header", std::to_string(source.header.size()) + " bytes " + source.headerOrigin);
  if (source.profileAndLevel >= 0) Line(out, "profile", ProfileAndLevelName(source.profileAndLevel));
  if (!input->layer.ok()) {
    Line(out, "decoder", "refuses the stream: " + RefusalOf(*input));
    return 0;
  }
  std::string size = SizeText(v.videoObjectLayerWidth, v.videoObjectLayerHeight);
  if (v.videoObjectLayerShape != LayerShape::kRectangular) size = "not given (the shape is not rectangular)";
  if (source.containerWidth > 0 && (source.containerWidth != v.videoObjectLayerWidth ||
                                    source.containerHeight != v.videoObjectLayerHeight)) {
    size += " (the container says " + SizeText(source.containerWidth, source.containerHeight) + ")";
  }
  if (v.shortVideoHeader) size += ", source format " + SourceFormatName(v.sourceFormat);
  Line(out, "picture size", size);
  const Ratio aspect = PixelAspectRatio(v);
  if (aspect.num > 0) Line(out, "pixel aspect", std::to_string(aspect.num) + ":" + std::to_string(aspect.den));
  if (v.shortVideoHeader) {
    Line(out, "short header", "baseline H.263 pictures (short video header), no layer header");
  } else {
    Line(out, "object type", ObjectTypeIndicationName(v.videoObjectTypeIndication) + ", layer version " +
                                 std::to_string(v.videoObjectLayerVerid));
  }
  Line(out, "time resolution", std::to_string(v.vopTimeIncrementResolution) + " ticks per second");
  const std::string span = TimeSpanText(source);
  if (!span.empty()) Line(out, "container times", span + " (presentation times of the pictures)");
  if (v.complete) {
    const Ratio rate = StreamFrameRate(source.pictures, v, source.containerRate);
    Line(out, "frame rate", RatioText(rate) + " pictures per second, " +
                                FrameRateOrigin(source.pictures, v, source.containerRate));
    if (v.quantType == 0) {
      Line(out, "quantisation", "H.263 method");
    } else {
      Line(out, "quantisation",
           std::string("matrix (MPEG) method; intra matrix ") + (v.loadIntraQuantMat ? "transmitted" : "default") +
               ", inter matrix " + (v.loadNonintraQuantMat ? "transmitted" : "default"));
      PrintMatrix(out, "intra matrix", v.intraQuantMat);
      PrintMatrix(out, "inter matrix", v.nonintraQuantMat);
    }
  }
  const StreamSurvey s = SurveyPictures(source.pictures, v);
  const std::string refusal = RefusalOf(*input);
  MacroblockCensus census;
  if (refusal.empty()) census = WalkPredictedPictures(source.pictures, v, kWalkedPictures);
  Line(out, "tools", ToolsText(v, s, census, source));
  std::string pictures = std::to_string(s.pictures) + ": " + std::to_string(s.byType[0]) + " I, " +
                         std::to_string(s.byType[1]) + " P, " + std::to_string(s.byType[2]) + " B";
  if (s.byType[3]) pictures += ", " + std::to_string(s.byType[3]) + " S";
  if (s.notCoded) pictures += "; " + std::to_string(s.notCoded) + " not coded";
  if (s.unreadable) pictures += "; " + std::to_string(s.unreadable) + " unreadable";
  if (s.refused) pictures += "; " + std::to_string(s.refused) + " refused (" + s.refusal + ")";
  pictures += "; " + std::to_string(s.shown) + " to show";
  Line(out, "pictures", pictures);
  Line(out, "decoder", refusal.empty() ? "supports the stream" : "refuses it: " + refusal);
  if (refusal.empty()) Line(out, "damage", DamageText(source, v));
  for (const std::string& w : input->layer.warnings) Line(out, "warning", w);
  for (const std::string& note : source.notes) Line(out, "note", note);
  if (census.walked < census.pictures) {
    Line(out, "note", std::to_string(census.pictures - census.walked) + " of " + std::to_string(census.pictures) +
                          " P pictures could not be walked to their end (damaged, or cut short)");
  }
  if (listPictures) ListPictures(out, source, v);
  return 0;
}

}  // namespace tavrin::tool
