// tavrin_damage: makes a damaged copy of a raw MPEG-4 Visual or H.263 stream
// (or of a container holding one), the way
// a lossy link or a failing medium damages one: every tenth picture (from a
// picture chosen by the seed) gets a short burst of random bytes somewhere
// after its header.  The header bytes before the first picture and the
// first bytes of every picture (start code and picture header) are left
// alone, so that both decoders see the same pictures; only macroblock data
// is hit.
//
//   tavrin_damage INPUT.m4v OUTPUT.m4v SEED [EVERY [BURST]]
//
// EVERY defaults to 10 and BURST (bytes) to 4.  Prints the number of
// pictures and the numbers of the damaged ones (in stream order).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace {

// Bytes of a picture kept clean: start code and the picture header, which
// is shorter than this in every stream of a rectangular layer.
constexpr size_t kProtectedBytes = 8;

bool IsPictureStart(const std::vector<unsigned char>& s, size_t i) {
  return i + 3 < s.size() && s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1 && s[i + 3] == 0xB6;
}

// A short-header picture start code on a byte boundary, as H.263 encoders
// write them: 22 bits, 0000 0000 0000 0000 1000 00.  Looked for only in
// streams without MPEG-4 pictures, whose data may hold these bytes.
bool IsShortHeaderStart(const std::vector<unsigned char>& s, size_t i) {
  return i + 2 < s.size() && s[i] == 0 && s[i + 1] == 0 && (s[i + 2] & 0xFC) == 0x80;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: tavrin_damage INPUT OUTPUT SEED [EVERY [BURST]]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<unsigned char> s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (s.empty()) {
    std::fprintf(stderr, "tavrin_damage: cannot read %s\n", argv[1]);
    return 1;
  }
  const unsigned seed = static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10));
  const size_t every = argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 10;
  const size_t burst = argc > 5 ? std::strtoul(argv[5], nullptr, 10) : 4;
  std::vector<size_t> starts;
  for (size_t i = 0; i + 3 < s.size(); ++i)
    if (IsPictureStart(s, i)) starts.push_back(i);
  if (starts.empty()) {
    for (size_t i = 0; i + 2 < s.size(); ++i)
      if (IsShortHeaderStart(s, i)) starts.push_back(i);
  }
  std::mt19937 random(seed);
  const size_t first = every > 0 ? random() % every : 0;
  std::printf("pictures %zu damaged", starts.size());
  for (size_t k = first; every > 0 && k < starts.size(); k += every) {
    const size_t begin = starts[k] + kProtectedBytes;
    const size_t end = k + 1 < starts.size() ? starts[k + 1] : s.size();
    if (end <= begin + burst) continue;
    const size_t at = begin + random() % (end - begin - burst);
    for (size_t i = 0; i < burst; ++i) s[at + i] = static_cast<unsigned char>(random());
    std::printf(" %zu", k);
  }
  std::printf("\n");
  std::ofstream out(argv[2], std::ios::binary);
  out.write(reinterpret_cast<const char*>(s.data()), static_cast<std::streamsize>(s.size()));
  return out ? 0 : 1;
}
