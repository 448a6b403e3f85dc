// `tavrin check` and the damage line of `tavrin info`: every committed
// stream reads as intact, damaged copies name their damaged pictures (and
// only those), with the macroblocks the decoder conceals.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "commands.h"
#include "support/test_paths.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Result {
  int status = -1;
  std::string out, err;
};

std::string Drain(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  std::fclose(f);
  return text;
}

Result Tool(const std::vector<std::string>& args) {
  tavrin::tool::Console console;
  console.out = std::tmpfile();
  console.err = std::tmpfile();
  console.in = std::tmpfile();
  Result r;
  r.status = tavrin::tool::RunTool(args, console);
  r.out = Drain(console.out);
  r.err = Drain(console.err);
  std::fclose(console.in);
  return r;
}

std::string Scratch(const std::string& name) {
  return ::testing::TempDir() + "/tavrin_check_" + std::to_string(getpid()) + "_" + name;
}

Bytes Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Write(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Byte offsets of the picture start codes (of H.263 pictures, which the
// encoder aligns to bytes, in short-header streams).
std::vector<size_t> PictureStarts(const Bytes& s, bool shortHeader = false) {
  std::vector<size_t> starts;
  for (size_t i = 0; i + 3 < s.size(); ++i) {
    if (s[i] != 0 || s[i + 1] != 0) continue;
    if (shortHeader ? (s[i + 2] & 0xFC) == 0x80 : s[i + 2] == 1 && s[i + 3] == 0xB6) starts.push_back(i);
  }
  return starts;
}

// The pictures `check` lists as damaged.
std::vector<int> Listed(const std::string& out) {
  std::vector<int> pictures;
  size_t at = 0;
  while ((at = out.find("picture ", at)) != std::string::npos) {
    if (at == 0 || out[at - 1] == '\n') pictures.push_back(std::stoi(out.substr(at + 8)));
    at += 8;
  }
  return pictures;
}

TEST(Check, EveryCommittedStreamIsIntact) {
  const std::filesystem::path data = std::filesystem::path(testsupport::DataPath("sample.m4v")).parent_path();
  int checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(data)) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".m4v" && ext != ".avi" && ext != ".mp4" && ext != ".mov" && ext != ".263" && ext != ".mkv") continue;
    const Result r = Tool({"check", entry.path().string()});
    if (r.status == 1 && r.out.empty()) continue;  // refused or no headers: said on stderr
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find(", 0 damaged, 0 macroblocks concealed"), std::string::npos) << r.out;
    ++checked;
  }
  EXPECT_GE(checked, 100);
}

struct DamageCase {
  const char* stream;
  int picture;     // stream order
  size_t keep;     // bytes of it kept (0: overwrite bytes in its middle instead)
};
void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.stream << " picture " << c.picture; }

class DamagedCopy : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedCopy, NamesTheDamagedPictureOnly) {
  const DamageCase c = GetParam();
  Bytes s = Read(testsupport::DataPath(c.stream));
  const auto starts = PictureStarts(s, std::string(c.stream).rfind("h263", 0) == 0);
  ASSERT_GT(starts.size(), static_cast<size_t>(c.picture + 1));
  const size_t begin = starts[static_cast<size_t>(c.picture)];
  const size_t end = starts[static_cast<size_t>(c.picture) + 1];
  if (c.keep > 0) {
    s.erase(s.begin() + static_cast<std::ptrdiff_t>(begin + c.keep), s.begin() + static_cast<std::ptrdiff_t>(end));
  } else {
    // Runs of fifteen zero bits: no code of any part of a picture has so
    // many, and no marker or start code is made of them.
    const size_t middle = (begin + end) / 2;
    for (size_t i = 0; i < 4; ++i) s[middle + i] = i % 2 ? 0x01 : 0x00;
  }
  const std::string path = Scratch(std::string("damaged_") + c.stream);
  Write(path, s);
  const Result r = Tool({"check", path});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  const std::vector<int> listed = Listed(r.out);
  ASSERT_FALSE(listed.empty()) << r.out;
  // The damaged picture, and no anchor before it.
  EXPECT_EQ(listed.front(), c.picture) << r.out;
  EXPECT_NE(r.out.find(" macroblocks concealed"), std::string::npos);
  EXPECT_NE(r.out.find(std::to_string(listed.size()) + " damaged"), std::string::npos) << r.out;
  const Result info = Tool({"info", path});
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.out.find("damage            " + std::to_string(listed.size()) + " of "), std::string::npos) << info.out;
  std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Streams, DamagedCopy,
    ::testing::Values(DamageCase{"mpeg4_ip_mv4.m4v", 5, 500}, DamageCase{"xvid_ipb.m4v", 4, 0},
                      DamageCase{"mpeg4_intra_q20.m4v", 2, 900},
                      DamageCase{"mpeg4_zoom_180x100_ip_packets.m4v", 7, 0},
                      DamageCase{"partitioned_ip_pan.m4v", 3, 0}, DamageCase{"partitioned_rvlc_ip_pan.m4v", 4, 0},
                      DamageCase{"partitioned_ipb_aq.m4v", 9, 600},
                      // Field DCT and field vectors, S pictures, groups of blocks.
                      DamageCase{"interlaced_xvid_ipb_tff.m4v", 4, 0},
                      DamageCase{"interlaced_qpel_gmc_xvid_ipb_bff.m4v", 5, 700},
                      DamageCase{"interlaced_gmc_xvid_ipb_tff.m4v", 3, 0}, DamageCase{"h263_cif_ip_gob.263", 3, 0},
                      DamageCase{"h263_qcif_ip_gob.avi", 3, 0}));

TEST(Check, AnUnreadablePictureHeaderIsNamed) {
  Bytes s = Read(testsupport::DataPath("mpeg4_default.m4v"));
  const auto starts = PictureStarts(s);
  ASSERT_GT(starts.size(), 3u);
  // Everything after the start code zero: no marker bit where one must be.
  std::fill(s.begin() + static_cast<std::ptrdiff_t>(starts[3] + 4), s.begin() + static_cast<std::ptrdiff_t>(starts[3] + 12), 0);
  const std::string path = Scratch("header.m4v");
  Write(path, s);
  const Result r = Tool({"check", path});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("picture 3: header unreadable"), std::string::npos) << r.out;
  std::remove(path.c_str());
}

// The decode of such a file keeps every picture in its place: the one
// with the damaged header shows the picture before again.
TEST(Check, ADecodeKeepsThePlaceOfAnUnreadablePicture) {
  Bytes s = Read(testsupport::DataPath("mpeg4_ipb.m4v"));
  const auto starts = PictureStarts(s);
  ASSERT_GT(starts.size(), 8u);
  for (size_t k : {size_t{3}, size_t{7}}) s[starts[k] + 5] = 0;  // a time marker bit
  const std::string path = Scratch("header_ipb.m4v");
  Write(path, s);
  auto frames = [](const std::string& stream) {
    const std::string out = Scratch("frames.y4m");
    EXPECT_EQ(Tool({"decode", stream, "-o", out}).status, 0);
    const Bytes y4m = Read(out);
    std::remove(out.c_str());
    int count = 0;
    for (size_t i = 0; i + 5 < y4m.size(); ++i) count += std::equal(y4m.begin() + static_cast<std::ptrdiff_t>(i), y4m.begin() + static_cast<std::ptrdiff_t>(i) + 6, "FRAME\n");
    return count;
  };
  EXPECT_EQ(frames(path), frames(testsupport::DataPath("mpeg4_ipb.m4v")));
  std::remove(path.c_str());
}

TEST(Check, UsageAndHelp) {
  EXPECT_EQ(Tool({"check"}).status, 2);
  EXPECT_EQ(Tool({"check", "a.m4v", "b.m4v"}).status, 2);
  const Result help = Tool({"check", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Exit status"), std::string::npos);
  const Result info = Tool({"info", testsupport::DataPath("mpeg4_ipb.m4v")});
  EXPECT_NE(info.out.find("damage            none found"), std::string::npos) << info.out;
}

}  // namespace
