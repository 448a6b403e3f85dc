// Every picture a decode of a video source shows, in display order, as
// bytes (the Y, Cb and Cr planes one after the other), for comparing two
// sources' decodes byte for byte.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "decode_session.h"
#include "video_source.h"

namespace containertests {

inline std::vector<std::vector<uint8_t>> ShownPictures(const tavrin::tool::VideoSource& source) {
  using tavrin::tool::PlanarPicture;
  std::vector<std::vector<uint8_t>> shown;
  tavrin::tool::DecodeSession session;
  if (!session.Open(source.header, {})) {
    ADD_FAILURE() << session.error();
    return shown;
  }
  auto sink = [&](const PlanarPicture& p) {
    std::vector<uint8_t> bytes;
    auto plane = [&](const uint8_t* at, int stride, int width, int height) {
      for (int row = 0; row < height; ++row, at += stride) bytes.insert(bytes.end(), at, at + width);
    };
    plane(p.planeY, p.strideY, p.width, p.height);
    plane(p.planeCb, p.strideCb, (p.width + 1) / 2, (p.height + 1) / 2);
    plane(p.planeCr, p.strideCr, (p.width + 1) / 2, (p.height + 1) / 2);
    shown.push_back(std::move(bytes));
  };
  for (const auto& picture : source.pictures) session.Feed(picture, sink);
  session.Finish(sink);
  return shown;
}

}  // namespace containertests
