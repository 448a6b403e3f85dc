// Edge padding: every variant against the reference, whole planes compared
// (bytes right of the padded width and rows after it included).
#include <string>

#include "checkasm/checkasm.h"
#include "primitives/padding/padding.h"

namespace {

TEST(CheckAsm, PadPlane) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("PadPlane");
  std::vector<uint8_t> want, got;
  for (const auto& c : checkasm::CandidatesOf(checkasm::Table().PadPlane)) {
    for (int iter = 0; iter < 600; ++iter) {
      int32_t width = 8 + static_cast<int32_t>(rng() % 90);
      int32_t height = 1 + static_cast<int32_t>(rng() % 70);
      int32_t border = 8 + static_cast<int32_t>(rng() % 17);
      if (iter % 3 == 0) border = iter % 2 ? 16 : 8;
      int32_t stride = width + 2 * border + static_cast<int32_t>(rng() % 24);
      // Arguments the checks refuse, one at a time.
      switch (iter % 40) {
        case 1:
          width = 7 - static_cast<int32_t>(rng() % 9);
          break;
        case 2:
          height = -static_cast<int32_t>(rng() % 3);
          break;
        case 3:
          border = 7 - static_cast<int32_t>(rng() % 9);
          break;
        case 4:
          stride = 7 - static_cast<int32_t>(rng() % 9);
          break;
        case 5:
          stride = width + 2 * border - 1 - static_cast<int32_t>(rng() % 8);
          break;
        default:
          break;
      }
      const bool nullBase = iter % 40 == 6;
      const size_t rows = static_cast<size_t>(std::max(height, 1) + 2 * std::max(border, 0) + 2);
      const size_t bytes =
          rows * static_cast<size_t>(std::max(stride, 1) + 2 * std::max(border, 0) + 8);
      want.resize(bytes);
      for (auto& b : want) b = static_cast<uint8_t>(rng());
      got = want;
      auto w = tavrin::reference::PadPlane(nullBase ? nullptr : want.data(), width, height, border,
                                           stride);
      auto g = c.fn(nullBase ? nullptr : got.data(), width, height, border, stride);
      ASSERT_EQ(w, g) << "variant " << c.variant;
      ASSERT_EQ(want, got) << "variant " << c.variant << " " << width << "x" << height << " border "
                           << border << " stride " << stride;
    }
    // A 352x288 luma plane as the decoder pads it.
    const int32_t stride = 352 + 32;
    got.assign(static_cast<size_t>(stride) * (288 + 32), 0);
    checkasm::Bench(
        "PadPlane 352x288 v" + std::to_string(c.variant),
        [&] { c.fn(got.data(), 352, 288, 16, stride); }, 2000);
  }
}

}  // namespace
