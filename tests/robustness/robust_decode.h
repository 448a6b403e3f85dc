// Decoding streams through the exported interface the way a careful host
// would check it: every call's result, the output record, the picture it
// describes (every visible sample is read) and the time the call took.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace robustness {

using Bytes = std::vector<uint8_t>;

struct Stream {
  std::string name;
  int32_t width = 0;
  int32_t height = 0;
  Bytes header;
  std::vector<Bytes> pictures;
};

// A committed stream named with its picture size, as the parameterised
// suites list them; test names in ctest show the stream.
struct StreamInfo {
  const char* name;
  int32_t width;
  int32_t height;
};
inline void PrintTo(const StreamInfo& info, std::ostream* os) { *os << info.name; }

// A committed stream (tests/data, or tests/robustness/data for names
// starting with "robustness/") split as a host splits it: a raw MPEG-4
// Visual stream into its header and pictures, a raw H.263 stream into its
// pictures, the first of them also the header.  Fails the current test
// when it cannot be read.
Stream LoadStream(const std::string& name, int32_t width, int32_t height);

struct Settings {
  int32_t videoQuality = 0;
  int32_t postFilter = 0;
  int32_t sourceType = 0;
  // The host's picture size; 0 takes the stream's.
  int32_t width = 0;
  int32_t height = 0;
};

// What one decode call gave the host.
struct CallResult {
  int32_t result = 0;
  // The picture described, tightly packed (Y, then Cb, then Cr); empty when
  // the call returned 0.
  Bytes picture;
  double milliseconds = 0;
};

struct Decoded {
  bool created = false;
  std::vector<CallResult> calls;
};

// Creates a decoder from `header`, decodes every picture, releases it.
// Checks, as test failures: the release returns 1, the output record's
// reserved bytes stay untouched, a call returning 1 describes a whole
// picture of the host's size (strides and pointers; every sample is read),
// and no call takes longer than kCallLimitMilliseconds.
Decoded DecodeAll(const Bytes& header, const std::vector<Bytes>& pictures, const Settings& settings,
                  int32_t streamWidth, int32_t streamHeight);
Decoded DecodeAll(const Stream& stream, const Settings& settings = {});

// A generous bound on one call: sanitizer builds on a loaded machine decode
// a CIF picture in tens of milliseconds; a call that runs away does not
// return at all.
inline constexpr double kCallLimitMilliseconds = 5000;

// The six combinations of video quality and post-filter.
std::vector<Settings> AllModes();

// The picture coding type (0 I, 1 P, 2 B, 3 S) from a picture's first
// header byte after its start code, or -1 for bytes too short to say.
// Short-header pictures (0 I, 1 P) are told by their start code.
int32_t CodingTypeOf(const Bytes& picture);

// Whether the bytes begin with a short-header (H.263) picture start code.
bool IsShortHeaderPicture(const Bytes& bytes);

}  // namespace robustness
