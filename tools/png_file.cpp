#include "png_file.h"

#include <png.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace tavrin::tool {
namespace {

png_image Describe(const RgbImage& image) {
  png_image description;
  std::memset(&description, 0, sizeof description);
  description.version = PNG_IMAGE_VERSION;
  description.width = static_cast<png_uint_32>(image.width);
  description.height = static_cast<png_uint_32>(image.height);
  description.format = PNG_FORMAT_RGB;
  return description;
}

bool Check(const RgbImage& image, std::string& error) {
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3) {
    error = "the image to write is empty";
    return false;
  }
  return true;
}

}  // namespace

bool WritePng(const std::string& path, const RgbImage& image, std::string& error) {
  if (!Check(image, error)) return false;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = "cannot create '" + path + "': " + std::strerror(errno);
    return false;
  }
  const bool written = WritePng(file, image, error);
  const bool closed = std::fclose(file) == 0;
  if (written && !closed) error = "writing '" + path + "' failed";
  if (!written || !closed) {
    // What was written is of no use; devices named as output stay.
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) std::remove(path.c_str());
    return false;
  }
  return true;
}

bool WritePng(std::FILE* file, const RgbImage& image, std::string& error) {
  if (!Check(image, error)) return false;
  png_image description = Describe(image);
  const int ok = png_image_write_to_stdio(&description, file, 0, image.pixels.data(), image.width * 3, nullptr);
  if (!ok || PNG_IMAGE_FAILED(description)) {
    error = std::string("writing the PNG image failed: ") + description.message;
    png_image_free(&description);
    return false;
  }
  if (std::fflush(file) != 0) {
    error = "writing the PNG image failed";
    return false;
  }
  return true;
}

}  // namespace tavrin::tool
