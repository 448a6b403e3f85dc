// Whole-plane primitives (edge padding, zero filling, the post-filter's
// copy) and the deblocking of one block edge.
#include "bench_support.h"
#include "primitives/memory/memory.h"
#include "primitives/padding/padding.h"
#include "primitives/postfilter/postfilter.h"

namespace {

using namespace tavrinbench;
namespace ref = tavrin::reference;

const bool registered = [] {
  const auto& t = Table();
  // A 720x576 luma plane with its 16-sample border, and its chroma planes.
  for (int32_t width : {720, 360}) {
    const int32_t border = width == 720 ? 16 : 8;
    const int32_t height = width == 720 ? 576 : 288;
    RegisterRow("PadPlane/" + std::to_string(width), t.PadPlane, ref::PadPlane,
                [=](benchmark::State& st, auto fn) {
                  const int32_t stride = width + 2 * border;
                  std::vector<uint8_t> plane =
                      PictureBytes(static_cast<size_t>(stride) * (height + 2 * border), 4);
                  for (auto _ : st)
                    benchmark::DoNotOptimize(fn(plane.data(), width, height, border, stride));
                });
  }
  for (int32_t count : {64, 1000, 16384, 1 << 20}) {
    RegisterRow("ZeroBytes/" + std::to_string(count), t.ZeroBytes, ref::ZeroBytes,
                [count](benchmark::State& st, auto fn) {
                  std::vector<uint8_t> bytes(static_cast<size_t>(count) + 64);
                  for (auto _ : st) benchmark::DoNotOptimize(fn(bytes.data() + 3, count));
                });
  }
  RegisterRow("CopyPlane/720x576", t.CopyPlane, ref::CopyPlane, [](benchmark::State& st, auto fn) {
    const std::vector<uint8_t> source = PictureBytes(752 * 608, 5);
    std::vector<uint8_t> destination(720 * 576);
    for (auto _ : st) {
      benchmark::DoNotOptimize(
          fn(source.data() + 16 * 752 + 16, 752, destination.data(), 720, 720, 576));
    }
  });
  auto deblock = [](benchmark::State& st, auto fn) {
    std::vector<uint8_t> plane = PictureBytes(64 * 32, 6);
    for (auto _ : st) benchmark::DoNotOptimize(fn(plane.data() + 16 * 64 + 16, 64, 8, 2, 6));
  };
  RegisterRow("DeblockHorizontalEdge", t.DeblockHorizontalEdge, ref::DeblockHorizontalEdge,
              deblock);
  RegisterRow("DeblockVerticalEdge", t.DeblockVerticalEdge, ref::DeblockVerticalEdge, deblock);
  return true;
}();

}  // namespace
