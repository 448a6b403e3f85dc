#include "picture/global_motion.h"

#include <algorithm>
#include <cstddef>

#include "bitstream/global_motion_syntax.h"
#include "primitives/warp/warp.h"

namespace tavrin {
namespace {

// Integer division rounded to the nearest, halves away from zero (d > 0).
int64_t RoundDiv(int64_t n, int64_t d) { return n >= 0 ? (n + d / 2) / d : -((-n + d / 2) / d); }

// The smallest power of two at least n (n >= 1), as its exponent.
int32_t CeilLog2(int64_t n) {
  int32_t e = 0;
  while ((int64_t{1} << e) < n) ++e;
  return e;
}

int64_t Pow2(int32_t e) { return int64_t{1} << e; }

// Half the divisor: the positions are rounded to the nearest, halves up.
int64_t Half(int32_t shift) { return shift > 0 ? Pow2(shift - 1) : 0; }

int32_t TrailingZeros(int64_t v) { return v == 0 ? 64 : __builtin_ctzll(static_cast<uint64_t>(v)); }

// The same positions with the smallest shift: the steps' common powers of
// two leave the division (rounding down a rounded-down quotient by a power
// of two is rounding down the whole).
void Reduce(WarpAxis& a) {
  const int32_t k = std::min({TrailingZeros(a.di), TrailingZeros(a.dj), a.shift});
  a.base >>= k;
  a.di >>= k;
  a.dj >>= k;
  a.shift -= k;
}

// Steps small enough that a block's numerators, remainder included, stay
// within 32 bits for i, j < 16.
bool Computable(const WarpAxis& a) {
  constexpr int64_t kLimit = int64_t{1} << 25;
  return a.shift <= 29 && a.di <= kLimit && a.di >= -kLimit && a.dj <= kLimit && a.dj >= -kLimit;
}

bool Moves(const WarpAxis& a, int64_t s, bool horizontal) {
  return a.shift == 0 && a.di == (horizontal ? s : 0) && a.dj == (horizontal ? 0 : s);
}

int32_t ClampPosition(int64_t v) {
  constexpr int64_t kFar = int64_t{1} << 24;  // far outside any plane at any accuracy
  return static_cast<int32_t>(std::clamp(v, -kFar, kFar));
}

// The block whose top-left sample is (bx, by) in the axes' units.
WarpBlock MakeBlock(const WarpAxis& ax, const WarpAxis& ay, int32_t bx, int32_t by,
                    const GlobalMotion& g, int32_t border, int32_t maxX, int32_t maxY) {
  WarpBlock b{};
  const int64_t nx = ax.base + ax.di * bx + ax.dj * by;
  const int64_t ny = ay.base + ay.di * bx + ay.dj * by;
  const int64_t wx = nx >> ax.shift;
  const int64_t wy = ny >> ay.shift;
  b.baseX = ClampPosition(wx);
  b.baseY = ClampPosition(wy);
  b.remX = static_cast<int32_t>(nx - wx * Pow2(ax.shift));
  b.remY = static_cast<int32_t>(ny - wy * Pow2(ay.shift));
  b.xi = static_cast<int32_t>(ax.di);
  b.xj = static_cast<int32_t>(ax.dj);
  b.yi = static_cast<int32_t>(ay.di);
  b.yj = static_cast<int32_t>(ay.dj);
  b.shiftX = ax.shift;
  b.shiftY = ay.shift;
  b.accuracyBits = g.accuracyBits;
  b.rounding = g.rounding;
  b.minX = b.minY = -border;
  b.maxX = maxX;
  b.maxY = maxY;
  return b;
}

// One vector component: the sum over the macroblock's 256 luma samples of
// their displacement along the axis, in 1/s units, scaled to half (or
// quarter) samples.
int32_t AverageComponent(const GlobalMotion& g, const WarpAxis& a, int32_t bx, int32_t by,
                         int32_t own) {
  const int64_t n = a.base + a.di * bx + a.dj * by;
  const int64_t whole = n >> a.shift;
  const int32_t rem = static_cast<int32_t>(n - whole * Pow2(a.shift));
  const int32_t di = static_cast<int32_t>(a.di);
  const int32_t dj = static_cast<int32_t>(a.dj);
  int64_t sum = 0;
  if (a.shift >= 8) {
    // Each term below 2^23: 256 of them sum in 32 bits, which the compiler
    // takes four or eight at a time.
    int32_t narrow = 0;
    for (int32_t j = 0; j < 16; ++j) {
      const int32_t t = rem + dj * j;
      for (int32_t i = 0; i < 16; ++i) narrow += (t + di * i) >> a.shift;
    }
    sum = narrow;
  } else {
    for (int32_t j = 0; j < 16; ++j) {
      const int32_t t = rem + dj * j;
      for (int32_t i = 0; i < 16; ++i) sum += (t + di * i) >> a.shift;
    }
  }
  const int64_t s = Pow2(g.accuracyBits);
  // The displacement is the position less the sample's own place, own + 0..15.
  const int64_t total = 256 * whole + sum - s * (256 * int64_t{own} + 16 * 120);
  const int64_t v = RoundDiv(total, (s * 128) >> g.vectorShift);
  return static_cast<int32_t>(std::clamp<int64_t>(v, -g.vectorRange, g.vectorRange - 1));
}

}  // namespace

WarpAxes DeriveWarp(int32_t points, const int32_t* du, const int32_t* dv, int32_t accuracy,
                    int32_t width, int32_t height) {
  const int64_t s = int64_t{2} << accuracy;
  const int64_t half = s / 2;
  const int32_t rho = 3 - accuracy;
  const int64_t r = Pow2(rho);
  const int64_t w = width;
  const int64_t h = height;
  auto u = [&](int32_t k) { return k < points ? int64_t{du[k]} : 0; };
  auto v = [&](int32_t k) { return k < points ? int64_t{dv[k]} : 0; };
  // The first warping point's position in the reference, 1/s units.
  const int64_t i0 = half * u(0);
  const int64_t j0 = half * v(0);
  WarpAxes out{};
  if (points <= 1) {
    out.lumaX = {i0, s, 0, 0};
    out.lumaY = {j0, 0, s, 0};
    // The chroma displacement is half the luma one, an odd value when it
    // falls between.
    out.chromaX = {(i0 >> 1) | (i0 & 1), s, 0, 0};
    out.chromaY = {(j0 >> 1) | (j0 & 1), 0, s, 0};
    return out;
  }
  // The second point (top right corner) moved to the virtual width, a power
  // of two, in 1/16 units.
  const int32_t alpha = CeilLog2(w);
  const int64_t wv = Pow2(alpha);
  const int64_t i1 = half * (2 * w + u(1) + u(0));
  const int64_t j1 = half * (v(1) + v(0));
  const int64_t i1v = 16 * wv + RoundDiv((w - wv) * (r * i0) + wv * (r * i1 - 16 * w), w);
  const int64_t j1v = RoundDiv((w - wv) * (r * j0) + wv * (r * j1), w);
  if (points == 2) {
    const int32_t k = alpha + rho;
    const int64_t a = i1v - r * i0;  // x per x, and y per y
    const int64_t b = r * j0 - j1v;  // x per y
    const int64_t c = j1v - r * j0;  // y per x
    out.lumaX = {i0 * Pow2(k) + Half(k), a, b, k};
    out.lumaY = {j0 * Pow2(k) + Half(k), c, a, k};
    // Chroma sample (ic, jc) sits at luma (2 ic + 1/2, 2 jc + 1/2); its
    // position is half the luma one there, less a quarter sample.
    out.chromaX = {a + b + i0 * Pow2(k + 1) - 16 * wv + Half(k + 2), 4 * a, 4 * b, k + 2};
    out.chromaY = {c + a + j0 * Pow2(k + 1) - 16 * wv + Half(k + 2), 4 * c, 4 * a, k + 2};
    return out;
  }
  // Three points: the third (bottom left corner) moved to the virtual
  // height as well; the common power of two of both virtual sizes is left
  // out of the steps and the shift.
  const int32_t beta = CeilLog2(h);
  const int64_t hv = Pow2(beta);
  const int64_t i2 = half * (u(2) + u(0));
  const int64_t j2 = half * (2 * h + v(2) + v(0));
  const int64_t i2v = RoundDiv((h - hv) * (r * i0) + hv * (r * i2), h);
  const int64_t j2v = 16 * hv + RoundDiv((h - hv) * (r * j0) + hv * (r * j2 - 16 * h), h);
  const int32_t m = std::min(alpha, beta);
  const int64_t w3 = wv >> m;
  const int64_t h3 = hv >> m;
  const int32_t k = alpha + beta + rho - m;
  const int64_t a = (i1v - r * i0) * h3;
  const int64_t b = (i2v - r * i0) * w3;
  const int64_t c = (j1v - r * j0) * h3;
  const int64_t d = (j2v - r * j0) * w3;
  out.lumaX = {i0 * Pow2(k) + Half(k), a, b, k};
  out.lumaY = {j0 * Pow2(k) + Half(k), c, d, k};
  out.chromaX = {a + b + i0 * Pow2(k + 1) - 16 * wv * h3 + Half(k + 2), 4 * a, 4 * b, k + 2};
  out.chromaY = {c + d + j0 * Pow2(k + 1) - 16 * wv * h3 + Half(k + 2), 4 * c, 4 * d, k + 2};
  return out;
}

bool SetUpGlobalMotion(const DecoderContext& c, GlobalMotion& g) {
  const GlobalMotionLayer& layer = c.sequence.globalMotion;
  const WarpingTrajectory& t = c.picture.trajectory;
  // Points the header did not carry (a damaged trajectory) count as 0.
  int32_t du[kMaxWarpingPoints] = {}, dv[kMaxWarpingPoints] = {};
  for (int32_t k = 0; k < t.points && k < kMaxWarpingPoints; ++k) {
    du[k] = t.du[k];
    dv[k] = t.dv[k];
  }
  const int32_t points = std::min(layer.warpingPoints, kMaxWarpingPoints);
  g.axes = DeriveWarp(points, du, dv, layer.warpingAccuracy, c.sequence.width, c.sequence.height);
  for (WarpAxis* a : {&g.axes.lumaX, &g.axes.lumaY, &g.axes.chromaX, &g.axes.chromaY}) {
    Reduce(*a);
    if (!Computable(*a)) return false;
  }
  g.accuracyBits = layer.warpingAccuracy + 1;
  g.rounding = c.picture.vopRoundingType;
  g.lumaMaxX = 16 * c.store.mbWidth + 15;
  g.lumaMaxY = 16 * c.store.mbHeight + 15;
  g.chromaMaxX = 8 * c.store.mbWidth + 7;
  g.chromaMaxY = 8 * c.store.mbHeight + 7;
  g.vectorRange = 1 << (std::clamp(c.picture.vopFcodeForward, 1, 7) + 4);
  g.vectorShift = c.sequence.quarterSample ? 1 : 0;
  const int64_t s = Pow2(g.accuracyBits);
  const WarpAxes& x = g.axes;
  g.translation = false;
  g.translationVector = GlobalVector(g, 0, 0);
  g.translation = Moves(x.lumaX, s, true) && Moves(x.lumaY, s, false) &&
                  Moves(x.chromaX, s, true) && Moves(x.chromaY, s, false);
  g.lumaDx = ClampPosition(x.lumaX.base);
  g.lumaDy = ClampPosition(x.lumaY.base);
  g.chromaDx = ClampPosition(x.chromaX.base);
  g.chromaDy = ClampPosition(x.chromaY.base);
  return true;
}

MotionVector GlobalVector(const GlobalMotion& g, int32_t x, int32_t y) {
  if (g.translation) return g.translationVector;
  const int32_t bx = 16 * x;
  const int32_t by = 16 * y;
  return MotionVector{static_cast<int16_t>(AverageComponent(g, g.axes.lumaX, bx, by, bx)),
                      static_cast<int16_t>(AverageComponent(g, g.axes.lumaY, bx, by, by))};
}

namespace {

// A size x size block at (bx, by) of one plane, translated: with the row
// loads of the fast form where its reads stay inside the padded plane,
// else sample by sample with the positions clamped.
void TranslateBlock(const GlobalMotion& g, const uint8_t* from, uint8_t* to, int32_t stride,
                    int32_t size, int32_t bx, int32_t by, int32_t dx, int32_t dy,
                    const WarpAxis& ax, const WarpAxis& ay, int32_t maxX, int32_t maxY) {
  const int32_t a = g.accuracyBits;
  const int32_t sx = bx + (dx >> a);
  const int32_t sy = by + (dy >> a);
  const int32_t border = size;  // 16 luma, 8 chroma samples
  uint8_t* out = to + ptrdiff_t{by} * stride + bx;
  if (sx >= -border && sx + size <= maxX && sy >= -border && sy + size <= maxY) {
    const int32_t mask = (1 << a) - 1;
    warpRoutines.translate(from + ptrdiff_t{sy} * stride + sx, stride, out, stride, size, dx & mask,
                           dy & mask, a, g.rounding);
    return;
  }
  const WarpBlock b = MakeBlock(ax, ay, bx, by, g, border, maxX, maxY);
  warpRoutines.warp(from, stride, out, stride, size, &b);
}

}  // namespace

void PredictGlobalMotion(const GlobalMotion& g, const PictureBuffer& ref, const PictureBuffer& cur,
                         int32_t x, int32_t y) {
  const WarpAxes& w = g.axes;
  const int32_t ls = cur.strideY;
  const int32_t cs = cur.strideCb;  // the same for both chroma planes
  if (g.translation) {
    TranslateBlock(g, ref.originY, cur.originY, ls, 16, 16 * x, 16 * y, g.lumaDx, g.lumaDy,
                   w.lumaX, w.lumaY, g.lumaMaxX, g.lumaMaxY);
    TranslateBlock(g, ref.originCb, cur.originCb, cs, 8, 8 * x, 8 * y, g.chromaDx, g.chromaDy,
                   w.chromaX, w.chromaY, g.chromaMaxX, g.chromaMaxY);
    TranslateBlock(g, ref.originCr, cur.originCr, cs, 8, 8 * x, 8 * y, g.chromaDx, g.chromaDy,
                   w.chromaX, w.chromaY, g.chromaMaxX, g.chromaMaxY);
    return;
  }
  const WarpBlock luma = MakeBlock(w.lumaX, w.lumaY, 16 * x, 16 * y, g, 16, g.lumaMaxX, g.lumaMaxY);
  warpRoutines.warp(ref.originY, ls, cur.originY + ptrdiff_t{16} * (y * ls + x), ls, 16, &luma);
  const WarpBlock chroma =
      MakeBlock(w.chromaX, w.chromaY, 8 * x, 8 * y, g, 8, g.chromaMaxX, g.chromaMaxY);
  const ptrdiff_t offset = ptrdiff_t{8} * (y * cs + x);
  warpRoutines.warp(ref.originCb, cs, cur.originCb + offset, cs, 8, &chroma);
  warpRoutines.warp(ref.originCr, cs, cur.originCr + offset, cs, 8, &chroma);
}

}  // namespace tavrin
