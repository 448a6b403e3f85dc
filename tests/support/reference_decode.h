// Reference pictures from ffmpeg's decoder, and picture comparison.
//
// ffmpeg is used as a black box: it decodes a committed stream to raw planar
// 4:2:0 once, the result is cached under CacheDir(), and the tests compare
// the decoder's pictures with it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// One planar 4:2:0 picture with 8-bit samples, tightly packed.  The chroma
// planes are (width + 1) / 2 by (height + 1) / 2, as ffmpeg's yuv420p.
struct YuvPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> y, cb, cr;

  int chromaWidth() const { return (width + 1) / 2; }
  int chromaHeight() const { return (height + 1) / 2; }
};

// Bytes of one picture in ffmpeg's raw yuv420p output.
std::size_t YuvPictureBytes(int width, int height);

// Splits raw yuv420p bytes into pictures of the given size.  Returns false
// (and no pictures) when the size does not divide the bytes.
bool SplitYuv420(const std::vector<uint8_t>& bytes, int width, int height, std::vector<YuvPicture>& pictures);

struct ReferenceResult {
  std::vector<YuvPicture> pictures;
  std::string error;  // empty on success
};

// Decodes the stream with
//   ffmpeg -hide_banner -loglevel error -nostdin -threads 1 -i STREAM
//          -fps_mode passthrough -f rawvideo -pix_fmt yuv420p OUTPUT
// (passthrough: one output picture per decoded picture, none repeated or
// dropped to fill a constant rate) and returns its pictures in display
// order.  The output is cached in CacheDir() under a name made of the
// stream's file name, the picture size, the stream's byte count and its
// modification time, so each stream is decoded once per change.
ReferenceResult TryReferenceDecode(const std::string& streamPath, int width, int height);

// A program that decodes a stream into raw yuv420p, for CachedDecode.
struct ReferenceDecoder {
  std::string name;      // in messages: "ffmpeg"
  std::string cacheTag;  // appended to the cache file's name, so decoders keep apart
  std::string missing;   // why the program cannot run (how to get it), or empty
  // The shell command that decodes stream into the file output.
  std::function<std::string(const std::string& stream, const std::string& output)> command;
};

// Runs the decoder on the stream unless its output is cached, and splits
// the output into pictures of the given size.  The cache file's name is made
// as TryReferenceDecode's, followed by decoder.cacheTag.
ReferenceResult CachedDecode(const std::string& streamPath, int width, int height, const ReferenceDecoder& decoder);

// Quotes text as one word for the shell.
std::string ShellQuote(const std::string& text);

// As TryReferenceDecode, reporting a failure to GoogleTest (ADD_FAILURE)
// and returning no pictures when ffmpeg is missing or fails.
std::vector<YuvPicture> ReferenceDecode(const std::string& streamPath, int width, int height);

// True when an ffmpeg command can be run.
bool FfmpegAvailable();

// Reads a whole file; false when it cannot be opened.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes);

// The PSNR reported for identical planes (and any PSNR above it).
inline constexpr double kPsnrIdentical = 99.0;

// Peak signal-to-noise ratio in dB of two 8-bit planes of width x height
// samples: 10 * log10(255^2 / mean squared error), capped at
// kPsnrIdentical, which identical planes give.
double Psnr(const uint8_t* a, int strideA, const uint8_t* b, int strideB, int width, int height);

// PSNR of the luma planes of a reference picture and a picture given as the
// decoder reports it (plane pointer and stride).
double LumaPsnr(const YuvPicture& reference, const uint8_t* planeY, int strideY);
double LumaPsnr(const YuvPicture& a, const YuvPicture& b);

struct PicturePsnr {
  double y = 0, cb = 0, cr = 0;
};

// PSNR of the three planes of a reference picture and a picture given as
// the decoder reports it.
PicturePsnr PlanesPsnr(const YuvPicture& reference, const uint8_t* planeY, int strideY, const uint8_t* planeCb,
                       int strideCb, const uint8_t* planeCr, int strideCr);

}  // namespace testsupport
