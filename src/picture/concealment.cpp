#include "picture/concealment.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdlib>

#include "picture/concealment_samples.h"
#include "picture/intra_macroblock.h"
#include "picture/motion_compensation.h"
#include "picture/vector_storage.h"
#include "primitives/blockcopy/motion_routines.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/vectors/chroma_vector.h"

namespace tavrin {
namespace {

// One guess: a vector into the earlier anchor, into the later one, or
// into both (averaged).
enum class Source : uint8_t { kPast, kFuture, kBoth };

struct Guess {
  Source source;
  MotionVector past;
  MotionVector future;
};

constexpr int32_t kMaxGuesses = 12;

class Concealer {
 public:
  Concealer(DecoderContext& c, const ConcealmentJob& job)
      : f_(c.store),
        status_(c.store.resilience.status),
        job_(job),
        clip_(PictureClipRect(c)),
        cur_(c.store.currentPicture),
        past_(c.store.forwardReference),
        future_(c.store.backwardReference) {}

  void Run() {
    const int32_t mbs = f_.mbWidth * f_.mbHeight;
    for (int32_t index = 0; index < mbs; ++index) {
      if ((status_[index] & kMacroblockLost) == 0) continue;
      const int32_t x = index % f_.mbWidth;
      const int32_t y = index / f_.mbWidth;
      MarkMacroblockWritten(f_, index);
      // A suspect macroblock was decoded: what it holds may be kept
      // (KeepsDecoded).
      const bool suspect = (status_[index] & kMacroblockSuspect) != 0;
      Decoded decoded;
      if (suspect) Save(x, y, index, decoded);
      uint8_t dcs[6];
      const bool dcKnown = (status_[index] & kMacroblockDcKnown) != 0;
      if (dcKnown) BlockMeans(cur_, x, y, dcs);
      if (!HasReference()) {
        Fill(x, y);
      } else {
        const Guess guess = Choose(x, y, index);
        if (spatial_) {
          Fill(x, y);
        } else {
          Predict(guess, cur_, x, y);
        }
        if (job_.codingType == 1) {
          SetFourVectors(MvStoreEntry(f_, index), guess.past);
          f_.mbStateMap[index] = 0;
        }
      }
      if (dcKnown) KeepBlockMeans(cur_, x, y, dcs);
      if (suspect && KeepsDecoded(decoded.seam, Seam(x, y))) {
        Restore(x, y, index, decoded);
        status_[index] = static_cast<uint8_t>(status_[index] & ~(kMacroblockLost | kMacroblockSuspect));
        continue;
      }
      status_[index] = static_cast<uint8_t>((status_[index] & ~(kMacroblockIntra | kMacroblockSuspect)) |
                                            kMacroblockConcealed);
    }
  }

 private:
  // What a suspect macroblock held as decoded, to be put back.
  struct Decoded {
    MacroblockSamples samples;
    MotionVector vectors[4];
    uint8_t state;
    int64_t seam;  // Seam() of the decoded samples
  };

  void Save(int32_t x, int32_t y, int32_t index, Decoded& d) {
    SaveSamples(cur_, x, y, d.samples);
    std::copy_n(MvStoreEntry(f_, index), 4, d.vectors);
    d.state = f_.mbStateMap[index];
    d.seam = Seam(x, y);
  }

  void Restore(int32_t x, int32_t y, int32_t index, const Decoded& d) {
    RestoreSamples(cur_, x, y, d.samples);
    std::copy_n(d.vectors, 4, MvStoreEntry(f_, index));
    f_.mbStateMap[index] = d.state;
  }

  // Whether a suspect macroblock keeps what was decoded, from the seams
  // of the decoded samples and of the concealment's guess: when the
  // decoded samples step away from the intact ones around them at most
  // half as much as the guess does.  Damage makes a macroblock's samples
  // jump at its edges; decoded samples that fit that much better were
  // read before the damage began.  A guess that steps less than one level
  // on average continues its surroundings already and stays, with its
  // vector, which the guesses next to it build on (a decoded vector may
  // be rubbish even where the samples fit).
  static bool KeepsDecoded(int64_t decodedSeam, int64_t guessSeam) {
    return decodedSeam >= 0 && guessSeam >= 256 && 2 * decodedSeam <= guessSeam;
  }

  // The seam of macroblock (x, y) against its intact neighbours (decoded,
  // or kept).  Rebuilt neighbours do not count: a guess would be judged by
  // how well it continues other guesses.
  int64_t Seam(int32_t x, int32_t y) const {
    return SeamStep(cur_, x, y, {Intact(x, y - 1), Intact(x, y + 1), Intact(x - 1, y), Intact(x + 1, y)});
  }

  bool HasReference() const {
    return f_.resilience.anchorsDecoded >= 1;
  }

  // Whether macroblock (x, y) holds samples to match against: decoded
  // intact, or rebuilt already.
  bool Known(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= f_.mbWidth || y >= f_.mbHeight) return false;
    const uint8_t s = status_[y * f_.mbWidth + x];
    return (s & kMacroblockLost) == 0 || (s & kMacroblockConcealed) != 0;
  }

  // Whether macroblock (x, y) was decoded from the stream.
  bool Intact(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= f_.mbWidth || y >= f_.mbHeight) return false;
    return (status_[y * f_.mbWidth + x] & kMacroblockLost) == 0;
  }

  // The vectors of a known inter neighbour of a P picture.
  bool NeighbourVectors(int32_t x, int32_t y, const MotionVector*& v) const {
    if (!Known(x, y)) return false;
    const int32_t index = y * f_.mbWidth + x;
    if ((status_[index] & kMacroblockIntra) != 0) return false;
    v = MvStoreEntry(f_, index);
    return true;
  }

  Guess Choose(int32_t x, int32_t y, int32_t index) {
    Guess guesses[kMaxGuesses];
    int32_t n = 0;
    auto add = [&](Source source, MotionVector past, MotionVector future) {
      ClipBlockVector(past, clip_, BlockX(x, -1), BlockY(y, -1), 16);
      ClipBlockVector(future, clip_, BlockX(x, -1), BlockY(y, -1), 16);
      for (int32_t k = 0; k < n; ++k) {
        const Guess& g = guesses[k];
        if (g.source == source && g.past == past && g.future == future) return;
      }
      if (n < kMaxGuesses) guesses[n++] = Guess{source, past, future};
    };
    const MotionVector zero{0, 0};
    if (job_.codingType == 2) {
      AddBidirectionalGuesses(index, add);
    } else if (job_.codingType == 1) {
      // The motion the reference had here, unless it was intra there.
      const bool colocated = (f_.resilience.anchorStatus[index] & kMacroblockIntra) == 0;
      const MotionVector own = MvStoreEntry(f_, index)[0];
      // Far from anything decoded, that motion continues best (guesses
      // from rebuilt neighbours only drift), when there was motion:
      // encoders leave flat areas still, whatever moves across them.
      const bool far = colocated && !(own == zero) && MotionPersists() && !Intact(x - 1, y) &&
                       !Intact(x + 1, y) && !Intact(x, y - 1) && !Intact(x, y + 1);
      if (far) add(Source::kPast, own, zero);
      // The neighbours' vectors (each the block nearest to this
      // macroblock), their median, the reference's, the picture's mean,
      // none.
      const MotionVector* v = nullptr;
      MotionVector found[4];
      int32_t count = 0;
      if (NeighbourVectors(x - 1, y, v)) found[count++] = v[1];
      if (NeighbourVectors(x, y - 1, v)) found[count++] = v[2];
      if (NeighbourVectors(x + 1, y, v)) found[count++] = v[0];
      if (NeighbourVectors(x, y + 1, v)) found[count++] = v[0];
      if (count >= 3) add(Source::kPast, Median(found[0], found[1], found[2]), zero);
      for (int32_t k = 0; k < count; ++k) add(Source::kPast, found[k], zero);
      if (far) return KeepOrOverrule(guesses, n, x, y);
      if (colocated) add(Source::kPast, own, zero);
      add(Source::kPast, MeanMotion(), zero);
      add(Source::kPast, zero, zero);
    } else {
      // An intra picture has no vectors of its own: a copy, or the
      // motion the newest anchor had as a whole (a pan goes on).
      add(Source::kPast, zero, zero);
      const ResilienceState& r = f_.resilience;
      add(Source::kPast, MotionVector{r.anchorMotionX, r.anchorMotionY}, zero);
    }
    int64_t best = 0;
    const int32_t chosen = Cheapest(guesses, n, x, y, best);
    const Guess g = Refine(guesses[chosen], best, x, y);
    // An intra picture whose reference matches nothing around the
    // macroblock (a cut, a fast pan) is mended from its own samples.
    spatial_ = job_.codingType == 0 && EdgeMismatch(g, x, y) > kSpatialMismatch * 256;
    return g;
  }

  // The reference's motion (guesses[0]) far from anything decoded stays
  // unless it plainly fails to continue the rebuilt macroblocks around:
  // where its seams step by kFarMismatch levels on average and a
  // neighbour's vector steps less than a third of that.  Encoders give
  // flat areas any vector, and a pan's edges crossing them show it.
  static constexpr int64_t kFarMismatch = 6;
  Guess KeepOrOverrule(const Guess* guesses, int32_t n, int32_t x, int32_t y) const {
    const int64_t own = EdgeMismatch(guesses[0], x, y);
    if (own < kFarMismatch * 256) return guesses[0];
    int64_t best = 0;
    const int32_t chosen = Cheapest(guesses, n, x, y, best);
    if (chosen == 0 || 3 * best > own) return guesses[0];
    return Refine(guesses[chosen], best, x, y);
  }

  // The guess (the first of equals) that matches the samples around
  // macroblock (x, y) best, and its EdgeMismatch in best.
  int32_t Cheapest(const Guess* guesses, int32_t n, int32_t x, int32_t y, int64_t& best) const {
    best = INT64_MAX;
    int32_t chosen = 0;
    for (int32_t k = 0; k < n; ++k) {
      const int64_t cost = EdgeMismatch(guesses[k], x, y);
      if (cost < best) {
        best = cost;
        chosen = k;
      }
    }
    return chosen;
  }

  // The best guess moved by up to kSearch half samples each way where that
  // matches the surroundings better.
  static constexpr int32_t kSearch = 2;
  Guess Refine(Guess g, int64_t cost, int32_t x, int32_t y) const {
    if (cost == 0 || g.source == Source::kBoth) return g;
    const Guess start = g;
    for (int32_t dy = -kSearch; dy <= kSearch; ++dy) {
      for (int32_t dx = -kSearch; dx <= kSearch; ++dx) {
        if (dx == 0 && dy == 0) continue;
        Guess trial = start;
        MotionVector& v = trial.source == Source::kPast ? trial.past : trial.future;
        v.x = static_cast<int16_t>(v.x + dx);
        v.y = static_cast<int16_t>(v.y + dy);
        ClipBlockVector(v, clip_, BlockX(x, -1), BlockY(y, -1), 16);
        const int64_t c = EdgeMismatch(trial, x, y);
        if (c < cost) {
          cost = c;
          g = trial;
        }
      }
    }
    return g;
  }

  // The mean of the vectors of the picture's intact inter macroblocks
  // (worked out once): the motion of the scene as a whole.
  MotionVector MeanMotion() {
    if (!meanKnown_) {
      int64_t sx = 0, sy = 0, n = 0;
      const int32_t mbs = f_.mbWidth * f_.mbHeight;
      for (int32_t i = 0; i < mbs; ++i) {
        if ((status_[i] & (kMacroblockLost | kMacroblockIntra)) != 0) continue;
        const MotionVector v = MvStoreEntry(f_, i)[0];
        sx += v.x;
        sy += v.y;
        ++n;
      }
      if (n > 0) mean_ = MotionVector{static_cast<int16_t>(sx / n), static_cast<int16_t>(sy / n)};
      meanKnown_ = true;
    }
    return mean_;
  }

  // Whether enough of the picture is intact to trust the reference's
  // motion for the rest: a picture with hardly any inter macroblock
  // decoded (an intra picture's worth of motion gone) may have moved
  // anyhow, and a copy of the reference is then the safer guess (worked
  // out once).  A few are enough: where most of a picture is lost, the
  // guesses from rebuilt neighbours copy the still parts of the reference
  // into everything that moves (measured on pans that lose a picture from
  // its third row on).
  bool MotionPersists() {
    if (persistKnown_) return persists_;
    persistKnown_ = true;
    const int32_t mbs = f_.mbWidth * f_.mbHeight;
    int32_t intactInter = 0;
    for (int32_t i = 0; i < mbs && intactInter < kPersistEvidence; ++i)
      if ((status_[i] & (kMacroblockLost | kMacroblockIntra)) == 0) ++intactInter;
    persists_ = intactInter >= kPersistEvidence;
    return persists_;
  }

  // The later anchor's vector at this place scaled to each anchor, as a
  // direct macroblock without a delta would be; the nearer anchor first.
  template <typename Add>
  void AddBidirectionalGuesses(int32_t index, Add& add) {
    const MotionVector zero{0, 0};
    MotionVector colocated = zero;
    if (f_.mbStateMap[index] == 0) colocated = MvStoreEntry(f_, index)[0];
    MotionVector forward = zero, backward = zero;
    if (job_.trd > 0 && job_.trb > 0 && job_.trb < job_.trd) {
      forward = Scale(colocated, job_.trb, job_.trd);
      backward = Scale(colocated, job_.trb - job_.trd, job_.trd);
    }
    const bool pastNearer = 2 * job_.trb <= job_.trd;
    if (pastNearer) {
      add(Source::kPast, forward, zero);
      add(Source::kFuture, zero, backward);
    } else {
      add(Source::kFuture, zero, backward);
      add(Source::kPast, forward, zero);
    }
    add(Source::kBoth, forward, backward);
    add(pastNearer ? Source::kPast : Source::kFuture, zero, zero);
  }

  static MotionVector Scale(MotionVector v, int32_t num, int32_t den) {
    return MotionVector{static_cast<int16_t>(v.x * num / den), static_cast<int16_t>(v.y * num / den)};
  }

  static int16_t Median3(int16_t a, int16_t b, int16_t c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
  }
  static MotionVector Median(MotionVector a, MotionVector b, MotionVector c) {
    return MotionVector{Median3(a.x, b.x, c.x), Median3(a.y, b.y, c.y)};
  }

  // The luma prediction of a guess for macroblock (x, y), into out (16x16).
  void PredictLumaInto(const Guess& g, int32_t x, int32_t y, uint8_t* out, int32_t outStride) const {
    const ptrdiff_t offset = ptrdiff_t{16} * (y * cur_.strideY + x);
    switch (g.source) {
      case Source::kPast:
        primitives.PredictHalfSample16x16(past_.originY + offset, cur_.strideY, out, outStride,
                                          &g.past, job_.rounding);
        break;
      case Source::kFuture:
        primitives.PredictHalfSample16x16(future_.originY + offset, cur_.strideY, out, outStride,
                                          &g.future, job_.rounding);
        break;
      case Source::kBoth:
        motionRoutines.predictBidirectional16x16(past_.originY + offset, future_.originY + offset,
                                                 cur_.strideY, out, outStride, &g.past, &g.future,
                                                 job_.rounding);
        break;
    }
  }

  // A sample of ref at full-sample position (px, py) moved by v (half
  // samples), interpolated as the half-sample prediction does with
  // rounding control 0.
  int32_t Sample(const PictureBuffer& ref, int32_t px, int32_t py, MotionVector v) const {
    // Inside the padded reference, with a sample to spare for the
    // interpolation.
    const int32_t sx = std::clamp(px + (v.x >> 1), -16, 16 * f_.mbWidth + 14);
    const int32_t sy = std::clamp(py + (v.y >> 1), -16, 16 * f_.mbHeight + 14);
    const uint8_t* p = ref.originY + ptrdiff_t{sy} * ref.strideY + sx;
    const int32_t s = ref.strideY;
    switch (((v.y & 1) << 1) | (v.x & 1)) {
      case 0: return p[0];
      case 1: return (p[0] + p[1] + 1) >> 1;
      case 2: return (p[0] + p[s] + 1) >> 1;
      default: return (p[0] + p[1] + p[s] + p[s + 1] + 2) >> 2;
    }
  }

  int32_t Predicted(const Guess& g, int32_t px, int32_t py) const {
    switch (g.source) {
      case Source::kPast: return Sample(past_, px, py, g.past);
      case Source::kFuture: return Sample(future_, px, py, g.future);
      default: return (Sample(past_, px, py, g.past) + Sample(future_, px, py, g.future) + 1) >> 1;
    }
  }

  // How badly the guess matches the known samples around the macroblock:
  // the mean absolute difference, over a band of kRing samples along each
  // edge whose neighbour is known, between the picture and what the guess
  // would put there.  A guess that moves the right part of the reference
  // here moves its surroundings along with it.
  static constexpr int32_t kRing = 4;
  // The mean step (in sample values) beyond which a guess is no guess.
  static constexpr int64_t kSpatialMismatch = 15;
  int64_t EdgeMismatch(const Guess& g, int32_t x, int32_t y) const {
    const int32_t stride = cur_.strideY;
    const int32_t left = 16 * x;
    const int32_t top = 16 * y;
    int64_t sum = 0;
    int32_t samples = 0;
    auto band = [&](int32_t x0, int32_t y0, int32_t width, int32_t height) {
      for (int32_t py = y0; py < y0 + height; ++py) {
        const uint8_t* row = cur_.originY + ptrdiff_t{py} * stride;
        for (int32_t px = x0; px < x0 + width; ++px) sum += std::abs(row[px] - Predicted(g, px, py));
      }
      samples += width * height;
    };
    if (Known(x, y - 1)) band(left, top - kRing, 16, kRing);
    if (Known(x, y + 1)) band(left, top + 16, 16, kRing);
    if (Known(x - 1, y)) band(left - kRing, top, kRing, 16);
    if (Known(x + 1, y)) band(left + 16, top, kRing, 16);
    // Without a known neighbour every guess is as good as the first.
    return samples == 0 ? 0 : sum * 256 / samples;
  }

  void Predict(const Guess& g, const PictureBuffer& to, int32_t x, int32_t y) const {
    const ptrdiff_t offset = ptrdiff_t{16} * (y * to.strideY + x);
    PredictLumaInto(g, x, y, to.originY + offset, to.strideY);
    switch (g.source) {
      case Source::kPast:
        PredictChroma(past_, to, x, y, vectors::ChromaVectorOf(g.past), job_.rounding);
        break;
      case Source::kFuture:
        PredictChroma(future_, to, x, y, vectors::ChromaVectorOf(g.future), job_.rounding);
        break;
      case Source::kBoth:
        PredictChromaFromBoth(past_, future_, to, x, y, vectors::ChromaVectorOf(g.past),
                              vectors::ChromaVectorOf(g.future), job_.rounding);
        break;
    }
  }

  // No picture to take anything from (the stream's first picture was
  // damaged): the macroblock is made from the known rows above and below.
  void Fill(int32_t x, int32_t y) const {
    FillFromRows(cur_, f_.mbWidth, x, y, {Known(x, y - 1), Known(x, y + 1), false, false});
  }

  FrameStore& f_;
  uint8_t* status_;
  const ConcealmentJob job_;
  const ClipRect clip_;
  const PictureBuffer& cur_;
  const PictureBuffer& past_;
  const PictureBuffer& future_;
  static constexpr int32_t kPersistEvidence = 8;
  bool spatial_ = false;
  bool persistKnown_ = false;
  bool persists_ = false;
  bool meanKnown_ = false;
  MotionVector mean_{0, 0};
};

}  // namespace

void ConcealLostMacroblocks(DecoderContext& c, const ConcealmentJob& job) {
  if (c.store.resilience.lostCount == 0 || c.store.resilience.status == nullptr) return;
  Concealer(c, job).Run();
}

void RememberAnchorMotion(DecoderContext& c) {
  FrameStore& f = c.store;
  ResilienceState& r = f.resilience;
  r.anchorMotionX = r.anchorMotionY = 0;
  if (r.anchorStatus == nullptr || f.mvStore == nullptr) return;
  const int32_t mbs = f.mbWidth * f.mbHeight;
  int64_t sx = 0, sy = 0, n = 0;
  for (int32_t i = 0; i < mbs; ++i) {
    if ((r.anchorStatus[i] & kMacroblockIntra) != 0) continue;
    const MotionVector v = MvStoreEntry(f, i)[0];
    sx += v.x;
    sy += v.y;
    ++n;
  }
  if (n > 0) {
    r.anchorMotionX = static_cast<int16_t>(sx / n);
    r.anchorMotionY = static_cast<int16_t>(sy / n);
  }
}

void ConcealPicture(DecoderContext& c) {
  const PictureHeader& h = c.picture;
  const FrameStore& f = c.store;
  ConcealmentJob job{h.vopCodingType, 0, 0, 0};
  if (h.vopCodingType == 1) job.rounding = h.vopRoundingType;
  if (h.vopCodingType == 2) {
    job.trb = static_cast<int32_t>(std::clamp<int64_t>(h.vopTime - f.pastAnchorTime, 0, INT32_MAX));
    job.trd = static_cast<int32_t>(std::clamp<int64_t>(f.futureAnchorTime - f.pastAnchorTime, 0, INT32_MAX));
  }
  ConcealLostMacroblocks(c, job);
}

}  // namespace tavrin
