#include "support/xvid_reference.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <system_error>

namespace testsupport {

namespace {

ReferenceDecoder XvidDecoder() {
  ReferenceDecoder xvid;
  xvid.name = "Xvid (tavrin_xvid_decode)";
  xvid.cacheTag = "-xvid";  // never ffmpeg's file, even when the program is missing
#ifdef TAVRIN_XVID_DECODE
  const std::string program = TAVRIN_XVID_DECODE;
  std::error_code ec;
  const auto built = std::filesystem::last_write_time(program, ec);
  if (ec) {
    xvid.missing = program + " is not built (cmake --build build --target tavrin_xvid_decode)";
    return xvid;
  }
  xvid.cacheTag +=
      std::to_string(
                    std::chrono::duration_cast<std::chrono::seconds>(built.time_since_epoch()).count());
  xvid.command = [program](const std::string& stream, const std::string& output) {
    return ShellQuote(program) + " " + ShellQuote(stream) + " " + ShellQuote(output) + " >/dev/null";
  };
#else
  xvid.missing =
      "tavrin_xvid_decode is not built: libxvidcore-dev was missing when the build was configured "
      "(run scripts/bootstrap.sh, then cmake again)";
#endif
  return xvid;
}

}  // namespace

ReferenceResult TryXvidDecode(const std::string& streamPath, int width, int height) {
  return CachedDecode(streamPath, width, height, XvidDecoder());
}

std::vector<YuvPicture> XvidDecode(const std::string& streamPath, int width, int height) {
  ReferenceResult result = TryXvidDecode(streamPath, width, height);
  if (!result.error.empty()) {
    ADD_FAILURE() << "Xvid reference decode: " << result.error;
    return {};
  }
  return std::move(result.pictures);
}

}  // namespace testsupport
