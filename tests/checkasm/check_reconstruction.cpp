// Block reconstruction slots 33, 34, 35 and 40: every variant against the
// reference on valid and damaged streams, random neighbour entries,
// quantisers, matrices and strides, with guard values around every output.
#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "checkasm/checkasm.h"
#include "primitives/reconstruction/alternate_scan_routines.h"
#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/reconstruction.h"
#include "primitives/reconstruction/reconstruction_routines.h"
#include "unit/primitives/coefficient_bit_writer.h"

namespace {

using tavrin::BytePointer;
using tavrin::PrimitiveStatus;

std::vector<uint8_t> RandomStream(std::mt19937& rng, bool dc, bool intra, int32_t* startBit) {
  coeftest::BitWriter w;
  *startBit = static_cast<int32_t>(rng() % 8);
  w.Put(rng(), *startBit);
  if (rng() % 8 == 0) {
    for (int i = 0; i < 40; ++i) w.Put(rng() % 3 == 0 ? rng() : rng() & rng(), 8);
  } else {
    if (dc) {
      const int32_t range = rng() % 2 == 0 ? 255 : 4095;
      const int32_t difference = static_cast<int32_t>(rng() % static_cast<uint32_t>(2 * range + 1)) - range;
      coeftest::PutDcDifferential(w, difference, rng() % 2 == 0, rng() % 16 != 0);
    }
    const int32_t events = rng() % 4 == 0 ? 1 : 1 + static_cast<int32_t>(rng() % 24);
    coeftest::PutRandomBlock(w, rng, intra ? coeftest::kIntraTcoefCodes : coeftest::kInterTcoefCodes,
                             dc ? 1 : 0, events);
  }
  std::vector<uint8_t> bytes = w.Bytes();
  if (rng() % 6 == 0) bytes[rng() % (bytes.size() - 64)] ^= static_cast<uint8_t>(1u << (rng() % 8));
  return bytes;
}

int16_t RandomEntryValue(std::mt19937& rng) {
  switch (rng() % 6) {
    case 0: return -1;
    case 1: return 0;
    case 2: return static_cast<int16_t>(rng());
    default: return static_cast<int16_t>(static_cast<int32_t>(rng() % 4096) - 2048);
  }
}

// ---- Slots 33 and 35 ----

struct IntraInputs {
  std::vector<uint8_t> bytes;
  int32_t startBit;
  std::array<int16_t, 48> row;  // predRow = row + 32: [-32 .. 16)
  std::array<int16_t, 32> col;  // predCol = col + 8
  std::array<uint8_t, 4> qp;    // qpNeighbours = qp + 1
  std::array<uint8_t, 64> matrix;
  bool useMatrix;
  int32_t stride, quant, blockIndex, dcVlc, ac;
  int nulls;  // 1..7: which argument is null
};

struct IntraOutcome {
  PrimitiveStatus status;
  std::array<int16_t, 48> row;
  std::array<int16_t, 32> col;
  std::vector<uint8_t> picture;
  std::ptrdiff_t byteOffset;
  int32_t bitPos;
  bool operator==(const IntraOutcome& o) const {
    return status == o.status && row == o.row && col == o.col && picture == o.picture &&
           byteOffset == o.byteOffset && bitPos == o.bitPos;
  }
};

IntraOutcome RunIntra(tavrin::ReconstructIntraFn fn, const IntraInputs& in) {
  IntraOutcome o{};
  o.row = in.row;
  o.col = in.col;
  o.picture.resize(12 * 32);
  for (size_t i = 0; i < o.picture.size(); ++i) o.picture[i] = static_cast<uint8_t>(i * 7 + 1);
  BytePointer p = in.nulls == 4 ? nullptr : in.bytes.data();
  int32_t bit = in.startBit;
  o.status = fn(in.nulls == 1 ? nullptr : &p, in.nulls == 2 ? nullptr : &bit,
                in.nulls == 3 ? nullptr : o.picture.data() + 2 * 32 + 5, in.stride,
                in.nulls == 5 ? nullptr : o.row.data() + 32, in.nulls == 6 ? nullptr : o.col.data() + 8,
                in.quant, in.nulls == 7 ? nullptr : in.qp.data() + 1,
                in.useMatrix ? in.matrix.data() : nullptr, in.blockIndex, in.dcVlc, in.ac);
  o.byteOffset = p == nullptr ? -1 : p - in.bytes.data();
  o.bitPos = bit;
  return o;
}

IntraInputs RandomIntraInputs(std::mt19937& rng, int iter) {
  IntraInputs in{};
  in.dcVlc = static_cast<int32_t>(rng() % 2);
  in.bytes = RandomStream(rng, in.dcVlc != 0, true, &in.startBit);
  if (iter % 61 == 3) in.startBit = 8;
  for (auto& v : in.row) v = RandomEntryValue(rng);
  for (auto& v : in.col) v = RandomEntryValue(rng);
  for (auto& v : in.qp) v = static_cast<uint8_t>(rng() % 12 == 0 ? rng() % 40 : 1 + rng() % 31);
  for (auto& v : in.matrix) v = static_cast<uint8_t>(rng() % 4 == 0 ? rng() : 8 + rng() % 40);
  in.useMatrix = rng() % 3 == 0;
  in.stride = iter % 53 == 5 ? -static_cast<int32_t>(rng() % 2) : 8 + static_cast<int32_t>(rng() % 20);
  in.quant = iter % 41 == 2 ? static_cast<int32_t>(rng() % 300) : 1 + static_cast<int32_t>(rng() % 31);
  in.blockIndex = iter % 43 == 1 ? (iter % 2 == 0 ? 10 : -1) : static_cast<int32_t>(rng() % 10);
  // ac_pred_flag, and the alternate vertical scan of interlaced pictures.
  in.ac = static_cast<int32_t>(rng() % 4);
  in.nulls = iter % 31 == 0 ? 1 + static_cast<int>(rng() % 7) : 0;
  return in;
}

void CheckIntra(const char* name,
                tavrin::PrimitiveRow<tavrin::ReconstructIntraFn> tavrin::PrimitiveTable::*row,
                tavrin::ReconstructIntraFn reference) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng(name);
  for (const auto& c : checkasm::CandidatesOf(row)) {
    for (int iter = 0; iter < 5000; ++iter) {
      const IntraInputs in = RandomIntraInputs(rng, iter);
      const IntraOutcome want = RunIntra(reference, in);
      const IntraOutcome got = RunIntra(c.fn, in);
      ASSERT_TRUE(want == got) << name << " variant " << c.variant << " iteration " << iter
                               << " status " << want.status << " / " << got.status;
    }
    IntraInputs in = RandomIntraInputs(rng, 1);
    in.nulls = 0;
    in.stride = 16;
    in.quant = 8;
    in.blockIndex = 0;
    checkasm::Bench(std::string(name) + " v" + std::to_string(c.variant), [&] { RunIntra(c.fn, in); });
  }
}

TEST(CheckAsm, ReconstructIntraCoded) {
  CheckIntra("ReconstructIntraCoded", &tavrin::PrimitiveTable::ReconstructIntraCoded,
             tavrin::reference::ReconstructIntraCoded);
}

TEST(CheckAsm, ReconstructIntraUncoded) {
  CheckIntra("ReconstructIntraUncoded", &tavrin::PrimitiveTable::ReconstructIntraUncoded,
             tavrin::reference::ReconstructIntraUncoded);
}

// ---- Slot 34 ----

struct InterOutcome {
  PrimitiveStatus status;
  std::array<int16_t, 80> residual;  // 64 values between guards of 8
  std::ptrdiff_t byteOffset;
  int32_t bitPos;
  bool operator==(const InterOutcome& o) const {
    return status == o.status && residual == o.residual && byteOffset == o.byteOffset &&
           bitPos == o.bitPos;
  }
};

// One inter block's codes and the arguments around them, as both inter
// checks draw them: valid, damaged and garbage codes, a matrix one time in
// three, quantisers out of range and bad start bits now and then, and
// (nulls 1..4) a missing pointer one iteration in 33.
struct InterCodes {
  std::vector<uint8_t> bytes;
  int32_t startBit = 0;
  std::array<uint8_t, 64> matrix{};
  bool useMatrix = false;
  int32_t quant = 0;
  int nulls = 0;
  const uint8_t* weights() const { return useMatrix ? matrix.data() : nullptr; }
};

InterCodes RandomInterCodes(std::mt19937& rng, int iter) {
  InterCodes in;
  in.bytes = RandomStream(rng, false, iter % 10 != 0, &in.startBit);
  if (iter % 59 == 4) in.startBit = -1;
  for (auto& v : in.matrix) v = static_cast<uint8_t>(rng() % 4 == 0 ? rng() : 8 + rng() % 40);
  in.useMatrix = rng() % 3 == 0;
  in.quant = iter % 47 == 1 ? static_cast<int32_t>(rng() % 40) - 4 : 1 + static_cast<int32_t>(rng() % 31);
  in.nulls = iter % 33 == 0 ? 1 + iter % 4 : 0;
  return in;
}

// The codes of one inter block of eight coefficients, for timing.
std::vector<uint8_t> BenchInterCodes() {
  coeftest::BitWriter w;
  std::mt19937 benchRng(3);
  coeftest::PutRandomBlock(w, benchRng, coeftest::kInterTcoefCodes, 0, 8);
  return w.Bytes();
}

TEST(CheckAsm, ReconstructInter) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("ReconstructInter");
  for (const auto& c : checkasm::CandidatesOf(&tavrin::PrimitiveTable::ReconstructInter)) {
    for (int iter = 0; iter < 6000; ++iter) {
      const InterCodes in = RandomInterCodes(rng, iter);
      const uint32_t fill = rng();
      auto run = [&](tavrin::ReconstructInterFn fn) {
        InterOutcome o{};
        for (size_t i = 0; i < o.residual.size(); ++i) o.residual[i] = static_cast<int16_t>(fill * (i + 1));
        BytePointer p = in.nulls == 4 ? nullptr : in.bytes.data();
        int32_t bit = in.startBit;
        o.status = fn(in.nulls == 1 ? nullptr : &p, in.nulls == 2 ? nullptr : &bit,
                      in.nulls == 3 ? nullptr : o.residual.data() + 8, in.quant, in.weights());
        o.byteOffset = p == nullptr ? -1 : p - in.bytes.data();
        o.bitPos = bit;
        return o;
      };
      const InterOutcome want = run(tavrin::reference::ReconstructInter);
      const InterOutcome got = run(c.fn);
      ASSERT_TRUE(want == got) << "variant " << c.variant << " iteration " << iter << " status "
                               << want.status << " / " << got.status;
    }
    const auto bytes = BenchInterCodes();
    checkasm::Bench("ReconstructInter 8 codes v" + std::to_string(c.variant), [&] {
      BytePointer p = bytes.data();
      int32_t bit = 0;
      int16_t residual[64];
      c.fn(&p, &bit, residual, 6, nullptr);
    });
  }
}

// ---- Reconstruct-and-add ----

// The fused routine against decoding into a residual and adding it: the
// same statuses, bit positions and pictures (guard samples around the
// block), including bad destinations and strides, which must still consume
// the codes.
void CheckReconstructAndAdd(const char* name, tavrin::ReconstructInterAddFn fast,
                            tavrin::ReconstructInterAddFn reference) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng(name);
  for (int iter = 0; iter < 6000; ++iter) {
    const InterCodes in = RandomInterCodes(rng, iter);
    const int32_t stride = iter % 51 == 7 ? static_cast<int32_t>(rng() % 8) : 8 + static_cast<int32_t>(rng() % 24);
    std::vector<uint8_t> picture(12 * 40);
    const int shade = static_cast<int>(rng() % 3);  // dark, bright or random samples
    for (auto& v : picture) v = static_cast<uint8_t>(shade == 0 ? rng() % 8 : shade == 1 ? 248 + rng() % 8 : rng());
    auto run = [&](tavrin::ReconstructInterAddFn fn, std::vector<uint8_t>& out, std::ptrdiff_t& offset,
                   int32_t& bit) {
      out = picture;
      BytePointer p = in.nulls == 4 ? nullptr : in.bytes.data();
      bit = in.startBit;
      const PrimitiveStatus status =
          fn(in.nulls == 1 ? nullptr : &p, in.nulls == 2 ? nullptr : &bit, in.quant, in.weights(),
             in.nulls == 3 ? nullptr : out.data() + 2 * 40 + 3, stride);
      offset = p == nullptr ? -1 : p - in.bytes.data();
      return status;
    };
    std::vector<uint8_t> want, got;
    std::ptrdiff_t wantOffset = 0, gotOffset = 0;
    int32_t wantBit = 0, gotBit = 0;
    const PrimitiveStatus wantStatus = run(reference, want, wantOffset, wantBit);
    const PrimitiveStatus gotStatus = run(fast, got, gotOffset, gotBit);
    ASSERT_EQ(wantStatus, gotStatus) << "iteration " << iter;
    ASSERT_EQ(wantOffset, gotOffset) << "iteration " << iter;
    ASSERT_EQ(wantBit, gotBit) << "iteration " << iter;
    ASSERT_TRUE(want == got) << "iteration " << iter;
  }
  const auto bytes = BenchInterCodes();
  std::array<uint8_t, 8 * 32> picture{};
  const std::pair<const char*, tavrin::ReconstructInterAddFn> forms[] = {{"reference", reference},
                                                                          {"fastest", fast}};
  for (const auto& form : forms) {
    const tavrin::ReconstructInterAddFn fn = form.second;
    checkasm::Bench(std::string(name) + " 8 codes " + form.first, [&] {
      BytePointer p = bytes.data();
      int32_t bit = 0;
      fn(&p, &bit, 6, nullptr, picture.data(), 32);
    });
  }
}

TEST(CheckAsm, ReconstructInterAdd) {
  CheckReconstructAndAdd("ReconstructInterAdd", tavrin::reconstructionRoutines.reconstructInterAdd.get(),
                         tavrin::reference::ReconstructInterAdd);
}

// The same with the coefficients in the alternate vertical scan (inter
// blocks of interlaced pictures that ask for it).
TEST(CheckAsm, ReconstructInterAddAlternate) {
  CheckReconstructAndAdd("ReconstructInterAddAlternate",
                         tavrin::alternateScanRoutines.reconstructInterAdd.get(),
                         tavrin::reference::ReconstructInterAddAlternate);
}

#if defined(TAVRIN_AVX2_FORMS)
// The forms with the AVX2 transform, on processors that have it.
TEST(CheckAsm, ReconstructInterAddAvx2) {
  if (!checkasm::HasAvx2()) GTEST_SKIP() << "no AVX2";
  CheckReconstructAndAdd("ReconstructInterAddAvx2", tavrin::avx2::ReconstructInterAdd,
                         tavrin::reference::ReconstructInterAdd);
}

TEST(CheckAsm, ReconstructInterAddAlternateAvx2) {
  if (!checkasm::HasAvx2()) GTEST_SKIP() << "no AVX2";
  CheckReconstructAndAdd("ReconstructInterAddAlternateAvx2",
                         tavrin::avx2::ReconstructInterAddAlternate,
                         tavrin::reference::ReconstructInterAddAlternate);
}
#endif

// ---- Slot 40 ----

TEST(CheckAsm, InverseDct8x8) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("InverseDct8x8");
  for (const auto& c : checkasm::CandidatesOf(&tavrin::PrimitiveTable::InverseDct8x8)) {
    EXPECT_EQ(c.fn(nullptr), tavrin::reference::InverseDct8x8(nullptr));
    for (int iter = 0; iter < 20000; ++iter) {
      std::array<int16_t, 80> want{}, got{};
      for (size_t i = 0; i < want.size(); ++i) {
        const bool inside = i >= 8 && i < 72;
        switch (inside ? iter % 5 : 4) {
          case 0: want[i] = static_cast<int16_t>(rng()); break;
          case 1: want[i] = static_cast<int16_t>(static_cast<int32_t>(rng() % 4096) - 2048); break;
          case 2: want[i] = rng() % 8 == 0 ? static_cast<int16_t>(static_cast<int32_t>(rng() % 4096) - 2048) : 0; break;
          case 3: {
            const int16_t extremes[4] = {-32768, 32767, -2048, 2047};
            want[i] = extremes[rng() % 4];
            break;
          }
          default: want[i] = static_cast<int16_t>(static_cast<int32_t>(rng() % 64) - 32); break;
        }
      }
      got = want;
      ASSERT_EQ(tavrin::reference::InverseDct8x8(want.data() + 8), c.fn(got.data() + 8));
      ASSERT_TRUE(want == got) << "variant " << c.variant << " iteration " << iter;
    }
    std::array<int16_t, 64> block{};
    block[0] = 100;
    block[9] = -20;
    checkasm::Bench("InverseDct8x8 v" + std::to_string(c.variant), [&] {
      std::array<int16_t, 64> b = block;
      c.fn(b.data());
    });
  }
}

#if defined(__SSE2__)
// The SIMD forms of the transform's entry points: SSE2, and AVX2 on
// processors that have it.
struct TransformForm {
  const char* name;
  void (*rows)(const int16_t*, int16_t*, uint32_t);
  void (*add)(const int16_t*, uint32_t, uint8_t*, int32_t);
  void (*store)(const int16_t*, uint32_t, uint8_t*, int32_t);
};

std::vector<TransformForm> Forms() {
  namespace r = tavrin::reconstruction;
  std::vector<TransformForm> forms{
      {"sse2", r::sse2::InverseDctRows, r::sse2::InverseDctAdd, r::sse2::InverseDctStore}};
#if defined(TAVRIN_AVX2_FORMS)
  if (checkasm::HasAvx2()) {
    forms.push_back({"avx2", r::avx2::InverseDctRows, r::avx2::InverseDctAdd,
                     r::avx2::InverseDctStore});
  }
#endif
  return forms;
}

// A block whose rows named in filled (random) hold random coefficients:
// the extremes every fifth iteration, all 16-bit values every third, the
// 12-bit range otherwise; the other rows are zero.  Every other iteration only rows 0 to 3 may be
// filled (the transforms treat that shape apart).
std::array<int16_t, 64> RandomRows(std::mt19937& rng, int iter, uint32_t& filled) {
  std::array<int16_t, 64> block{};
  filled = rng() & (iter % 2 == 0 ? 0x0F : 0xFF);
  for (size_t i = 0; i < 64; ++i) {
    if (((filled >> (i / 8)) & 1) == 0) continue;
    const int16_t extremes[5] = {-32768, 32767, -2048, 2047, 0};
    block[i] = iter % 5 == 4   ? extremes[rng() % 5]
               : iter % 3 == 0 ? static_cast<int16_t>(rng())
                               : static_cast<int16_t>(static_cast<int32_t>(rng() % 4096) - 2048);
  }
  return block;
}

// The transform told which rows are nonzero, against the whole transform:
// blocks with random rows cleared, every mask that covers them.
TEST(CheckAsm, InverseDctRows) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("InverseDctRows");
  for (int iter = 0; iter < 20000; ++iter) {
    uint32_t filled = 0;
    alignas(16) const std::array<int16_t, 64> block = RandomRows(rng, iter, filled);
    // Extra rows may be named (every fourth iteration only upper ones).
    const uint32_t mask = filled | (rng() & (iter % 4 == 0 ? 0x0F : 0xFF));
    alignas(16) std::array<int16_t, 64> want{};
    tavrin::reconstruction::InverseDct(block.data(), want.data());
    for (const auto& form : Forms()) {
      alignas(16) std::array<int16_t, 64> got{};
      form.rows(block.data(), got.data(), mask);
      ASSERT_TRUE(want == got) << form.name << " iteration " << iter << " rows " << filled;
    }
  }
}

// A transform that writes samples, for both forms: a block of random rows,
// a mask that covers them, a random stride, and two equal pictures of
// random samples around the 8x8 area (which starts one row and one sample
// in), so that a write outside the block shows.
struct SamplesCase {
  alignas(16) std::array<int16_t, 64> block;
  uint32_t filled = 0;
  uint32_t mask = 0;
  int32_t stride = 0;
  std::vector<uint8_t> want, got;
  uint8_t* Want() { return want.data() + 24 + 1; }
  uint8_t* Got() { return got.data() + 24 + 1; }
};

SamplesCase RandomSamplesCase(std::mt19937& rng, int iter) {
  SamplesCase t;
  t.block = RandomRows(rng, iter, t.filled);
  t.mask = t.filled | (rng() & (iter % 4 == 0 ? 0x0F : 0xFF));
  t.stride = 8 + static_cast<int32_t>(rng() % 16);
  t.want.resize(10 * 24);
  for (auto& v : t.want) v = static_cast<uint8_t>(rng());
  t.got = t.want;
  return t;
}

// The transform added onto samples, and the flat residual added, against
// the portable forms: sums that clamp at both ends included.
TEST(CheckAsm, InverseDctAdd) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("InverseDctAdd");
  for (int iter = 0; iter < 20000; ++iter) {
    SamplesCase t = RandomSamplesCase(rng, iter);
    tavrin::reconstruction::InverseDctAdd(t.block.data(), t.mask, t.Want(), t.stride);
    const std::vector<uint8_t> before = t.got;
    for (const auto& form : Forms()) {
      t.got = before;
      form.add(t.block.data(), t.mask, t.Got(), t.stride);
      ASSERT_TRUE(t.want == t.got) << form.name << " iteration " << iter << " rows " << t.filled;
    }
    const int16_t extremes[5] = {-32768, 32767, -256, 255, 0};
    const int16_t value = iter % 4 == 0 ? extremes[rng() % 5]
                                        : static_cast<int16_t>(static_cast<int32_t>(rng() % 601) - 300);
    tavrin::reconstruction::AddFlat(value, t.Want(), t.stride);
    tavrin::reconstruction::sse2::AddFlat(value, t.Got(), t.stride);
    ASSERT_TRUE(t.want == t.got) << "iteration " << iter << " flat " << value;
  }
}

// The transform stored as samples, told which rows are nonzero, against the
// portable form: outputs that saturate at both ends included, and nothing
// written outside the block.
TEST(CheckAsm, InverseDctStore) {
  CHECKASM_TRACE();
  auto rng = checkasm::Rng("InverseDctStore");
  for (int iter = 0; iter < 20000; ++iter) {
    SamplesCase t = RandomSamplesCase(rng, iter);
    tavrin::reconstruction::InverseDctStore(t.block.data(), t.mask, t.Want(), t.stride);
    const std::vector<uint8_t> before = t.got;
    for (const auto& form : Forms()) {
      t.got = before;
      form.store(t.block.data(), t.mask, t.Got(), t.stride);
      ASSERT_TRUE(t.want == t.got) << form.name << " iteration " << iter << " rows " << t.filled;
    }
  }
}
#endif

}  // namespace
