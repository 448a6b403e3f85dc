#include "picture/first_picture_damage.h"

#include <algorithm>

#include "picture/concealment_samples.h"

namespace tavrin {

bool DecodedRunsOn(const PictureBuffer& p, int32_t mbWidth, int32_t from, int32_t to) {
  int64_t after = 0, before = 0;
  int32_t counted = 0, countedBefore = 0;
  for (int32_t k = std::max(0, from - 2 * mbWidth); k < std::min(to, from + 2 * mbWidth); ++k) {
    const int64_t step = BlockEdgeStep(p, k % mbWidth, k / mbWidth, true);
    if (k >= from) {
      after += step;
      ++counted;
    } else {
      before += step;
      ++countedBefore;
    }
  }
  if (counted == 0 || countedBefore == 0) return true;
  return after / counted <= 2 * (before / countedBefore) + 2 * 256;
}

int32_t RubbishStart(const PictureBuffer& p, int32_t mbWidth, int32_t first, int32_t from) {
  auto rubbish = [&](int32_t k) {
    if (k < mbWidth) return false;
    const int32_t x = k % mbWidth;
    const int32_t y = k / mbWidth;
    return BlockEdgeStep(p, x, y, false) > 2 * BlockEdgeStep(p, x, y - 1, false) + 3 * 256;
  };
  int32_t start = from;
  int32_t misses = 0;
  for (int32_t k = from - 1; k >= first && misses < 2; --k) {
    if (rubbish(k)) {
      start = k;
      misses = 0;
    } else {
      ++misses;
    }
  }
  return start;
}

}  // namespace tavrin
