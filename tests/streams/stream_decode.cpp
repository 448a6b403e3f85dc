#include "stream_decode.h"

#include <algorithm>
#include <cstring>

#include "video_source.h"
#include "support/test_paths.h"

namespace streamtests {

using namespace tavrin::tool;

namespace {

testsupport::YuvPicture Copy(const PlanarPicture& p) {
  testsupport::YuvPicture out;
  out.width = p.width;
  out.height = p.height;
  const int cw = out.chromaWidth(), ch = out.chromaHeight();
  out.y.resize(static_cast<size_t>(p.width) * p.height);
  out.cb.resize(static_cast<size_t>(cw) * ch);
  out.cr.resize(static_cast<size_t>(cw) * ch);
  for (int r = 0; r < p.height; ++r)
    std::memcpy(&out.y[static_cast<size_t>(r) * p.width], p.planeY + static_cast<ptrdiff_t>(r) * p.strideY,
                static_cast<size_t>(p.width));
  for (int r = 0; r < ch; ++r) {
    std::memcpy(&out.cb[static_cast<size_t>(r) * cw], p.planeCb + static_cast<ptrdiff_t>(r) * p.strideCb,
                static_cast<size_t>(cw));
    std::memcpy(&out.cr[static_cast<size_t>(r) * cw], p.planeCr + static_cast<ptrdiff_t>(r) * p.strideCr,
                static_cast<size_t>(cw));
  }
  return out;
}

}  // namespace

Decoded DecodeStream(const std::string& name, const DecodeSettings& settings) {
  Decoded result;
  std::vector<uint8_t> bytes;
  if (!testsupport::ReadFileBytes(testsupport::DataPath(name), bytes)) {
    result.error = "cannot read " + name;
    return result;
  }
  // Raw streams of either kind and containers, as the tool opens them.
  const SourceResult opened = OpenVideo(bytes);
  if (!opened.ok()) {
    result.error = opened.error;
    return result;
  }
  DecodeSession session;
  if (!session.Open(opened.source.header, settings)) {
    result.error = session.error();
    return result;
  }
  result.width = session.width();
  result.height = session.height();
  auto sink = [&](const PlanarPicture& p) { result.pictures.push_back(Copy(p)); };
  for (const auto& picture : opened.source.pictures) session.Feed(picture, sink);
  session.Finish(sink);
  return result;
}

Fidelity Compare(const std::vector<testsupport::YuvPicture>& reference,
                 const std::vector<testsupport::YuvPicture>& pictures) {
  Fidelity f;
  f.ours = pictures.size();
  f.reference = reference.size();
  const size_t n = std::min(f.ours, f.reference);
  double sum = 0;
  f.minimum = n ? testsupport::kPsnrIdentical : 0;
  for (size_t i = 0; i < n; ++i) {
    const double psnr = testsupport::LumaPsnr(reference[i], pictures[i]);
    f.perPicture.push_back(psnr);
    f.minimum = std::min(f.minimum, psnr);
    sum += psnr;
  }
  f.average = n ? sum / static_cast<double>(n) : 0;
  return f;
}

Fidelity CompareWithReference(const std::string& name, const Decoded& decoded) {
  return Compare(testsupport::ReferenceDecode(testsupport::DataPath(name), decoded.width, decoded.height),
                 decoded.pictures);
}

}  // namespace streamtests
