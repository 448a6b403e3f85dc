#include "bitstream/global_motion_syntax.h"

namespace tavrin {
namespace {

// One difference of the trajectory: dmv_length (a prefix code), then
// dmv_length bits whose leading 0 marks a negative value, then a marker
// bit.  The length codes: 00 for 0, 010 to 110 for 1 to 5, then 1110 for 6
// and one more leading 1 for each further length up to 111111111110 for 14.
bool ReadDifference(BitReader& r, int32_t& value) {
  const uint32_t peek = r.ShowBits(12);
  int32_t length;
  if ((peek >> 10) == 0) {
    length = 0;
    r.SkipBits(2);
  } else if ((peek >> 9) < 7) {
    length = static_cast<int32_t>(peek >> 9) - 1;  // 010..110 give 1..5
    r.SkipBits(3);
  } else {
    // 111 then further ones: the count of leading ones is length - 3.
    int32_t ones = 3;
    while (ones < 12 && ((peek >> (11 - ones)) & 1)) ++ones;
    if (ones == 12) return false;  // twelve ones: no such code
    length = ones + 3;
    r.SkipBits(ones + 1);
  }
  value = 0;
  if (length > 0) {
    const int32_t code = static_cast<int32_t>(r.GetBits(length));
    value = (code >> (length - 1)) ? code : code - (1 << length) + 1;
  }
  return r.GetBit() == 1;
}

}  // namespace

bool ReadGlobalMotionLayer(BitReader& r, GlobalMotionLayer& layer) {
  layer.warpingPoints = static_cast<int32_t>(r.GetBits(6));
  layer.warpingAccuracy = static_cast<int32_t>(r.GetBits(2));
  layer.brightnessChange = r.GetBit();
  return layer.warpingPoints <= kMaxWarpingPoints && layer.brightnessChange == 0;
}

bool ReadWarpingTrajectory(BitReader& r, int32_t points, WarpingTrajectory& t) {
  t.points = 0;
  for (int32_t i = 0; i < points && i < kMaxWarpingPoints; ++i) {
    t.du[i] = t.dv[i] = 0;
    if (!ReadDifference(r, t.du[i]) || !ReadDifference(r, t.dv[i])) return false;
    t.points = i + 1;
  }
  return true;
}

}  // namespace tavrin
