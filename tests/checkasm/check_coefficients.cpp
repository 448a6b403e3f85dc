// Coefficient decoding rows 29 to 32: every variant against the reference on
// valid and damaged streams, all argument faults, and guard values around
// the block.
#include <array>
#include <cstring>

#include "checkasm/checkasm.h"
#include "primitives/coefficients/coefficients.h"
#include "unit/primitives/coefficient_bit_writer.h"

namespace {

using tavrin::BytePointer;
using tavrin::PrimitiveStatus;

constexpr int kGuard = 8;

// A stream for one call: mostly valid block syntax (optionally led by a DC
// differential), sometimes damaged, sometimes random bytes.
std::vector<uint8_t> RandomStream(std::mt19937& rng, bool dc, bool intra, int32_t* startBit) {
  coeftest::BitWriter w;
  *startBit = static_cast<int32_t>(rng() % 8);
  w.Put(rng(), *startBit);
  if (rng() % 6 == 0) {
    for (int i = 0; i < 40; ++i) w.Put(rng() % 3 == 0 ? rng() : rng() & rng(), 8);
  } else {
    if (dc) {
      const int32_t range = rng() % 2 == 0 ? 255 : 4095;
      const int32_t difference = static_cast<int32_t>(rng() % static_cast<uint32_t>(2 * range + 1)) - range;
      coeftest::PutDcDifferential(w, difference, rng() % 2 == 0, rng() % 8 != 0);
    }
    coeftest::PutRandomBlock(w, rng, intra ? coeftest::kIntraTcoefCodes : coeftest::kInterTcoefCodes,
                             dc ? 1 : 0, 1 + static_cast<int32_t>(rng() % 24));
  }
  std::vector<uint8_t> bytes = w.Bytes();
  if (rng() % 5 == 0) bytes[rng() % (bytes.size() - 64)] ^= static_cast<uint8_t>(1u << (rng() % 8));
  return bytes;
}

// The outcome of one call, everything a variant must reproduce.
struct Outcome {
  PrimitiveStatus status;
  std::array<int16_t, 64 + 2 * kGuard> block;
  std::ptrdiff_t byteOffset;
  int32_t bitPos;
  bool operator==(const Outcome& o) const {
    return status == o.status && block == o.block && byteOffset == o.byteOffset && bitPos == o.bitPos;
  }
};

// Runs call(bytePos, bitPos, block) on copies of the same inputs.  A null
// argument is chosen by nulls: 1 byte-pointer pointer, 2 bit-offset pointer,
// 3 block, 4 the byte pointer itself.
template <typename Call>
Outcome Run(const std::vector<uint8_t>& bytes, int32_t startBit, uint32_t fill, int nulls, Call call) {
  Outcome o{};
  for (size_t i = 0; i < o.block.size(); ++i) o.block[i] = static_cast<int16_t>(fill * (i + 3));
  BytePointer p = nulls == 4 ? nullptr : bytes.data();
  int32_t bit = startBit;
  o.status = call(nulls == 1 ? nullptr : &p, nulls == 2 ? nullptr : &bit,
                  nulls == 3 ? nullptr : o.block.data() + kGuard);
  o.byteOffset = p == nullptr ? -1 : p - bytes.data();
  o.bitPos = bit;
  return o;
}

template <typename Fn, typename MakeCall>
void CheckRow(const char* name, const tavrin::PrimitiveRow<Fn>& row, Fn reference, bool dc,
              bool intra, MakeCall makeCall) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng(name);
  for (const auto& c : checkasm::CandidatesOf(row)) {
    for (int iter = 0; iter < 4000; ++iter) {
      int32_t startBit = 0;
      const auto bytes = RandomStream(rng, dc, intra, &startBit);
      if (iter % 50 == 7) startBit = iter % 100 < 50 ? 8 : -1;
      const int nulls = iter % 37 == 0 ? 1 + iter % 4 : 0;
      const int32_t scan = iter % 29 == 0 ? (iter % 58 == 0 ? 3 : -1) : static_cast<int32_t>(rng() % 3);
      const int32_t selector = static_cast<int32_t>(rng() % 3);
      const uint32_t fill = rng();
      const Outcome want = Run(bytes, startBit, fill, nulls, makeCall(reference, scan, selector));
      const Outcome got = Run(bytes, startBit, fill, nulls, makeCall(c.fn, scan, selector));
      ASSERT_TRUE(want == got) << name << " variant " << c.variant << " iteration " << iter
                               << " status " << want.status << " / " << got.status;
    }
    coeftest::BitWriter w;
    std::mt19937 benchRng(1);
    if (dc) coeftest::PutDcDifferential(w, 37, false);
    coeftest::PutRandomBlock(w, benchRng, intra ? coeftest::kIntraTcoefCodes : coeftest::kInterTcoefCodes,
                             dc ? 1 : 0, 12);
    const auto bytes = w.Bytes();
    const auto call = makeCall(c.fn, 0, 0);
    checkasm::Bench(std::string(name) + " 12 codes v" + std::to_string(c.variant), [&] {
      BytePointer p = bytes.data();
      int32_t bit = 0;
      int16_t block[64];
      call(&p, &bit, block);
    });
  }
}

TEST(CheckAsm, DecodeIntraCoefficients) {
  CheckRow("DecodeIntraCoefficients", checkasm::Table().DecodeIntraCoefficients,
           tavrin::DecodeIntraCoefficientsFn{tavrin::reference::DecodeIntraCoefficients}, true, true,
           [](auto fn, int32_t scan, int32_t selector) {
             return [=](BytePointer* p, int32_t* b, int16_t* block) { return fn(p, b, block, scan, selector); };
           });
}

TEST(CheckAsm, DecodeIntraCoefficientsNoDc) {
  CheckRow("DecodeIntraCoefficientsNoDc", checkasm::Table().DecodeIntraCoefficientsNoDc,
           tavrin::DecodeIntraCoefficientsNoDcFn{tavrin::reference::DecodeIntraCoefficientsNoDc}, false,
           true, [](auto fn, int32_t scan, int32_t) {
             return [=](BytePointer* p, int32_t* b, int16_t* block) { return fn(p, b, block, scan); };
           });
}

TEST(CheckAsm, DecodeInterCoefficients) {
  CheckRow("DecodeInterCoefficients", checkasm::Table().DecodeInterCoefficients,
           tavrin::DecodeInterCoefficientsFn{tavrin::reference::DecodeInterCoefficients}, false, false,
           [](auto fn, int32_t, int32_t) {
             return [=](BytePointer* p, int32_t* b, int16_t* block) { return fn(p, b, block); };
           });
}

TEST(CheckAsm, DecodeIntraDc) {
  CheckRow("DecodeIntraDc", checkasm::Table().DecodeIntraDc,
           tavrin::DecodeIntraDcFn{tavrin::reference::DecodeIntraDc}, true, true,
           [](auto fn, int32_t, int32_t selector) {
             return [=](BytePointer* p, int32_t* b, int16_t* block) { return fn(p, b, block, selector); };
           });
}

}  // namespace
