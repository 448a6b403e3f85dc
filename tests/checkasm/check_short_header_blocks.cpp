// The short-header block routines as installed (SSE2 or AVX2 transforms on x86)
// against the portable forms: valid, damaged and garbage blocks, every
// quantiser and 0, odd strides and null arguments, guard samples around
// the block.
#include <array>
#include <string>
#include <type_traits>
#include <vector>

#include "checkasm/checkasm.h"
#include "primitives/reconstruction/reconstruction_routines.h"
#include "primitives/reconstruction/short_header_blocks.h"
#include "unit/primitives/short_header_bit_writer.h"

namespace {

using tavrin::BytePointer;

template <typename Fn>
void Check(const char* name, Fn reference, Fn installed, bool intra) {
  auto rng = checkasm::Rng(name);
  for (int iter = 0; iter < 8000; ++iter) {
    coeftest::BitWriter w;
    const int32_t startBit = static_cast<int32_t>(rng() % 8);
    w.Put(rng(), startBit);
    if (rng() % 10 == 0) {
      for (int i = 0; i < 40; ++i) w.Put(rng() & rng(), 8);
    } else {
      if (intra) w.Put(rng() % 16 == 0 ? (rng() % 2) * 255 : rng() % 256, 8);
      coeftest::PutRandomShortHeaderBlock(w, rng, intra ? 1 : 0, 1 + static_cast<int32_t>(rng() % 24));
    }
    std::vector<uint8_t> bytes = w.Bytes();
    if (rng() % 6 == 0) bytes[rng() % (bytes.size() - 64)] ^= static_cast<uint8_t>(1u << (rng() % 8));
    const int32_t quant = iter % 97 == 5 ? 0 : 1 + static_cast<int32_t>(rng() % 31);
    const int32_t stride = iter % 53 == 7 ? static_cast<int32_t>(rng() % 8) : 8 + static_cast<int32_t>(rng() % 24);
    const int nulls = iter % 89 == 3 ? 1 + static_cast<int>(rng() % 4) : 0;
    const int32_t coded = iter % 4 != 0 ? 1 : 0;
    std::vector<uint8_t> picture(12 * 40);
    for (auto& v : picture) v = static_cast<uint8_t>(rng());
    auto run = [&](Fn fn, std::vector<uint8_t>& out, std::ptrdiff_t& offset, int32_t& bit) {
      out = picture;
      BytePointer p = nulls == 4 ? nullptr : bytes.data();
      bit = startBit;
      BytePointer* at = nulls == 1 ? nullptr : &p;
      int32_t* bits = nulls == 2 ? nullptr : &bit;
      uint8_t* destination = nulls == 3 ? nullptr : out.data() + 2 * 40 + 3;
      tavrin::PrimitiveStatus status;
      if constexpr (std::is_same_v<Fn, tavrin::ReconstructShortHeaderIntraFn>) {
        status = fn(at, bits, coded, quant, destination, stride);
      } else {
        status = fn(at, bits, quant, destination, stride);
      }
      offset = p == nullptr ? -1 : p - bytes.data();
      return status;
    };
    std::vector<uint8_t> want, got;
    std::ptrdiff_t wantOffset = 0, gotOffset = 0;
    int32_t wantBit = 0, gotBit = 0;
    ASSERT_EQ(run(reference, want, wantOffset, wantBit), run(installed, got, gotOffset, gotBit)) << name << " " << iter;
    ASSERT_TRUE(wantOffset == gotOffset && wantBit == gotBit && want == got) << name << " iteration " << iter;
  }
}

TEST(CheckAsm, ShortHeaderBlocks) {
  CHECKASM_TRACE();
  Check("ShortHeaderIntra", tavrin::reference::ReconstructShortHeaderIntra,
        tavrin::reconstructionRoutines.reconstructShortHeaderIntra.get(), true);
  Check("ShortHeaderInterAdd", tavrin::reference::ReconstructShortHeaderInterAdd,
        tavrin::reconstructionRoutines.reconstructShortHeaderInterAdd.get(), false);
}

#if defined(TAVRIN_AVX2_FORMS)
TEST(CheckAsm, ShortHeaderBlocksAvx2) {
  if (!checkasm::HasAvx2()) GTEST_SKIP() << "no AVX2";
  Check("ShortHeaderIntraAvx2", tavrin::reference::ReconstructShortHeaderIntra,
        &tavrin::avx2::ReconstructShortHeaderIntra, true);
  Check("ShortHeaderInterAddAvx2", tavrin::reference::ReconstructShortHeaderInterAdd,
        &tavrin::avx2::ReconstructShortHeaderInterAdd, false);
}
#endif

}  // namespace
