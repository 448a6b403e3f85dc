// Global motion prediction with SSE2.  The warp takes a 16x16 block whole,
// or else in 8x8 parts: where every sample of a block or part lies the same
// whole number of samples from its own place (the case of gentle zooms and
// turns, almost every part), the four neighbours of each sample are the
// same rows for all of it, read with row loads, and only the weights differ
// from sample to sample; they come from the positions computed eight or
// sixteen at a time.  The
// interpolation runs in 16-bit lanes: with s at most 16 the weighted sum of
// four samples stays below 65536.  Other parts go sample by sample.
#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstddef>
#include <cstring>

#include "primitives/warp/warp.h"
#include "primitives/warp/warp_sample.h"

namespace tavrin::sse2 {
namespace {

inline __m128i Load8(const uint8_t* p) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                           _mm_setzero_si128());
}

// Sum of the four weighted neighbour rows, rounded and scaled back to bytes
// (in the low eight lanes).
inline __m128i Interpolate(__m128i p00, __m128i p01, __m128i p10, __m128i p11, __m128i wx0,
                           __m128i wx1, __m128i wy0, __m128i wy1, __m128i round, __m128i shift) {
  const __m128i top = _mm_add_epi16(_mm_mullo_epi16(wx0, p00), _mm_mullo_epi16(wx1, p01));
  const __m128i bottom = _mm_add_epi16(_mm_mullo_epi16(wx0, p10), _mm_mullo_epi16(wx1, p11));
  const __m128i sum = _mm_add_epi16(
      _mm_add_epi16(_mm_mullo_epi16(wy0, top), _mm_mullo_epi16(wy1, bottom)), round);
  return _mm_srl_epi16(sum, shift);
}

inline int32_t PositionX(const WarpBlock& b, int32_t i, int32_t j) {
  return b.baseX + ((b.remX + b.xi * i + b.xj * j) >> b.shiftX);
}
inline int32_t PositionY(const WarpBlock& b, int32_t i, int32_t j) {
  return b.baseY + ((b.remY + b.yi * i + b.yj * j) >> b.shiftY);
}

// The 8x8 part at (pi, pj) when its samples share one whole-sample offset
// and read inside the bounds; false (nothing written) otherwise.  The
// offset of a sample from its place is a rounded-down affine function of
// its place, so it is the same everywhere when it is at the four corners.
bool FastPart(const uint8_t* origin, int32_t stride, uint8_t* destination,
              int32_t destinationStride, int32_t pi, int32_t pj, const WarpBlock& b) {
  const int32_t a = b.accuracyBits;
  const int32_t s = 1 << a;
  const int32_t ox = (PositionX(b, pi, pj) >> a) - pi;
  const int32_t oy = (PositionY(b, pi, pj) >> a) - pj;
  for (int32_t corner = 1; corner < 4; ++corner) {
    const int32_t i = pi + 7 * (corner & 1);
    const int32_t j = pj + 7 * (corner >> 1);
    if ((PositionX(b, i, j) >> a) - i != ox || (PositionY(b, i, j) >> a) - j != oy) return false;
  }
  const int32_t left = pi + ox;
  const int32_t top = pj + oy;
  if (left < b.minX || left + 8 > b.maxX || top < b.minY || top + 8 > b.maxY) return false;

  // Numerators of lanes i = pi .. pi + 7 on row pj.
  __m128i txLo = _mm_setr_epi32(b.remX + b.xi * pi + b.xj * pj, b.remX + b.xi * (pi + 1) + b.xj * pj,
                                b.remX + b.xi * (pi + 2) + b.xj * pj,
                                b.remX + b.xi * (pi + 3) + b.xj * pj);
  __m128i txHi = _mm_add_epi32(txLo, _mm_set1_epi32(4 * b.xi));
  __m128i tyLo = _mm_setr_epi32(b.remY + b.yi * pi + b.yj * pj, b.remY + b.yi * (pi + 1) + b.yj * pj,
                                b.remY + b.yi * (pi + 2) + b.yj * pj,
                                b.remY + b.yi * (pi + 3) + b.yj * pj);
  __m128i tyHi = _mm_add_epi32(tyLo, _mm_set1_epi32(4 * b.yi));
  const __m128i stepX = _mm_set1_epi32(b.xj);
  const __m128i stepY = _mm_set1_epi32(b.yj);
  const __m128i shiftX = _mm_cvtsi32_si128(b.shiftX);
  const __m128i shiftY = _mm_cvtsi32_si128(b.shiftY);
  // fx = x - s * (i + ox): the base less s per lane.
  const int32_t cx = b.baseX - s * left;
  const __m128i baseXLo = _mm_setr_epi32(cx, cx - s, cx - 2 * s, cx - 3 * s);
  const __m128i baseXHi = _mm_sub_epi32(baseXLo, _mm_set1_epi32(4 * s));
  const __m128i sv = _mm_set1_epi16(static_cast<int16_t>(s));
  const __m128i round = _mm_set1_epi16(static_cast<int16_t>((1 << (2 * a - 1)) - b.rounding));
  const __m128i scale = _mm_cvtsi32_si128(2 * a);

  const uint8_t* src = origin + ptrdiff_t{top} * stride + left;
  uint8_t* out = destination + ptrdiff_t{pj} * destinationStride + pi;
  __m128i p00 = Load8(src);
  __m128i p01 = Load8(src + 1);
  for (int32_t row = 0; row < 8; ++row) {
    src += stride;
    const __m128i p10 = Load8(src);
    const __m128i p11 = Load8(src + 1);
    const __m128i fx = _mm_packs_epi32(_mm_add_epi32(baseXLo, _mm_sra_epi32(txLo, shiftX)),
                                       _mm_add_epi32(baseXHi, _mm_sra_epi32(txHi, shiftX)));
    const __m128i cy = _mm_set1_epi32(b.baseY - s * (top + row));
    const __m128i fy = _mm_packs_epi32(_mm_add_epi32(cy, _mm_sra_epi32(tyLo, shiftY)),
                                       _mm_add_epi32(cy, _mm_sra_epi32(tyHi, shiftY)));
    const __m128i v = Interpolate(p00, p01, p10, p11, _mm_sub_epi16(sv, fx), fx,
                                  _mm_sub_epi16(sv, fy), fy, round, scale);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(v, v));
    out += destinationStride;
    p00 = p10;
    p01 = p11;
    txLo = _mm_add_epi32(txLo, stepX);
    txHi = _mm_add_epi32(txHi, stepX);
    tyLo = _mm_add_epi32(tyLo, stepY);
    tyHi = _mm_add_epi32(tyHi, stepY);
  }
  return true;
}

// The whole 16x16 block when all its samples share one whole-sample
// offset (most blocks of a gentle warp): the 8x8 parts' work with one check
// and rows of sixteen.
bool FastBlock16(const uint8_t* origin, int32_t stride, uint8_t* destination,
                 int32_t destinationStride, const WarpBlock& b) {
  const int32_t a = b.accuracyBits;
  const int32_t s = 1 << a;
  const int32_t ox = PositionX(b, 0, 0) >> a;
  const int32_t oy = PositionY(b, 0, 0) >> a;
  for (int32_t corner = 1; corner < 4; ++corner) {
    const int32_t i = 15 * (corner & 1);
    const int32_t j = 15 * (corner >> 1);
    if ((PositionX(b, i, j) >> a) - i != ox || (PositionY(b, i, j) >> a) - j != oy) return false;
  }
  if (ox < b.minX || ox + 16 > b.maxX || oy < b.minY || oy + 16 > b.maxY) return false;

  __m128i tx[4], ty[4], cx[4];
  const __m128i lanes = _mm_setr_epi32(0, 1, 2, 3);
  // 32-bit products of small lane numbers: lane * step as sums.
  auto times = [&](int32_t step) {
    const __m128i v = _mm_set1_epi32(step);
    return _mm_add_epi32(_mm_and_si128(_mm_cmpgt_epi32(lanes, _mm_setzero_si128()), v),
                         _mm_add_epi32(_mm_and_si128(_mm_cmpgt_epi32(lanes, _mm_set1_epi32(1)), v),
                                       _mm_and_si128(_mm_cmpgt_epi32(lanes, _mm_set1_epi32(2)), v)));
  };
  const __m128i stepXi = times(b.xi);
  const __m128i stepYi = times(b.yi);
  const __m128i stepCx = times(-s);
  for (int32_t q = 0; q < 4; ++q) {
    tx[q] = _mm_add_epi32(_mm_set1_epi32(b.remX + b.xi * 4 * q), stepXi);
    ty[q] = _mm_add_epi32(_mm_set1_epi32(b.remY + b.yi * 4 * q), stepYi);
    cx[q] = _mm_add_epi32(_mm_set1_epi32(b.baseX - s * (ox + 4 * q)), stepCx);
  }
  const __m128i stepX = _mm_set1_epi32(b.xj);
  const __m128i stepY = _mm_set1_epi32(b.yj);
  const __m128i shiftX = _mm_cvtsi32_si128(b.shiftX);
  const __m128i shiftY = _mm_cvtsi32_si128(b.shiftY);
  const __m128i sv = _mm_set1_epi16(static_cast<int16_t>(s));
  const __m128i round = _mm_set1_epi16(static_cast<int16_t>((1 << (2 * a - 1)) - b.rounding));
  const __m128i scale = _mm_cvtsi32_si128(2 * a);
  const __m128i zero = _mm_setzero_si128();
  auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };

  const uint8_t* src = origin + ptrdiff_t{oy} * stride + ox;
  uint8_t* out = destination;
  __m128i p00 = load(src);
  __m128i p01 = load(src + 1);
  for (int32_t row = 0; row < 16; ++row) {
    src += stride;
    const __m128i p10 = load(src);
    const __m128i p11 = load(src + 1);
    const __m128i cy = _mm_set1_epi32(b.baseY - s * (oy + row));
    const __m128i fxLo = _mm_packs_epi32(_mm_add_epi32(cx[0], _mm_sra_epi32(tx[0], shiftX)),
                                         _mm_add_epi32(cx[1], _mm_sra_epi32(tx[1], shiftX)));
    const __m128i fxHi = _mm_packs_epi32(_mm_add_epi32(cx[2], _mm_sra_epi32(tx[2], shiftX)),
                                         _mm_add_epi32(cx[3], _mm_sra_epi32(tx[3], shiftX)));
    const __m128i fyLo = _mm_packs_epi32(_mm_add_epi32(cy, _mm_sra_epi32(ty[0], shiftY)),
                                         _mm_add_epi32(cy, _mm_sra_epi32(ty[1], shiftY)));
    const __m128i fyHi = _mm_packs_epi32(_mm_add_epi32(cy, _mm_sra_epi32(ty[2], shiftY)),
                                         _mm_add_epi32(cy, _mm_sra_epi32(ty[3], shiftY)));
    const __m128i lo = Interpolate(_mm_unpacklo_epi8(p00, zero), _mm_unpacklo_epi8(p01, zero),
                                   _mm_unpacklo_epi8(p10, zero), _mm_unpacklo_epi8(p11, zero),
                                   _mm_sub_epi16(sv, fxLo), fxLo, _mm_sub_epi16(sv, fyLo), fyLo,
                                   round, scale);
    const __m128i hi = Interpolate(_mm_unpackhi_epi8(p00, zero), _mm_unpackhi_epi8(p01, zero),
                                   _mm_unpackhi_epi8(p10, zero), _mm_unpackhi_epi8(p11, zero),
                                   _mm_sub_epi16(sv, fxHi), fxHi, _mm_sub_epi16(sv, fyHi), fyHi,
                                   round, scale);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(lo, hi));
    out += destinationStride;
    p00 = p10;
    p01 = p11;
    for (int32_t q = 0; q < 4; ++q) {
      tx[q] = _mm_add_epi32(tx[q], stepX);
      ty[q] = _mm_add_epi32(ty[q], stepY);
    }
  }
  return true;
}

}  // namespace

void Warp(const uint8_t* origin, int32_t stride, uint8_t* destination, int32_t destinationStride,
          int32_t size, const WarpBlock* block) {
  const WarpBlock& b = *block;
  if (size == 16 && FastBlock16(origin, stride, destination, destinationStride, b)) return;
  for (int32_t pj = 0; pj < size; pj += 8) {
    for (int32_t pi = 0; pi < size; pi += 8) {
      if (!FastPart(origin, stride, destination, destinationStride, pi, pj, b))
        warp_detail::WarpPart(origin, stride, destination, destinationStride, pi, pi + 8, pj,
                              pj + 8, b);
    }
  }
}

void Translate(const uint8_t* source, int32_t stride, uint8_t* destination,
               int32_t destinationStride, int32_t size, int32_t fx, int32_t fy,
               int32_t accuracyBits, int32_t rounding) {
  if (fx == 0 && fy == 0) {
    for (int32_t j = 0; j < size; ++j)
      std::memcpy(destination + ptrdiff_t{j} * destinationStride, source + ptrdiff_t{j} * stride,
                  static_cast<size_t>(size));
    return;
  }
  const int32_t s = 1 << accuracyBits;
  const __m128i wx0 = _mm_set1_epi16(static_cast<int16_t>(s - fx));
  const __m128i wx1 = _mm_set1_epi16(static_cast<int16_t>(fx));
  const __m128i wy0 = _mm_set1_epi16(static_cast<int16_t>(s - fy));
  const __m128i wy1 = _mm_set1_epi16(static_cast<int16_t>(fy));
  const __m128i round =
      _mm_set1_epi16(static_cast<int16_t>((1 << (2 * accuracyBits - 1)) - rounding));
  const __m128i scale = _mm_cvtsi32_si128(2 * accuracyBits);
  const __m128i zero = _mm_setzero_si128();
  if (size == 16) {
    auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    __m128i a = load(source);
    __m128i b = load(source + 1);
    for (int32_t j = 0; j < 16; ++j) {
      source += stride;
      const __m128i c = load(source);
      const __m128i d = load(source + 1);
      const __m128i lo = Interpolate(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero),
                                     _mm_unpacklo_epi8(c, zero), _mm_unpacklo_epi8(d, zero), wx0,
                                     wx1, wy0, wy1, round, scale);
      const __m128i hi = Interpolate(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero),
                                     _mm_unpackhi_epi8(c, zero), _mm_unpackhi_epi8(d, zero), wx0,
                                     wx1, wy0, wy1, round, scale);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(destination), _mm_packus_epi16(lo, hi));
      destination += destinationStride;
      a = c;
      b = d;
    }
    return;
  }
  __m128i a = Load8(source);
  __m128i b = Load8(source + 1);
  for (int32_t j = 0; j < size; ++j) {
    source += stride;
    const __m128i c = Load8(source);
    const __m128i d = Load8(source + 1);
    const __m128i v = Interpolate(a, b, c, d, wx0, wx1, wy0, wy1, round, scale);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination), _mm_packus_epi16(v, v));
    destination += destinationStride;
    a = c;
    b = d;
  }
}

}  // namespace tavrin::sse2

#endif  // __SSE2__
