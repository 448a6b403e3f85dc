// Decoding a committed stream through the exported interface, in display
// order, as the tool does; for the stream tests.
#pragma once

#include <string>
#include <vector>

#include "decode_session.h"
#include "support/reference_decode.h"

namespace streamtests {

struct Decoded {
  std::vector<testsupport::YuvPicture> pictures;
  int width = 0;
  int height = 0;
  std::string error;
};

// Decodes tests/data/<name> (a raw stream or a container, opened as the
// tool opens it) with the given settings; the pictures are copied out of
// the decoder as it returns them.
Decoded DecodeStream(const std::string& name, const tavrin::tool::DecodeSettings& settings = {});

// Every picture's luma PSNR against a reference decode of the same stream.
struct Fidelity {
  size_t ours = 0;
  size_t reference = 0;
  double minimum = 0;
  double average = 0;
  std::vector<double> perPicture;
};
Fidelity Compare(const std::vector<testsupport::YuvPicture>& reference,
                 const std::vector<testsupport::YuvPicture>& pictures);
// Against ffmpeg's decode.
Fidelity CompareWithReference(const std::string& name, const Decoded& decoded);

}  // namespace streamtests
