// Writing decoded pictures as YUV4MPEG2 (.y4m) or as raw planar 4:2:0.
//
// Each picture is given as the decoder reports it: three plane pointers and
// three strides, plus the visible size.  Chroma planes are written
// (width + 1) / 2 samples wide and (height + 1) / 2 rows high, the layout
// ffmpeg's yuv420p uses, so that odd sizes round up; the decoder's planes
// always hold that many samples because it decodes whole macroblocks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>

namespace tavrin::tool {

struct PlanarPicture {
  const uint8_t* planeY = nullptr;
  const uint8_t* planeCb = nullptr;
  const uint8_t* planeCr = nullptr;
  int strideY = 0;
  int strideCb = 0;
  int strideCr = 0;
  int width = 0;
  int height = 0;
};

enum class PictureFormat {
  kY4m,        // YUV4MPEG2: a stream header, then "FRAME\n" and the planes per picture
  kRawYuv420,  // the planes alone, Y then Cb then Cr, picture after picture
};

// The chroma siting written in the y4m header.  MPEG-4 Visual places 4:2:0
// chroma like MPEG-2 (co-sited horizontally with the left luma sample),
// which is what ffmpeg writes for these streams.
enum class Y4mChromaTag {
  kMpeg2,  // "C420mpeg2 XYSCSS=420MPEG2", as ffmpeg writes for MPEG-4 Visual
  kJpeg,   // "C420jpeg"
};

struct Y4mParameters {
  int frameRateNum = 25;
  int frameRateDen = 1;
  int aspectNum = 1;  // pixel aspect ratio; 0:0 means unknown
  int aspectDen = 1;
  Y4mChromaTag chroma = Y4mChromaTag::kMpeg2;
  // The interlacing tag: 'p' progressive, 't' top field first, 'b' bottom
  // field first.
  char interlacing = 'p';
};

// The stream header line, newline included:
// "YUV4MPEG2 W176 H144 F25:1 Ip A1:1 C420mpeg2 XYSCSS=420MPEG2\n" (It or Ib
// for interlaced pictures).
std::string Y4mStreamHeader(int width, int height, const Y4mParameters& parameters);

// Bytes of one picture in the output: the three planes, plus "FRAME\n" for
// y4m.
std::size_t PictureBytes(PictureFormat format, int width, int height);

// Chooses the format from the output name: ".y4m" (any case) gives y4m,
// anything else raw 4:2:0.
PictureFormat FormatForPath(const std::string& path);

class PictureWriter {
 public:
  // Writes to a C stream the caller keeps open and closes.
  PictureWriter(std::FILE* file, PictureFormat format, Y4mParameters parameters = {});
  // Writes to a C++ stream the caller keeps alive.
  PictureWriter(std::ostream& stream, PictureFormat format, Y4mParameters parameters = {});
  ~PictureWriter();
  PictureWriter(const PictureWriter&) = delete;
  PictureWriter& operator=(const PictureWriter&) = delete;

  // Writes one picture; the y4m stream header goes out before the first,
  // with the first picture's size.  Every picture must have that size.
  // Returns false when writing fails, a plane pointer is null, a stride is
  // smaller than the plane's width, or the size differs from the first.
  bool Write(const PlanarPicture& picture);

  // Flushes what was written.  Returns false when writing failed.
  bool Flush();

  int picturesWritten() const { return pictures_; }
  bool failed() const { return failed_; }
  // Why writing stopped, when it did.
  const std::string& error() const { return error_; }

 private:
  bool Put(const void* data, std::size_t size);
  bool PutPlane(const uint8_t* plane, int stride, int width, int height);

  std::FILE* file_ = nullptr;
  std::ostream* stream_ = nullptr;
  PictureFormat format_;
  Y4mParameters parameters_;
  int width_ = 0;
  int height_ = 0;
  int pictures_ = 0;
  bool failed_ = false;
  std::string error_;
};

}  // namespace tavrin::tool
