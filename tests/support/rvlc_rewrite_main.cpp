// tavrin_rvlc_rewrite: writes a data-partitioned raw stream again with its
// residuals in the reversible codes (tests/support/rvlc_rewriter.h).
//
//   tavrin_rvlc_rewrite INPUT.m4v OUTPUT.m4v
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "support/rvlc_rewriter.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tavrin_rvlc_rewrite INPUT OUTPUT\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<uint8_t> stream((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const testsupport::ReversibleStream out = testsupport::RewriteWithReversibleCodes(stream);
  if (!out.error.empty()) {
    std::fprintf(stderr, "tavrin_rvlc_rewrite: %s: %s\n", argv[1], out.error.c_str());
    return 1;
  }
  std::ofstream file(argv[2], std::ios::binary);
  file.write(reinterpret_cast<const char*>(out.bytes.data()), static_cast<std::streamsize>(out.bytes.size()));
  std::printf("%zu bytes, %zu residual partitions\n", out.bytes.size(), out.residuals.size());
  return file ? 0 : 1;
}
