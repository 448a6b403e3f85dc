// The short-header block routines: the installed forms (SSE2 transforms on
// x86) against the portable ones, on valid and damaged blocks, every
// quantiser, odd strides and bad arguments, with guard samples around the
// block.
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "checkasm/checkasm.h"
#include "primitives/reconstruction/reconstruction_routines.h"
#include "primitives/reconstruction/short_header_blocks.h"
#include "unit/primitives/short_header_bit_writer.h"

namespace {

using tavrin::BytePointer;
using tavrin::PrimitiveStatus;

struct Codes {
  std::vector<uint8_t> bytes;
  int32_t startBit;
  int32_t quant;
  int32_t stride;
  int nulls;  // 1..4: bytePos, bitPos, destination, *bytePos null
};

// A block's codes (with an intra DC first when asked), now and then
// damaged or garbage; quantiser 0 and bad strides now and then.
Codes RandomCodes(std::mt19937& rng, int iter, bool intra) {
  coeftest::BitWriter w;
  Codes c{};
  c.startBit = static_cast<int32_t>(rng() % 8);
  w.Put(rng(), c.startBit);
  if (rng() % 10 == 0) {
    for (int i = 0; i < 40; ++i) w.Put(rng() % 3 == 0 ? rng() : rng() & rng(), 8);
  } else {
    if (intra) w.Put(rng() % 16 == 0 ? (rng() % 2) * 255 : rng() % 256, 8);
    coeftest::PutRandomShortHeaderBlock(w, rng, intra ? 1 : 0, 1 + static_cast<int32_t>(rng() % 24));
  }
  c.bytes = w.Bytes();
  if (rng() % 6 == 0) c.bytes[rng() % (c.bytes.size() - 64)] ^= static_cast<uint8_t>(1u << (rng() % 8));
  c.quant = iter % 97 == 5 ? 0 : 1 + static_cast<int32_t>(rng() % 31);
  c.stride = iter % 53 == 7 ? static_cast<int32_t>(rng() % 8) : 8 + static_cast<int32_t>(rng() % 24);
  c.nulls = iter % 89 == 3 ? 1 + static_cast<int>(rng() % 4) : 0;
  return c;
}

struct Outcome {
  PrimitiveStatus status;
  std::ptrdiff_t byteOffset;
  int32_t bit;
  std::vector<uint8_t> picture;
  bool operator==(const Outcome& o) const {
    return status == o.status && byteOffset == o.byteOffset && bit == o.bit && picture == o.picture;
  }
};

template <typename Call>
Outcome RunCodes(const Codes& c, const std::vector<uint8_t>& picture, Call call) {
  Outcome o{};
  o.picture = picture;
  BytePointer p = c.nulls == 4 ? nullptr : c.bytes.data();
  o.bit = c.startBit;
  o.status = call(c.nulls == 1 ? nullptr : &p, c.nulls == 2 ? nullptr : &o.bit,
                  c.nulls == 3 ? nullptr : o.picture.data() + 2 * 40 + 3, c.stride);
  o.byteOffset = p == nullptr ? -1 : p - c.bytes.data();
  return o;
}

std::vector<uint8_t> RandomPicture(std::mt19937& rng) {
  std::vector<uint8_t> picture(12 * 40);
  const int shade = static_cast<int>(rng() % 3);
  for (auto& v : picture) v = static_cast<uint8_t>(shade == 0 ? rng() % 8 : shade == 1 ? 248 + rng() % 8 : rng());
  return picture;
}

TEST(CheckAsm, ShortHeaderIntra) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("ShortHeaderIntra");
  const auto fast = tavrin::reconstructionRoutines.reconstructShortHeaderIntra.get();
  for (int iter = 0; iter < 6000; ++iter) {
    const Codes c = RandomCodes(rng, iter, true);
    const int32_t coded = iter % 4 != 0 ? 1 : 0;
    const std::vector<uint8_t> picture = RandomPicture(rng);
    auto with = [&](tavrin::ReconstructShortHeaderIntraFn fn) {
      return RunCodes(c, picture, [&](BytePointer* p, int32_t* bit, uint8_t* destination, int32_t stride) {
        return fn(p, bit, coded, c.quant, destination, stride);
      });
    };
    ASSERT_TRUE(with(tavrin::reference::ReconstructShortHeaderIntra) == with(fast)) << "iteration " << iter;
  }
}

TEST(CheckAsm, ShortHeaderInterAdd) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("ShortHeaderInterAdd");
  const auto fast = tavrin::reconstructionRoutines.reconstructShortHeaderInterAdd.get();
  for (int iter = 0; iter < 6000; ++iter) {
    const Codes c = RandomCodes(rng, iter, false);
    const std::vector<uint8_t> picture = RandomPicture(rng);
    auto with = [&](tavrin::ReconstructShortHeaderInterAddFn fn) {
      return RunCodes(c, picture, [&](BytePointer* p, int32_t* bit, uint8_t* destination, int32_t stride) {
        return fn(p, bit, c.quant, destination, stride);
      });
    };
    ASSERT_TRUE(with(tavrin::reference::ReconstructShortHeaderInterAdd) == with(fast)) << "iteration " << iter;
  }
  std::mt19937 bench(7);
  coeftest::BitWriter w;
  coeftest::PutRandomShortHeaderBlock(w, bench, 0, 8);
  const auto bytes = w.Bytes();
  std::array<uint8_t, 8 * 32> block{};
  const std::pair<const char*, tavrin::ReconstructShortHeaderInterAddFn> forms[] = {
      {"reference", tavrin::reference::ReconstructShortHeaderInterAdd}, {"fastest", fast}};
  for (const auto& [name, fn] : forms) {
    checkasm::Bench(std::string("ShortHeaderInterAdd 8 codes ") + name, [&, fn = fn] {
      BytePointer p = bytes.data();
      int32_t bit = 0;
      fn(&p, &bit, 6, block.data(), 32);
    });
  }
}

}  // namespace
