#include "primitives/coefficients/reversible_codes.h"

#include <array>
#include <cstdlib>
#include <utility>

namespace tavrin::coefficients {
namespace {

// A binary tree over the code words (forwards, or read backwards), walked
// one bit at a time: each node's two children are a node (positive), a
// code (-(entry + 1), the escape being entry kReversibleCodeCount) or
// nothing (0).  Node 0 is the root.
constexpr int32_t kMaxNodes = 512;
struct CodeTree {
  std::array<std::array<int16_t, 2>, kMaxNodes> next{};
};

constexpr int32_t Length(const char* bits) {
  int32_t n = 0;
  while (bits[n] != '\0') ++n;
  return n;
}

// A code set the tree cannot hold stops the compilation: not a constant
// expression.
inline void CodeTreeFault() {}

constexpr void Insert(CodeTree& tree, int32_t& nodes, const char* bits, bool backwards,
                      int32_t entry) {
  const int32_t length = Length(bits);
  int32_t node = 0;
  for (int32_t i = 0; i < length; ++i) {
    const int32_t bit = bits[backwards ? length - 1 - i : i] - '0';
    int16_t& child = tree.next[static_cast<size_t>(node)][static_cast<size_t>(bit)];
    if (i == length - 1) {
      if (child != 0) CodeTreeFault();  // not prefix-free
      child = static_cast<int16_t>(-(entry + 1));
      return;
    }
    if (child < 0) CodeTreeFault();
    if (child == 0) {
      if (nodes >= kMaxNodes) CodeTreeFault();
      child = static_cast<int16_t>(nodes++);
    }
    node = child;
  }
}

constexpr CodeTree BuildTree(const ReversibleCode* codes, bool backwards) {
  CodeTree tree{};
  int32_t nodes = 1;
  for (int32_t e = 0; e < kReversibleCodeCount; ++e) Insert(tree, nodes, codes[e].bits, backwards, e);
  Insert(tree, nodes, kReversibleEscape, backwards, kReversibleCodeCount);
  return tree;
}

// Both directions are prefix-free, or these would not compile.
constexpr CodeTree kIntraForwards = BuildTree(kIntraReversibleCodes.data(), false);
constexpr CodeTree kIntraBackwards = BuildTree(kIntraReversibleCodes.data(), true);
constexpr CodeTree kInterForwards = BuildTree(kInterReversibleCodes.data(), false);
constexpr CodeTree kInterBackwards = BuildTree(kInterReversibleCodes.data(), true);

int32_t Bit(const uint8_t* base, int64_t p) { return (base[p >> 3] >> (7 - (p & 7))) & 1; }

// The escape's fields after its leading 0000 (forwards: 1, last, run,
// 1, level, 1, 0000, sign), at p, which moves past them.
bool ReadEscapeForwards(const uint8_t* base, int64_t& p, int64_t limit, CoefficientEvent& e) {
  if (p + kReversibleEscapeLength - 4 > limit) return false;
  auto bits = [&](int32_t n) {
    int32_t v = 0;
    for (int32_t i = 0; i < n; ++i) v = v << 1 | Bit(base, p++);
    return v;
  };
  if (bits(1) != 1) return false;
  const int32_t last = bits(1);
  const int32_t run = bits(6);
  if (bits(1) != 1) return false;
  const int32_t level = bits(11);
  if (bits(1) != 1 || bits(4) != 0 || level == 0) return false;
  const int32_t sign = bits(1);
  e = CoefficientEvent{static_cast<int16_t>(sign ? -level : level), static_cast<uint8_t>(run),
                       static_cast<uint8_t>(last)};
  return true;
}

// The same read from its end: p is the bit after its sign and moves to its
// leading 0000 (the 0000 before the sign already read).
bool ReadEscapeBackwards(const uint8_t* base, int64_t& p, int64_t limit, int32_t sign,
                         CoefficientEvent& e) {
  if (p - (kReversibleEscapeLength - 5) < limit) return false;
  auto bits = [&](int32_t n) {  // least significant first
    int32_t v = 0;
    for (int32_t i = 0; i < n; ++i) v |= Bit(base, --p) << i;
    return v;
  };
  if (bits(1) != 1) return false;
  const int32_t level = bits(11);
  if (bits(1) != 1) return false;
  const int32_t run = bits(6);
  const int32_t last = bits(1);
  if (bits(1) != 1 || bits(4) != 0 || level == 0) return false;
  e = CoefficientEvent{static_cast<int16_t>(sign ? -level : level), static_cast<uint8_t>(run),
                       static_cast<uint8_t>(last)};
  return true;
}

CoefficientEvent EventOf(const ReversibleCode& code, int32_t sign) {
  return CoefficientEvent{static_cast<int16_t>(sign ? -code.level : code.level), code.run, code.last};
}

bool ReadForwards(const uint8_t* base, int64_t& p, int64_t limit, bool intra, CoefficientEvent& e) {
  const CodeTree& tree = intra ? kIntraForwards : kInterForwards;
  const ReversibleCode* codes = intra ? kIntraReversibleCodes.data() : kInterReversibleCodes.data();
  int32_t node = 0;
  for (int32_t n = 0; n < 16 && p < limit; ++n) {
    const int32_t v = tree.next[static_cast<size_t>(node)][static_cast<size_t>(Bit(base, p++))];
    if (v == 0) return false;
    if (v > 0) {
      node = v;
      continue;
    }
    const int32_t entry = -v - 1;
    if (entry == kReversibleCodeCount) return ReadEscapeForwards(base, p, limit, e);
    if (p >= limit) return false;
    e = EventOf(codes[entry], Bit(base, p++));
    return true;
  }
  return false;
}

bool ReadBackwards(const uint8_t* base, int64_t& p, int64_t limit, bool intra, CoefficientEvent& e) {
  const CodeTree& tree = intra ? kIntraBackwards : kInterBackwards;
  const ReversibleCode* codes = intra ? kIntraReversibleCodes.data() : kInterReversibleCodes.data();
  if (p - 1 < limit) return false;
  const int32_t sign = Bit(base, --p);
  int32_t node = 0;
  for (int32_t n = 0; n < 16 && p > limit; ++n) {
    const int32_t v = tree.next[static_cast<size_t>(node)][static_cast<size_t>(Bit(base, --p))];
    if (v == 0) return false;
    if (v > 0) {
      node = v;
      continue;
    }
    const int32_t entry = -v - 1;
    if (entry == kReversibleCodeCount) return ReadEscapeBackwards(base, p, limit, sign, e);
    e = EventOf(codes[entry], sign);
    return true;
  }
  return false;
}

}  // namespace

PrimitiveStatus ReadReversibleBlock(const uint8_t* base, int64_t from, int64_t limit, bool intra,
                                    int32_t firstIndex, BlockEvents& block, int64_t* end) {
  block.count = 0;
  int64_t p = from;
  int32_t index = firstIndex - 1;
  *end = p;
  for (int32_t k = 0; k < 64; ++k) {
    CoefficientEvent e{};
    const bool read = ReadForwards(base, p, limit, intra, e);
    *end = p;
    if (!read) return CoefficientCodeError;
    index += e.run + 1;
    if (index > 63) return CoefficientCodeError;
    block.events[block.count++] = e;
    if (e.last) return Ok;
  }
  return CoefficientCodeError;
}

PrimitiveStatus ReadReversibleBlockBackwards(const uint8_t* base, int64_t end, int64_t limit,
                                             bool intra, int32_t firstIndex, BlockEvents& block,
                                             int64_t* start) {
  block.count = 0;
  int64_t p = end;
  int32_t positions = 0;
  for (int32_t k = 0; k < 64; ++k) {
    if (k > 0 && p == limit) break;
    const int64_t before = p;
    CoefficientEvent e{};
    const bool read = ReadBackwards(base, p, limit, intra, e);
    *start = p;
    if (!read || (k == 0 && !e.last)) return CoefficientCodeError;
    if (k > 0 && e.last) {
      p = before;  // the previous block's last event
      break;
    }
    positions += e.run + 1;
    if (firstIndex + positions > 64) return CoefficientCodeError;
    block.events[block.count++] = e;
  }
  // Stream order.
  for (int32_t i = 0, j = block.count - 1; i < j; ++i, --j) std::swap(block.events[i], block.events[j]);
  *start = p;
  return Ok;
}

int32_t ReversibleCodeOf(const CoefficientEvent& event, bool intra, uint64_t* bits) {
  const ReversibleCode* codes = intra ? kIntraReversibleCodes.data() : kInterReversibleCodes.data();
  const int32_t magnitude = std::abs(event.level);
  const uint64_t sign = event.level < 0 ? 1 : 0;
  for (int32_t e = 0; e < kReversibleCodeCount; ++e) {
    const ReversibleCode& c = codes[e];
    if (c.last != event.last || c.run != event.run || c.level != magnitude) continue;
    uint64_t v = 0;
    const int32_t length = Length(c.bits);
    for (int32_t i = 0; i < length; ++i) v = v << 1 | static_cast<uint64_t>(c.bits[i] - '0');
    *bits = v << 1 | sign;
    return length + 1;
  }
  uint64_t v = 1;  // 0000 1
  v = v << 1 | (event.last ? 1 : 0);
  v = v << 6 | (event.run & 63u);
  v = v << 1 | 1;
  v = v << 11 | (static_cast<uint64_t>(magnitude) & 2047u);
  v = v << 1 | 1;
  v = v << 4;  // 0000
  *bits = v << 1 | sign;
  return kReversibleEscapeLength;
}

}  // namespace tavrin::coefficients
