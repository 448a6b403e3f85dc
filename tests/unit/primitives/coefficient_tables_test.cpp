// The code tables: the code lists of the standard are prefix-free and
// complete where the standard's are, and the compile-time look-up tables
// find every code of the lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "primitives/coefficients/coefficient_tables.h"
#include "unit/primitives/coefficient_bit_writer.h"

namespace {

using namespace tavrin::coefficients;
using coeftest::CodeList;

std::string Bits(const char* text) {
  std::string s;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p != ' ') s += *p;
  }
  return s;
}

TEST(CoefficientTables, IntraAndInterListsShareTheCodeWordsInIndexOrder) {
  for (size_t i = 0; i < kIntraTcoefCodes.size(); ++i) {
    EXPECT_EQ(Bits(kIntraTcoefCodes[i].code), Bits(kInterTcoefCodes[i].code)) << i;
  }
}

void ExpectPrefixFreeAndComplete(const std::vector<std::string>& codes, int missing12BitValues) {
  int64_t kraft = 0;  // in units of 2^-12
  for (size_t i = 0; i < codes.size(); ++i) {
    ASSERT_LE(codes[i].size(), 12u);
    kraft += int64_t{1} << (12 - codes[i].size());
    for (size_t j = 0; j < codes.size(); ++j) {
      if (i != j) {
        EXPECT_NE(codes[j].rfind(codes[i], 0), 0u) << codes[i] << " prefixes " << codes[j];
      }
    }
  }
  EXPECT_EQ(kraft, 4096 - missing12BitValues);
}

TEST(CoefficientTables, TcoefCodesArePrefixFreeAndCompleteButForNineZeros) {
  for (const CodeList* list : {&kIntraTcoefCodes, &kInterTcoefCodes}) {
    std::vector<std::string> codes{Bits(kTcoefEscapeCode)};
    for (const auto& c : *list) codes.push_back(Bits(c.code));
    ExpectPrefixFreeAndComplete(codes, 8);
  }
}

TEST(CoefficientTables, DcSizeCodesArePrefixFreeAndCompleteButForTheZeroRun) {
  std::vector<std::string> luma, chroma;
  for (const auto& c : kLuminanceDcSizeCodes) luma.push_back(Bits(c.code));
  for (const auto& c : kChrominanceDcSizeCodes) chroma.push_back(Bits(c.code));
  ExpectPrefixFreeAndComplete(luma, 2);    // eleven zeros
  ExpectPrefixFreeAndComplete(chroma, 1);  // twelve zeros
}

TEST(CoefficientTables, SpotChecksAgainstTheStandard) {
  auto find = [](const CodeList& l, const char* code) {
    for (const auto& c : l) {
      if (Bits(c.code) == Bits(code)) return c;
    }
    return TcoefCode{9, 99, 99, ""};
  };
  struct Spot {
    const char* code;
    int last, run, level;
  };
  // Intra (Table B-16).
  for (const Spot& s : std::vector<Spot>{{"10", 0, 0, 1},
                                         {"110", 0, 0, 2},
                                         {"1110", 0, 1, 1},
                                         {"0111", 1, 0, 1},
                                         {"0000 0101 0010", 0, 0, 27},
                                         {"0000 0101 1000", 0, 14, 1},
                                         {"0000 0101 1001", 1, 0, 8},
                                         {"0000 0101 1111", 1, 20, 1},
                                         {"0001 0001 0", 0, 4, 2},
                                         {"0011 01", 0, 5, 1}}) {
    const TcoefCode c = find(kIntraTcoefCodes, s.code);
    EXPECT_EQ(c.last, s.last) << s.code;
    EXPECT_EQ(c.run, s.run) << s.code;
    EXPECT_EQ(c.level, s.level) << s.code;
  }
  // Inter (Table B-17).
  for (const Spot& s : std::vector<Spot>{{"10", 0, 0, 1},
                                         {"110", 0, 1, 1},
                                         {"1111", 0, 0, 2},
                                         {"0111", 1, 0, 1},
                                         {"0000 0100 000", 0, 0, 12},
                                         {"0000 0101 0111", 0, 26, 1},
                                         {"0000 0000 101", 1, 0, 3},
                                         {"0000 0101 1111", 1, 40, 1}}) {
    const TcoefCode c = find(kInterTcoefCodes, s.code);
    EXPECT_EQ(c.last, s.last) << s.code;
    EXPECT_EQ(c.run, s.run) << s.code;
    EXPECT_EQ(c.level, s.level) << s.code;
  }
}

TEST(CoefficientTables, EveryTwelveBitValueFindsTheCodeThatPrefixesIt) {
  for (const auto& [list, table] : {std::pair{&kIntraTcoefCodes, &kIntraTcoefTable},
                                    std::pair{&kInterTcoefCodes, &kInterTcoefTable}}) {
    int matched = 0;
    for (uint32_t v = 8; v < 4096; ++v) {
      std::string bits;
      for (int b = 11; b >= 0; --b) bits += ((v >> b) & 1) != 0 ? '1' : '0';
      const TcoefEntry& e = table->Lookup(v);
      ASSERT_GT(e.length, 0) << v;
      const std::string prefix = bits.substr(0, e.length);
      if (e.level == kEscapeLevel) {
        EXPECT_EQ(prefix, Bits(kTcoefEscapeCode)) << v;
        continue;
      }
      const TcoefCode* c = coeftest::FindCode(*list, e.last, e.run, e.level);
      ASSERT_NE(c, nullptr) << v;
      EXPECT_EQ(Bits(c->code), prefix) << v;
      ++matched;
    }
    EXPECT_EQ(matched, 4096 - 8 - 32);  // the escape covers 2^5 values
  }
}

TEST(CoefficientTables, DcSizeTablesGiveEverySize) {
  for (const auto& [list, table] :
       {std::pair{&kLuminanceDcSizeCodes, &kLuminanceDcSizeTable},
        std::pair{&kChrominanceDcSizeCodes, &kChrominanceDcSizeTable}}) {
    for (const auto& c : *list) {
      const std::string bits = Bits(c.code);
      const uint32_t v = static_cast<uint32_t>(std::stoul(bits, nullptr, 2)) << (12 - bits.size());
      EXPECT_EQ((*table)[v] >> 4, c.size);
      EXPECT_EQ(static_cast<size_t>((*table)[v] & 15), bits.size());
    }
  }
}

}  // namespace
