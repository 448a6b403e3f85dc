// Coefficient decoding: the escape limits against the standard's tables,
// the DC differential, the coefficient codes with their escapes, and the
// list and scan-order forms, checked against a plain bit-by-bit decoder.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "primitives/coefficients/coefficient_codes.h"
#include "primitives/coefficients/coefficient_tables.h"
#include "primitives/scan_tables.h"
#include "unit/primitives/coefficient_bit_writer.h"

namespace {

using namespace tavrin;
using namespace tavrin::coefficients;
using coeftest::BitWriter;
using coeftest::CodeList;
using coeftest::Event;
using coeftest::Form;

std::string Bits(const char* text) {
  std::string s;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p != ' ') s += *p;
  }
  return s;
}

// ---- The standard's escape tables (Tables B-19 to B-22), typed in ----

struct EscapeLimits {
  std::vector<int> lmax[2];  // [last][run]
  std::vector<int> rmax[2];  // [last][level], index 0 unused
};

EscapeLimits IntraLimits() {
  EscapeLimits t;
  t.lmax[0] = {27, 10, 5, 4, 3, 3, 3, 3, 2, 2, 1, 1, 1, 1, 1};
  t.lmax[1] = {8, 3, 2, 2, 2, 2, 2};
  t.lmax[1].resize(21, 1);
  t.rmax[0] = {-1, 14, 9, 7, 3, 2, 1, 1, 1, 1, 1};
  t.rmax[0].resize(28, 0);
  t.rmax[1] = {-1, 20, 6, 1, 0, 0, 0, 0, 0};
  return t;
}

EscapeLimits InterLimits() {
  EscapeLimits t;
  t.lmax[0] = {12, 6, 4, 3, 3, 3, 3, 2, 2, 2, 2};
  t.lmax[0].resize(27, 1);
  t.lmax[1] = {3, 2};
  t.lmax[1].resize(41, 1);
  t.rmax[0] = {-1, 26, 10, 6, 2, 1, 1, 0, 0, 0, 0, 0, 0};
  t.rmax[1] = {-1, 40, 1, 0};
  return t;
}

// ---- A plain decoder: code words matched bit by bit against the lists ----

class ModelReader {
 public:
  ModelReader(const uint8_t* data, int64_t bit) : data_(data), pos_(bit) {}
  uint32_t Bit() {
    const uint32_t b = (data_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1u;
    ++pos_;
    return b;
  }
  uint32_t Read(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 1) | Bit();
    return v;
  }
  int64_t pos() const { return pos_; }

 private:
  const uint8_t* data_;
  int64_t pos_;
};

constexpr int kEscapeIndex = 102;

// Index of the matched code in the list (kEscapeIndex for the escape), or
// -1 when twelve bits match nothing.
int MatchCode(ModelReader& r, const CodeList& codes) {
  std::string s;
  for (int len = 1; len <= 12; ++len) {
    s += r.Bit() != 0 ? '1' : '0';
    if (s == Bits(kTcoefEscapeCode)) return kEscapeIndex;
    for (size_t i = 0; i < codes.size(); ++i) {
      if (Bits(codes[i].code) == s) return static_cast<int>(i);
    }
  }
  return -1;
}

bool ModelEvent(ModelReader& r, const CodeList& codes, const EscapeLimits& limits, Event& e) {
  int i = MatchCode(r, codes);
  if (i < 0) return false;
  auto plain = [&](int index) {
    const TcoefCode& c = codes[static_cast<size_t>(index)];
    e = {c.last, c.run, r.Bit() != 0 ? -c.level : c.level};
  };
  if (i != kEscapeIndex) {
    plain(i);
    return true;
  }
  if (r.Bit() == 0) {
    i = MatchCode(r, codes);
    if (i < 0 || i == kEscapeIndex) return false;
    plain(i);
    const int add = limits.lmax[e.last][static_cast<size_t>(e.run)];
    e.level += e.level < 0 ? -add : add;
    return true;
  }
  if (r.Bit() == 0) {
    i = MatchCode(r, codes);
    if (i < 0 || i == kEscapeIndex) return false;
    plain(i);
    e.run += limits.rmax[e.last][static_cast<size_t>(std::abs(e.level))] + 1;
    return true;
  }
  e.last = static_cast<int32_t>(r.Read(1));
  e.run = static_cast<int32_t>(r.Read(6));
  const uint32_t marker1 = r.Bit();
  const int32_t raw = static_cast<int32_t>(r.Read(12));
  const uint32_t marker2 = r.Bit();
  e.level = raw >= 2048 ? raw - 4096 : raw;
  return marker1 == 1 && marker2 == 1 && e.level != 0 && e.level != -2048;
}

struct ModelList {
  PrimitiveStatus status;
  std::vector<std::pair<int, int>> entries;  // (position, level)
  int64_t bitsConsumed;
};

ModelList ModelDecodeList(const uint8_t* data, int bit, bool intra, int dcEntries,
                          const ScanTable& scan) {
  const CodeList& codes = intra ? kIntraTcoefCodes : kInterTcoefCodes;
  const EscapeLimits limits = intra ? IntraLimits() : InterLimits();
  ModelReader r(data, bit);
  ModelList out{Ok, {}, 0};
  if (dcEntries == 1) out.entries.push_back({scan[0], 0});
  int index = dcEntries - 1;
  Event e{};
  do {
    if (!ModelEvent(r, codes, limits, e)) return {CoefficientCodeError, out.entries, 0};
    index += e.run + 1;
    if (index > 63) return {CoefficientCodeError, out.entries, 0};
    if (intra && out.entries.empty() && index > 0) out.entries.push_back({scan[0], 0});
    out.entries.push_back({scan[static_cast<size_t>(index)], e.level});
  } while (e.last == 0);
  out.bitsConsumed = r.pos() - bit;
  return out;
}

// ---- Escape limits ----

TEST(CoefficientTables, EscapeLimitsEqualTheStandardsTables) {
  for (const auto& [table, limits] : {std::pair{&kIntraTcoefTable, IntraLimits()},
                                      std::pair{&kInterTcoefTable, InterLimits()}}) {
    for (int last = 0; last < 2; ++last) {
      for (int run = 0; run < 64; ++run) {
        const int want = run < static_cast<int>(limits.lmax[last].size()) ? limits.lmax[last][run] : 0;
        EXPECT_EQ(table->lmax[last][run], want) << last << " run " << run;
      }
      for (int level = 1; level < kLongestLevel; ++level) {
        const int want = level < static_cast<int>(limits.rmax[last].size())
                             ? limits.rmax[last][level] + 1
                             : 0;
        EXPECT_EQ(table->rmaxPlusOne[last][level], want) << last << " level " << level;
      }
    }
  }
}

// ---- DC differential ----

TEST(DcDifferential, EveryValueOfEverySizeRoundTrips) {
  for (int chroma = 0; chroma < 2; ++chroma) {
    for (int32_t d = -4095; d <= 4095; ++d) {
      BitWriter w;
      w.Put(5, 3);  // start inside a byte
      coeftest::PutDcDifferential(w, d, chroma != 0);
      const auto bytes = w.Bytes();
      BytePointer p = bytes.data();
      int32_t bit = 3;
      int16_t out = 0;
      ASSERT_EQ(DecodeDcDifferential(&p, &bit, chroma, &out), Ok) << d;
      EXPECT_EQ(out, d);
      EXPECT_EQ((p - bytes.data()) * 8 + bit, w.BitCount()) << d;
    }
  }
}

TEST(DcDifferential, MissingMarkerGivesMarkerErrorAndKeepsThePosition) {
  BitWriter w;
  coeftest::PutDcDifferential(w, -300, false, 0);  // size 9
  const auto bytes = w.Bytes();
  BytePointer p = bytes.data();
  int32_t bit = 0;
  int16_t out = 0;
  EXPECT_EQ(DecodeDcDifferential(&p, &bit, 0, &out), MarkerError);
  EXPECT_EQ(out, -300);
  EXPECT_EQ(p, bytes.data());
  EXPECT_EQ(bit, 0);
}

TEST(DcDifferential, ZeroRunsWithoutCodeFail) {
  std::vector<uint8_t> zeros(80, 0);
  zeros[1] = 0x10;  // 000000000001: bits 0..10 zero, bit 11 one
  BytePointer p = zeros.data();
  int32_t bit = 0;
  int16_t out = 77;
  EXPECT_EQ(DecodeDcDifferential(&p, &bit, 0, &out), CoefficientCodeError);  // eleven zeros
  EXPECT_EQ(out, 77);
  EXPECT_EQ(p, zeros.data());
  // The same bits are the chrominance size 12 code, then 12 differential
  // bits (all 0: -4095) and a marker (0 here).
  zeros[3] = 0x80;  // marker at bit 24
  EXPECT_EQ(DecodeDcDifferential(&p, &bit, 1, &out), Ok);
  EXPECT_EQ(out, -4095);
  EXPECT_EQ((p - zeros.data()) * 8 + bit, 25);
  std::vector<uint8_t> more(80, 0);
  p = more.data();
  bit = 0;
  EXPECT_EQ(DecodeDcDifferential(&p, &bit, 1, &out), CoefficientCodeError);  // twelve zeros
}

// ---- Coefficient lists ----

struct Decoded {
  PrimitiveStatus status;
  CoefficientList list;
  FirstRowIndex row;
  FirstColumnIndex column;
  int64_t bits;
};

Decoded DecodeIntra(const std::vector<uint8_t>& bytes, int bit, int dcEntries,
                    const ScanTable& scan = kZigzagScan, int16_t dc = 0) {
  Decoded d{};
  std::copy(scan.begin(), scan.end(), d.list.positions);
  d.list.count = dcEntries;
  d.list.levels[0] = dc;
  BytePointer p = bytes.data();
  int32_t b = bit;
  d.status = DecodeIntraCoefficientList(&p, &b, d.list, d.row, d.column);
  d.bits = (p - bytes.data()) * 8 + b - bit;
  return d;
}

Decoded DecodeInter(const std::vector<uint8_t>& bytes, int bit) {
  Decoded d{};
  std::copy(kZigzagScan.begin(), kZigzagScan.end(), d.list.positions);
  d.list.count = 0;
  BytePointer p = bytes.data();
  int32_t b = bit;
  d.status = DecodeInterCoefficientList(&p, &b, d.list);
  d.bits = (p - bytes.data()) * 8 + b - bit;
  return d;
}

TEST(CoefficientList, InterCode10WithSign0IsRun0Level1InThreeBits) {
  BitWriter w;
  w.PutCode("10 0");
  w.PutCode("0111 1");  // last 1, run 0, level -1
  const Decoded d = DecodeInter(w.Bytes(), 0);
  ASSERT_EQ(d.status, Ok);
  ASSERT_EQ(d.list.count, 2);
  EXPECT_EQ(d.list.levels[0], 1);
  EXPECT_EQ(d.list.positions[0], 0);
  EXPECT_EQ(d.list.levels[1], -1);
  EXPECT_EQ(d.list.positions[1], 1);
  EXPECT_EQ(d.bits, 8);
}

TEST(CoefficientList, Escape3ReachesIndex63AndEndsTheBlock) {
  BitWriter w;
  w.PutCode("0000011 1 1 1 111111 1 000000000001 1");
  const Decoded d = DecodeInter(w.Bytes(), 0);
  ASSERT_EQ(d.status, Ok);
  ASSERT_EQ(d.list.count, 1);
  EXPECT_EQ(d.list.positions[0], 63);
  EXPECT_EQ(d.list.levels[0], 1);
  EXPECT_EQ(d.bits, 30);
}

TEST(CoefficientList, Escape3RejectsMinus2048ZeroAndMissingMarkers) {
  for (const char* bits : {"0000011 1 1 1 000000 1 100000000000 1",
                           "0000011 1 1 1 000000 1 000000000000 1",
                           "0000011 1 1 1 000000 0 000000000001 1",
                           "0000011 1 1 1 000000 1 000000000001 0"}) {
    BitWriter w;
    w.PutCode(bits);
    const auto bytes = w.Bytes();
    BytePointer p = bytes.data();
    int32_t b = 0;
    CoefficientList list{};
    std::copy(kZigzagScan.begin(), kZigzagScan.end(), list.positions);
    EXPECT_EQ(DecodeInterCoefficientList(&p, &b, list), CoefficientCodeError) << bits;
    EXPECT_EQ(p, bytes.data());
    EXPECT_EQ(b, 0);
  }
  // 2047 and -2047 are fine.
  BitWriter w;
  w.PutCode("0000011 1 1 0 000000 1 011111111111 1");
  w.PutCode("0000011 1 1 1 000000 1 100000000001 1");
  const Decoded d = DecodeInter(w.Bytes(), 0);
  ASSERT_EQ(d.status, Ok);
  EXPECT_EQ(d.list.levels[0], 2047);
  EXPECT_EQ(d.list.levels[1], -2047);
}

TEST(CoefficientList, RunPastIndex63FailsAndKeepsThePosition) {
  BitWriter w;
  w.Put(0, 5);
  w.PutCode("0000011 1 1 0 111111 1 000000000001 1");  // index 63
  w.PutCode("0111 0");                                 // index 64
  const auto bytes = w.Bytes();
  const Decoded d = DecodeInter(bytes, 5);
  EXPECT_EQ(d.status, CoefficientCodeError);
  EXPECT_EQ(d.bits, 0);
  EXPECT_EQ(d.list.count, 1);  // the count tells what was stored
}

TEST(CoefficientList, IntraWithoutSeparateDcInsertsAZeroDc) {
  BitWriter w;
  coeftest::PutTableCode(w, kIntraTcoefCodes, {1, 3, -2});
  const Decoded d = DecodeIntra(w.Bytes(), 0, 0);
  ASSERT_EQ(d.status, Ok);
  ASSERT_EQ(d.list.count, 2);
  EXPECT_EQ(d.list.levels[0], 0);
  EXPECT_EQ(d.list.positions[0], 0);
  EXPECT_EQ(d.list.levels[1], -2);
  EXPECT_EQ(d.list.positions[1], kZigzagScan[3]);
  // Run 0 makes the first code the DC itself.
  BitWriter v;
  coeftest::PutTableCode(v, kIntraTcoefCodes, {1, 0, 5});
  const Decoded e = DecodeIntra(v.Bytes(), 0, 0);
  ASSERT_EQ(e.list.count, 1);
  EXPECT_EQ(e.list.levels[0], 5);
}

TEST(CoefficientList, IntraWithSeparateDcStartsAfterIt) {
  BitWriter w;
  coeftest::PutTableCode(w, kIntraTcoefCodes, {0, 0, 3});
  coeftest::PutTableCode(w, kIntraTcoefCodes, {1, 1, 1});
  const Decoded d = DecodeIntra(w.Bytes(), 0, 1, kAlternateVerticalScan, -9);
  ASSERT_EQ(d.status, Ok);
  ASSERT_EQ(d.list.count, 3);
  EXPECT_EQ(d.list.levels[0], -9);
  EXPECT_EQ(d.list.positions[1], kAlternateVerticalScan[1]);
  EXPECT_EQ(d.list.positions[2], kAlternateVerticalScan[3]);
  // First-column positions 8 and 24 hold list entries 1 and 2.
  EXPECT_EQ(d.column[1], 1);
  EXPECT_EQ(d.column[3], 2);
  EXPECT_EQ(d.row, (FirstRowIndex{}));
}

TEST(CoefficientList, EscapeTypes1And2AddTheTableLimits) {
  BitWriter w;
  w.PutCode("0000011 0");
  coeftest::PutTableCode(w, kIntraTcoefCodes, {0, 0, -1});  // level -(1 + 27)
  w.PutCode("0000011 10");
  coeftest::PutTableCode(w, kIntraTcoefCodes, {1, 0, 2});  // run 0 + 6 + 1
  const Decoded d = DecodeIntra(w.Bytes(), 0, 1);
  ASSERT_EQ(d.status, Ok);
  ASSERT_EQ(d.list.count, 3);
  EXPECT_EQ(d.list.levels[1], -28);
  EXPECT_EQ(d.list.positions[1], kZigzagScan[1]);
  EXPECT_EQ(d.list.levels[2], 2);
  EXPECT_EQ(d.list.positions[2], kZigzagScan[1 + 7 + 1]);

  BitWriter v;  // inter: escape 2 on (0, 0, 1) gives run 27
  v.PutCode("0000011 10 10 1");
  v.PutCode("0111 0");
  const Decoded e = DecodeInter(v.Bytes(), 0);
  ASSERT_EQ(e.status, Ok);
  EXPECT_EQ(e.list.positions[0], kZigzagScan[27]);
  EXPECT_EQ(e.list.levels[0], -1);
}

TEST(CoefficientList, EscapeFollowedByAnotherEscapeIsRefused) {
  for (const char* bits : {"0000011 0 0000011 1 0111 0", "0000011 10 0000011 0 0111 0",
                           "0000011 0 000000000 111", "0000000001111"}) {
    BitWriter w;
    w.PutCode(bits);
    const auto bytes = w.Bytes();
    EXPECT_EQ(DecodeInter(bytes, 0).status, CoefficientCodeError) << bits;
    EXPECT_EQ(DecodeIntra(bytes, 0, 1).status, CoefficientCodeError) << bits;
  }
}

// Random blocks of random event forms decode to the events written.
TEST(CoefficientList, RandomBlocksDecodeToTheirEvents) {
  std::mt19937 rng(1234);
  for (int iter = 0; iter < 3000; ++iter) {
    const bool intra = iter % 2 == 0;
    const int dcEntries = intra ? static_cast<int>(rng() % 2) : 0;
    const ScanTable& scan = iter % 3 == 0 ? kAlternateHorizontalScan : kZigzagScan;
    BitWriter w;
    const int start = static_cast<int>(rng() % 8);
    w.Put(rng(), start);
    const auto events = coeftest::PutRandomBlock(w, rng, intra ? kIntraTcoefCodes : kInterTcoefCodes,
                                                 dcEntries, 1 + static_cast<int>(rng() % 70));
    const auto bytes = w.Bytes();
    const Decoded d = intra ? DecodeIntra(bytes, start, dcEntries, scan) : DecodeInter(bytes, start);
    const ScanTable& used = intra ? scan : kZigzagScan;
    ASSERT_EQ(d.status, Ok) << iter;
    EXPECT_EQ(d.bits, w.BitCount() - start);
    int index = dcEntries - 1;
    int k = dcEntries;
    if (intra && dcEntries == 0 && events[0].run > 0) ++k;  // inserted DC
    ASSERT_EQ(d.list.count, k + static_cast<int>(events.size())) << iter;
    for (const Event& e : events) {
      index += e.run + 1;
      const uint8_t position = used[static_cast<size_t>(index)];
      EXPECT_EQ(d.list.positions[k], position);
      EXPECT_EQ(d.list.levels[k], e.level);
      if (intra && position > 0 && position < 8) {
        EXPECT_EQ(d.row[position], k);
      }
      if (intra && position > 0 && position % 8 == 0) {
        EXPECT_EQ(d.column[position / 8], k);
      }
      ++k;
    }
  }
}

// Random bytes (mostly invalid streams) give what the plain decoder gives.
TEST(CoefficientList, RandomBytesAgreeWithThePlainDecoder) {
  std::mt19937 rng(99);
  int failures = 0;
  for (int iter = 0; iter < 4000; ++iter) {
    std::vector<uint8_t> bytes(40 + 64, 0);
    for (size_t i = 0; i < 40; ++i) {
      // Sparse bytes make long codes, escapes and failures likely.
      bytes[i] = static_cast<uint8_t>(rng() % 3 == 0 ? rng() : rng() & rng() & rng());
    }
    const bool intra = iter % 2 == 0;
    const int bit = static_cast<int>(rng() % 8);
    const int dcEntries = intra ? static_cast<int>(rng() % 2) : 0;
    const Decoded d = intra ? DecodeIntra(bytes, bit, dcEntries) : DecodeInter(bytes, bit);
    const ModelList m = ModelDecodeList(bytes.data(), bit, intra, dcEntries, kZigzagScan);
    ASSERT_EQ(d.status, m.status) << iter;
    EXPECT_EQ(d.bits, m.bitsConsumed) << iter;
    ASSERT_EQ(d.list.count, static_cast<int>(m.entries.size())) << iter;
    for (int k = intra ? 1 : 0; k < d.list.count; ++k) {
      EXPECT_EQ(d.list.positions[k], m.entries[static_cast<size_t>(k)].first) << iter;
      EXPECT_EQ(d.list.levels[k], m.entries[static_cast<size_t>(k)].second) << iter;
    }
    failures += d.status != Ok ? 1 : 0;
  }
  EXPECT_GT(failures, 200);
  EXPECT_LT(failures, 3800);
}

// ---- Scan-order forms ----

TEST(ScanOrder, StoresAtScanIndicesAndCountsCoveredPositions) {
  BitWriter w;
  coeftest::PutTableCode(w, kIntraTcoefCodes, {0, 2, 4});
  coeftest::PutTableCode(w, kIntraTcoefCodes, {1, 0, -1});
  const auto bytes = w.Bytes();
  BytePointer p = bytes.data();
  int32_t bit = 0;
  int16_t order[64] = {};
  int32_t covered = -1;
  ASSERT_EQ(DecodeIntraCoefficientsInScanOrder(&p, &bit, order, 1, &covered), Ok);
  EXPECT_EQ(order[3], 4);
  EXPECT_EQ(order[4], -1);
  EXPECT_EQ(covered, 5);
  EXPECT_EQ((p - bytes.data()) * 8 + bit, w.BitCount());

  p = bytes.data();
  bit = 0;
  int16_t inter[64] = {};
  BitWriter v;
  v.PutCode("0000011 1 1 0 111110 1 000000000101 1");  // index 62
  v.PutCode("0000011 1 1 1 000001 1 000000000101 1");  // index 64
  const auto bad = v.Bytes();
  p = bad.data();
  EXPECT_EQ(DecodeInterCoefficientsInScanOrder(&p, &bit, inter, 0, &covered), CoefficientCodeError);
  EXPECT_EQ(covered, 63);
  EXPECT_EQ(p, bad.data());
  EXPECT_EQ(bit, 0);
}

}  // namespace
