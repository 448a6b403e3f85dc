#include "support/reference_decode.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "support/test_paths.h"

namespace testsupport {

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::size_t YuvPictureBytes(int width, int height) {
  const std::size_t luma = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  const std::size_t chroma =
      static_cast<std::size_t>((width + 1) / 2) * static_cast<std::size_t>((height + 1) / 2);
  return luma + 2 * chroma;
}

bool SplitYuv420(const std::vector<uint8_t>& bytes, int width, int height, std::vector<YuvPicture>& pictures) {
  pictures.clear();
  if (width <= 0 || height <= 0) return false;
  const std::size_t pictureBytes = YuvPictureBytes(width, height);
  if (bytes.size() % pictureBytes != 0) return false;
  const std::size_t luma = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  const std::size_t chroma = (pictureBytes - luma) / 2;
  for (std::size_t offset = 0; offset < bytes.size(); offset += pictureBytes) {
    YuvPicture picture;
    picture.width = width;
    picture.height = height;
    const auto* base = bytes.data() + offset;
    picture.y.assign(base, base + luma);
    picture.cb.assign(base + luma, base + luma + chroma);
    picture.cr.assign(base + luma + chroma, base + pictureBytes);
    pictures.push_back(std::move(picture));
  }
  return true;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool FfmpegAvailable() {
  static const bool available = std::system("ffmpeg -hide_banner -version >/dev/null 2>&1") == 0;
  return available;
}

ReferenceResult CachedDecode(const std::string& streamPath, int width, int height, const ReferenceDecoder& decoder) {
  namespace fs = std::filesystem;
  ReferenceResult result;
  std::error_code ec;
  const auto streamSize = fs::file_size(streamPath, ec);
  if (ec) {
    result.error = "cannot read the stream " + streamPath + ": " + ec.message();
    return result;
  }
  const auto modified = fs::last_write_time(streamPath, ec);
  if (ec) {
    result.error = "cannot read the stream " + streamPath + ": " + ec.message();
    return result;
  }
  const long long stamp = std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count();
  const std::string cacheName = fs::path(streamPath).filename().string() + "-" + std::to_string(width) + "x" +
                                std::to_string(height) + "-" + std::to_string(streamSize) + "-" +
                                std::to_string(stamp) + decoder.cacheTag + ".yuv";
  const std::string cachePath = CacheDir() + "/" + cacheName;

  std::vector<uint8_t> bytes;
  if (!fs::exists(cachePath) || !ReadFileBytes(cachePath, bytes)) {
    if (!decoder.missing.empty()) {
      result.error = decoder.missing + "; it makes the reference pictures of " + streamPath;
      return result;
    }
    // Written under a name of its own and renamed into place, so that tests
    // running in parallel never read a half-written file.
    const std::string temporary = cachePath + ".part" + std::to_string(::getpid());
    const std::string log = temporary + ".log";
    const std::string command = decoder.command(streamPath, temporary) + " 2>" + ShellQuote(log);
    const int status = std::system(command.c_str());
    if (status != 0) {
      result.error = decoder.name + " failed (status " + std::to_string(status) + ") on " + streamPath + ": " +
                     ReadText(log);
      fs::remove(temporary, ec);
      fs::remove(log, ec);
      return result;
    }
    fs::remove(log, ec);
    fs::rename(temporary, cachePath, ec);
    if (ec) {
      result.error = "cannot place the reference decode at " + cachePath + ": " + ec.message();
      fs::remove(temporary, ec);
      return result;
    }
    if (!ReadFileBytes(cachePath, bytes)) {
      result.error = "cannot read the reference decode " + cachePath;
      return result;
    }
  }
  if (!SplitYuv420(bytes, width, height, result.pictures)) {
    result.error = decoder.name + "'s decode of " + streamPath + " (" + std::to_string(bytes.size()) +
                   " bytes) is not a whole number of " + std::to_string(width) + "x" + std::to_string(height) +
                   " pictures: is the size right?";
  }
  return result;
}

ReferenceResult TryReferenceDecode(const std::string& streamPath, int width, int height) {
  ReferenceDecoder ffmpeg;
  ffmpeg.name = "ffmpeg";
  if (!FfmpegAvailable()) ffmpeg.missing = "ffmpeg is not installed (run scripts/bootstrap.sh)";
  ffmpeg.command = [](const std::string& stream, const std::string& output) {
    return "ffmpeg -hide_banner -loglevel error -nostdin -threads 1 -i " + ShellQuote(stream) +
           " -fps_mode passthrough -f rawvideo -pix_fmt yuv420p -y " + ShellQuote(output);
  };
  return CachedDecode(streamPath, width, height, ffmpeg);
}

std::vector<YuvPicture> ReferenceDecode(const std::string& streamPath, int width, int height) {
  ReferenceResult result = TryReferenceDecode(streamPath, width, height);
  if (!result.error.empty()) {
    ADD_FAILURE() << "reference decode: " << result.error;
    return {};
  }
  return std::move(result.pictures);
}

double Psnr(const uint8_t* a, int strideA, const uint8_t* b, int strideB, int width, int height) {
  if (width <= 0 || height <= 0) return kPsnrIdentical;
  uint64_t sum = 0;
  for (int row = 0; row < height; ++row) {
    const uint8_t* pa = a + static_cast<std::ptrdiff_t>(row) * strideA;
    const uint8_t* pb = b + static_cast<std::ptrdiff_t>(row) * strideB;
    for (int x = 0; x < width; ++x) {
      const int d = static_cast<int>(pa[x]) - static_cast<int>(pb[x]);
      sum += static_cast<uint64_t>(d * d);
    }
  }
  if (sum == 0) return kPsnrIdentical;
  const double mse = static_cast<double>(sum) / (static_cast<double>(width) * static_cast<double>(height));
  const double psnr = 10.0 * std::log10(255.0 * 255.0 / mse);
  return psnr > kPsnrIdentical ? kPsnrIdentical : psnr;
}

double LumaPsnr(const YuvPicture& reference, const uint8_t* planeY, int strideY) {
  return Psnr(reference.y.data(), reference.width, planeY, strideY, reference.width, reference.height);
}

double LumaPsnr(const YuvPicture& a, const YuvPicture& b) {
  if (a.width != b.width || a.height != b.height) {
    ADD_FAILURE() << "LumaPsnr of pictures of different sizes: " << a.width << "x" << a.height << " and " << b.width
                  << "x" << b.height;
    return 0.0;
  }
  return LumaPsnr(a, b.y.data(), b.width);
}

PicturePsnr PlanesPsnr(const YuvPicture& reference, const uint8_t* planeY, int strideY, const uint8_t* planeCb,
                       int strideCb, const uint8_t* planeCr, int strideCr) {
  PicturePsnr psnr;
  const int cw = reference.chromaWidth();
  const int ch = reference.chromaHeight();
  psnr.y = LumaPsnr(reference, planeY, strideY);
  psnr.cb = Psnr(reference.cb.data(), cw, planeCb, strideCb, cw, ch);
  psnr.cr = Psnr(reference.cr.data(), cw, planeCr, strideCr, cw, ch);
  return psnr;
}

}  // namespace testsupport
