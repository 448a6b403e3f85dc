// The harness compares every distinct candidate of a row with the portable
// reference; this makes sure that on x86 the rows really hold the SSE2
// implementations (so that the checks above run them, and class-0
// processors, which keep variant 1, run them too), and that every other
// target gets the portable code.
#include "checkasm/checkasm.h"
#include "primitives/blockcopy/blockcopy.h"
#include "primitives/memory/memory.h"
#include "primitives/padding/padding.h"
#include "primitives/postfilter/postfilter.h"
#include "primitives/reconstruction/reconstruction.h"

namespace {

#if defined(__SSE2__)
namespace expected = tavrin::sse2;
#else
namespace expected = tavrin::reference;
#endif

template <typename Fn>
void ExpectAllVariants(const char* name, const tavrin::PrimitiveRow<Fn>& row, Fn fn) {
  for (int v = 1; v <= 3; ++v) EXPECT_EQ(row.candidate(v), fn) << name << " variant " << v;
}

TEST(CheckAsm, FastVariantsFillTheirRows) {
  const auto& t = checkasm::Table();
  ExpectAllVariants("Copy16x16", t.Copy16x16, &expected::Copy16x16);
  ExpectAllVariants("Copy8x8", t.Copy8x8, &expected::Copy8x8);
  ExpectAllVariants("AddResidual8x8", t.AddResidual8x8, &expected::AddResidual8x8);
  ExpectAllVariants("PadPlane", t.PadPlane, &expected::PadPlane);
  ExpectAllVariants("Average8x8", t.Average8x8, &expected::Average8x8);
  ExpectAllVariants("Average16x16", t.Average16x16, &expected::Average16x16);
  ExpectAllVariants("PredictHalfSample8x8", t.PredictHalfSample8x8,
                    &expected::PredictHalfSample8x8);
  ExpectAllVariants("PredictHalfSample16x16", t.PredictHalfSample16x16,
                    &expected::PredictHalfSample16x16);
  ExpectAllVariants("PredictAddResidual8x8", t.PredictAddResidual8x8,
                    &expected::PredictAddResidual8x8);
  ExpectAllVariants("ReconstructInter", t.ReconstructInter, &expected::ReconstructInter);
  ExpectAllVariants("DeblockHorizontalEdge", t.DeblockHorizontalEdge,
                    &expected::DeblockHorizontalEdge);
  ExpectAllVariants("DeblockVerticalEdge", t.DeblockVerticalEdge, &expected::DeblockVerticalEdge);
  ExpectAllVariants("InverseDct8x8", t.InverseDct8x8, &expected::InverseDct8x8);

  // Zero filling keeps the C library's fill as variant 1.
  EXPECT_EQ(t.ZeroBytes.candidate(1), &tavrin::reference::ZeroBytes);
  EXPECT_EQ(t.ZeroBytes.candidate(2), &expected::ZeroBytes);
  EXPECT_EQ(t.ZeroBytes.candidate(3), &expected::ZeroBytes);
}

}  // namespace
