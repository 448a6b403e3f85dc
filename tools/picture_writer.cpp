#include "picture_writer.h"

#include <cctype>

namespace tavrin::tool {

std::string Y4mStreamHeader(int width, int height, const Y4mParameters& p) {
  std::string header = "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) + " F" +
                       std::to_string(p.frameRateNum) + ":" + std::to_string(p.frameRateDen) + " I" +
                       std::string(1, p.interlacing) + " A" +
                       std::to_string(p.aspectNum) + ":" + std::to_string(p.aspectDen);
  header += p.chroma == Y4mChromaTag::kMpeg2 ? " C420mpeg2 XYSCSS=420MPEG2\n" : " C420jpeg\n";
  return header;
}

std::size_t PictureBytes(PictureFormat format, int width, int height) {
  const std::size_t luma = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  const std::size_t chroma =
      static_cast<std::size_t>((width + 1) / 2) * static_cast<std::size_t>((height + 1) / 2);
  return luma + 2 * chroma + (format == PictureFormat::kY4m ? 6 : 0);
}

PictureFormat FormatForPath(const std::string& path) {
  if (path.size() >= 4) {
    std::string ending = path.substr(path.size() - 4);
    for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ending == ".y4m") return PictureFormat::kY4m;
  }
  return PictureFormat::kRawYuv420;
}

PictureWriter::PictureWriter(std::FILE* file, PictureFormat format, Y4mParameters parameters)
    : file_(file), format_(format), parameters_(parameters) {}

PictureWriter::PictureWriter(std::ostream& stream, PictureFormat format, Y4mParameters parameters)
    : stream_(&stream), format_(format), parameters_(parameters) {}

PictureWriter::~PictureWriter() = default;

bool PictureWriter::Put(const void* data, std::size_t size) {
  if (failed_) return false;
  if (file_ != nullptr) {
    if (std::fwrite(data, 1, size, file_) != size) {
      failed_ = true;
      error_ = "writing the pictures failed";
    }
  } else if (stream_ != nullptr) {
    stream_->write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!*stream_) {
      failed_ = true;
      error_ = "writing the pictures failed";
    }
  }
  return !failed_;
}

bool PictureWriter::PutPlane(const uint8_t* plane, int stride, int width, int height) {
  for (int row = 0; row < height; ++row) {
    if (!Put(plane + static_cast<std::ptrdiff_t>(row) * stride, static_cast<std::size_t>(width))) return false;
  }
  return true;
}

bool PictureWriter::Write(const PlanarPicture& picture) {
  if (failed_) return false;
  const int width = picture.width;
  const int height = picture.height;
  const int chromaWidth = (width + 1) / 2;
  const int chromaHeight = (height + 1) / 2;
  if (width <= 0 || height <= 0 || picture.planeY == nullptr || picture.planeCb == nullptr ||
      picture.planeCr == nullptr || picture.strideY < width || picture.strideCb < chromaWidth ||
      picture.strideCr < chromaWidth) {
    failed_ = true;
    error_ = "a picture came without planes or with strides narrower than the picture";
    return false;
  }
  if (pictures_ == 0) {
    width_ = width;
    height_ = height;
    if (format_ == PictureFormat::kY4m) {
      const std::string header = Y4mStreamHeader(width, height, parameters_);
      if (!Put(header.data(), header.size())) return false;
    }
  } else if (width != width_ || height != height_) {
    failed_ = true;
    error_ = "the picture size changed from " + std::to_string(width_) + "x" + std::to_string(height_) + " to " +
             std::to_string(width) + "x" + std::to_string(height);
    return false;
  }
  if (format_ == PictureFormat::kY4m && !Put("FRAME\n", 6)) return false;
  if (!PutPlane(picture.planeY, picture.strideY, width, height) ||
      !PutPlane(picture.planeCb, picture.strideCb, chromaWidth, chromaHeight) ||
      !PutPlane(picture.planeCr, picture.strideCr, chromaWidth, chromaHeight)) {
    return false;
  }
  ++pictures_;
  return true;
}

bool PictureWriter::Flush() {
  if (failed_) return false;
  if (file_ != nullptr && std::fflush(file_) != 0) {
    failed_ = true;
    error_ = "writing the pictures failed";
  } else if (stream_ != nullptr && !stream_->flush()) {
    failed_ = true;
    error_ = "writing the pictures failed";
  }
  return !failed_;
}

}  // namespace tavrin::tool
