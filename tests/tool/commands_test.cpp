// The tool's commands as a person meets them: messages, exit statuses and
// what lands on standard output and standard error.
#include "commands.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "support/reference_decode.h"
#include "support/test_paths.h"

namespace {

using tavrin::tool::Console;

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

Result Tool(const std::vector<std::string>& args, bool outIsTerminal = false, bool errIsTerminal = false) {
  Console console;
  console.out = std::tmpfile();
  console.err = std::tmpfile();
  console.in = std::tmpfile();
  console.outIsTerminal = outIsTerminal;
  console.errIsTerminal = errIsTerminal;
  Result r;
  r.status = tavrin::tool::RunTool(args, console);
  r.out = Drain(console.out);
  r.err = Drain(console.err);
  std::fclose(console.in);
  return r;
}

std::string Data(const std::string& name) { return testsupport::DataPath(name); }
// Scratch files carry the process id: test processes run side by side.
std::string Scratch(const std::string& name) {
  return ::testing::TempDir() + "/tavrin_tool_" + std::to_string(getpid()) + "_" + name;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Commands, RefusedStreamsNameTheCodingToolInWords) {
  const struct {
    const char* stream;
    const char* words;
  } cases[] = {
      {"mpeg4_obmc_header.m4v", "overlapped block motion compensation"},
      {"h263_plus_qcif.263", "H.263 version 2"},
      {"h263_obmc_qcif.263", "advanced prediction"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stream);
    const std::string output = Scratch("refused.y4m");
    std::remove(output.c_str());
    for (const char* command : {"decode", "snapshot", "bench"}) {
      std::vector<std::string> args = {command, Data(c.stream)};
      if (std::string(command) != "bench") args.insert(args.end(), {"-o", output});
      const Result r = Tool(args);
      EXPECT_EQ(r.status, 1) << command;
      EXPECT_TRUE(Contains(r.err, std::string("tavrin ") + command + ": ")) << r.err;
      EXPECT_TRUE(Contains(r.err, c.words)) << r.err;
      EXPECT_TRUE(Contains(r.err, c.stream)) << r.err;
      EXPECT_TRUE(Contains(r.err, "does not support")) << r.err;
    }
    std::FILE* f = std::fopen(output.c_str(), "rb");
    EXPECT_EQ(f, nullptr) << "a refused stream left an output file";
    if (f) std::fclose(f);
    const Result info = Tool({"info", Data(c.stream)});
    EXPECT_EQ(info.status, 0);
    EXPECT_TRUE(Contains(info.out, "refuses it")) << info.out;
    EXPECT_TRUE(Contains(info.out, c.words)) << info.out;
  }
}

TEST(Commands, MissingAndUnreadableFilesAreNamed) {
  const std::string missing = Scratch("no_such_file.avi");
  for (const char* command : {"decode", "info", "snapshot", "bench"}) {
    std::vector<std::string> args = {command, missing};
    if (std::string(command) == "snapshot") args.insert(args.end(), {"-o", Scratch("x.png")});
    const Result r = Tool(args);
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_TRUE(Contains(r.err, "'" + missing + "'")) << r.err;
    EXPECT_TRUE(Contains(r.err, "No such file")) << r.err;
  }
  const std::string empty = Scratch("empty.m4v");
  std::fclose(std::fopen(empty.c_str(), "wb"));
  EXPECT_TRUE(Contains(Tool({"decode", empty}).err, "is empty"));
  EXPECT_TRUE(Contains(Tool({"info", ::testing::TempDir()}).err, "is a directory"));
  const std::string text = Scratch("words.txt");
  std::FILE* f = std::fopen(text.c_str(), "wb");
  std::fputs("hello, this is not a video\n", f);
  std::fclose(f);
  const Result r = Tool({"decode", text, "-o", Scratch("words.y4m")});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Contains(r.err, "not a format the tool reads")) << r.err;
  std::remove(empty.c_str());
  std::remove(text.c_str());
}

TEST(Commands, DecodeToStandardOutputIsY4m) {
  const Result r = Tool({"decode", Data("xvid_packed.avi"), "-o", "-"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("YUV4MPEG2 W176 H144 F25:1", 0), 0u);
  const std::size_t picture = 6 + 176 * 144 * 3 / 2;
  EXPECT_EQ(r.out.size(), r.out.find('\n') + 1 + 18 * picture);
  EXPECT_EQ(r.err, "");  // not a terminal: no progress line
  // Raw 4:2:0 on request.
  const Result raw = Tool({"decode", Data("mpeg4_ipb.mp4"), "-", "--format", "yuv"});
  ASSERT_EQ(raw.status, 0) << raw.err;
  EXPECT_EQ(raw.out.size(), 20u * 176 * 144 * 3 / 2);
}

// Interlaced streams: the y4m header names the field order of the stream's
// pictures, and info the interlaced coding it uses.
TEST(Commands, InterlacedStreamsShowTheirFieldOrder) {
  const struct {
    const char* stream;
    const char* tag;
    const char* order;
  } cases[] = {{"interlaced_mpeg4_ipb_tff.m4v", " It ", "interlaced video (top field first)"},
               {"interlaced_xvid_ipb_bff_alt.m4v", " Ib ", "interlaced video (bottom field first)"},
               {"mpeg4_interlaced.m4v", " Ib ", "interlaced video (bottom field first)"},
               {"mpeg4_ipb.m4v", " Ip ", nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stream);
    const std::string output = Scratch("fields.y4m");
    const Result r = Tool({"decode", Data(c.stream), "-o", output});
    ASSERT_EQ(r.status, 0) << r.err;
    std::FILE* f = std::fopen(output.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char line[128] = {};
    ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
    std::fclose(f);
    std::remove(output.c_str());
    EXPECT_TRUE(Contains(line, c.tag)) << line;
    const Result info = Tool({"info", Data(c.stream)});
    EXPECT_TRUE(Contains(info.out, "supports the stream")) << info.out;
    if (c.order != nullptr) {
      EXPECT_TRUE(Contains(info.out, c.order)) << info.out;
    } else {
      EXPECT_FALSE(Contains(info.out, "interlaced video")) << info.out;
    }
  }
  const Result ffmpeg = Tool({"info", Data("interlaced_mpeg4_ipb_tff.m4v")});
  EXPECT_TRUE(Contains(ffmpeg.out, "field DCT (67 macroblocks in 4 P pictures walked)")) << ffmpeg.out;
  EXPECT_TRUE(Contains(ffmpeg.out, "field prediction (59 macroblocks in 4 P pictures walked)")) << ffmpeg.out;
  const Result xvid = Tool({"info", Data("interlaced_xvid_ipb_bff_alt.m4v")});
  EXPECT_TRUE(Contains(xvid.out, "field DCT (29 macroblocks in 4 P pictures walked)")) << xvid.out;
  EXPECT_FALSE(Contains(xvid.out, "field prediction")) << xvid.out;
  EXPECT_TRUE(Contains(xvid.out, "alternate vertical scan (12 pictures)")) << xvid.out;
}

// Interlaced streams with quarter samples or global motion are supported,
// and info names both tools.
TEST(Commands, InterlacedStreamsWithQuarterSamplesOrGlobalMotion) {
  const struct {
    const char* stream;
    const char* order;
    const char* tool;
  } cases[] = {
      {"interlaced_qpel_mpeg4_ipb_tff.m4v", "interlaced video (top field first)", "quarter-sample motion"},
      {"interlaced_gmc_xvid_ipb_tff.m4v", "interlaced video (top field first)",
       "global motion compensation (3 warping points at 1/16 sample)"},
      {"interlaced_qpel_gmc_xvid_ipb_bff.m4v", "interlaced video (bottom field first)", "quarter-sample motion"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stream);
    const Result info = Tool({"info", Data(c.stream)});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_TRUE(Contains(info.out, "supports the stream")) << info.out;
    EXPECT_TRUE(Contains(info.out, c.order)) << info.out;
    EXPECT_TRUE(Contains(info.out, c.tool)) << info.out;
  }
}

TEST(Commands, WriteFailuresAreReported) {
  const Result decode = Tool({"decode", Data("mpeg4_ipb.m4v"), "-o", "/dev/full"});
  EXPECT_EQ(decode.status, 1);
  EXPECT_TRUE(Contains(decode.err, "writing '/dev/full' failed")) << decode.err;
  const Result snapshot = Tool({"snapshot", Data("mpeg4_ipb.m4v"), "-o", "/dev/full"});
  EXPECT_EQ(snapshot.status, 1);
  EXPECT_TRUE(Contains(snapshot.err, "PNG")) << snapshot.err;
  // The device named as output is still there.
  std::FILE* device = std::fopen("/dev/full", "wb");
  EXPECT_NE(device, nullptr);
  if (device) std::fclose(device);
  const Result directory = Tool({"decode", Data("mpeg4_ipb.m4v"), "-o", Scratch("no_dir/x.y4m")});
  EXPECT_EQ(directory.status, 1);
  EXPECT_TRUE(Contains(directory.err, "cannot create")) << directory.err;
}

TEST(Commands, DecodeRefusesToWriteToATerminal) {
  const Result r = Tool({"decode", Data("mpeg4_ipb.m4v"), "-o", "-"}, /*outIsTerminal=*/true);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Contains(r.err, "terminal")) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST(Commands, ProgressOnlyOnATerminal) {
  const std::string output = Scratch("progress.y4m");
  const Result quiet = Tool({"decode", Data("mpeg4_ipb_long.m4v"), "-o", output});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
  const Result shown = Tool({"decode", Data("mpeg4_ipb_long.m4v"), "-o", output}, false, /*errIsTerminal=*/true);
  EXPECT_EQ(shown.status, 0);
  EXPECT_TRUE(Contains(shown.err, "100 of 100 pictures")) << shown.err;
  EXPECT_TRUE(Contains(shown.err, "pictures per second")) << shown.err;
  const Result asked = Tool({"decode", Data("mpeg4_ipb_long.m4v"), "-o", output, "--quiet"}, false, true);
  EXPECT_EQ(asked.err, "");
  std::remove(output.c_str());
}

TEST(Commands, DecodeWithoutOutputSaysSo) {
  const Result r = Tool({"decode", Data("mpeg4_mv4.mov")});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Contains(r.out, "decoded 15 pictures of 176x144")) << r.out;
  EXPECT_TRUE(Contains(r.out, "nothing written")) << r.out;
}

// Global motion: the tool names it with its warping points, takes the
// stream, lists each S picture's points and decodes every picture.
TEST(Commands, InfoAndDecodeOfGlobalMotion) {
  const Result info = Tool({"info", Data("xvid_gmc.m4v"), "--pictures"});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_TRUE(Contains(info.out, "global motion compensation (3 warping points at 1/16 sample)")) << info.out;
  EXPECT_TRUE(Contains(info.out, "1 S; 5 to show")) << info.out;
  EXPECT_TRUE(Contains(info.out, "supports the stream")) << info.out;
  EXPECT_TRUE(Contains(info.out, "  warp 29,-8 -1,-1 0,1")) << info.out;
  const std::string output = Scratch("gmc.yuv");
  const Result decode = Tool({"decode", Data("gmc_zoom_ipb.m4v"), "-o", output});
  ASSERT_EQ(decode.status, 0) << decode.err;
  std::FILE* f = std::fopen(output.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::fseek(f, 0, SEEK_END);
  EXPECT_EQ(std::ftell(f), 15L * 176 * 144 * 3 / 2);  // every picture, S pictures among them
  std::fclose(f);
}

TEST(Commands, InfoDescribesTheStream) {
  const Result avi = Tool({"info", Data("xvid_packed.avi")});
  ASSERT_EQ(avi.status, 0) << avi.err;
  EXPECT_TRUE(Contains(avi.out, "picture size      176x144")) << avi.out;
  EXPECT_TRUE(Contains(avi.out, "AVI")) << avi.out;
  EXPECT_TRUE(Contains(avi.out, "B pictures (packed")) << avi.out;
  EXPECT_TRUE(Contains(avi.out, "time resolution   25 ticks per second")) << avi.out;
  EXPECT_TRUE(Contains(avi.out, "frame rate        25 pictures per second")) << avi.out;
  EXPECT_TRUE(Contains(avi.out, "18: 2 I, 5 P, 11 B")) << avi.out;
  EXPECT_TRUE(Contains(avi.out, "supports the stream")) << avi.out;

  const Result mp4 = Tool({"info", Data("mpeg4_ipb.mp4")});
  EXPECT_TRUE(Contains(mp4.out, "MP4")) << mp4.out;
  EXPECT_TRUE(Contains(mp4.out, "resynchronisation markers (")) << mp4.out;

  const Result mov = Tool({"info", Data("mpeg4_mv4.mov")});
  EXPECT_TRUE(Contains(mov.out, "QuickTime MOV")) << mov.out;
  EXPECT_TRUE(Contains(mov.out, "four vectors (226 macroblocks in 13 P pictures walked)")) << mov.out;
  EXPECT_FALSE(Contains(avi.out, "four vectors")) << avi.out;
  EXPECT_TRUE(Contains(Tool({"info", Data("xvid_ip_aq.m4v")}).out, "quantiser changes inside pictures"));
  for (const char* qpel : {"mpeg4_qpel.m4v", "xvid_qpel.m4v"}) {
    const Result r = Tool({"info", Data(qpel)});
    EXPECT_TRUE(Contains(r.out, "quarter-sample motion")) << r.out;
    EXPECT_TRUE(Contains(r.out, "supports the stream")) << r.out;
  }

  // Short header: source format, groups of blocks, the census of H.263 P pictures.
  const Result h263 = Tool({"info", Data("h263_cif_ip_gob.263")});
  for (const char* words : {"raw H.263 stream", "352x288, source format CIF", "short video header",
                            "30000 ticks per second", "group-of-blocks headers (38 in 8 pictures)", "supports the stream"})
    EXPECT_TRUE(Contains(h263.out, words)) << h263.out;
  EXPECT_TRUE(Contains(Tool({"info", Data("h263_qcif_ip_aq.263")}).out, "quantiser changes inside pictures"));
  EXPECT_TRUE(Contains(Tool({"info", Data("h263_qcif_ip.3gp")}).out, "codec 's263'"));

  const Result matrices = Tool({"info", Data("xvid_custom_matrix.m4v")});
  EXPECT_TRUE(Contains(matrices.out, "matrix (MPEG) method; intra matrix transmitted")) << matrices.out;
  // The first row of the transmitted intra matrix (make_streams.sh).
  EXPECT_TRUE(Contains(matrices.out, "   8  12  14  16  18  20  22  24")) << matrices.out;

  const Result ntsc = Tool({"info", Data("mpeg4_tb30000.m4v"), "--pictures"});
  EXPECT_TRUE(Contains(ntsc.out, "30000/1001 (29.970)")) << ntsc.out;
  EXPECT_TRUE(Contains(ntsc.out, "number type")) << ntsc.out;
}

// Matroska through every command: info with the container's times, the
// pictures decoded, drawn and timed, and a damaged file refused by name.
TEST(Commands, MatroskaFiles) {
  const Result info = Tool({"info", Data("xvid_packed_vfw.mkv"), "--pictures"});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_TRUE(Contains(info.out, "Matroska (DocType 'matroska' version 4")) << info.out;
  EXPECT_TRUE(Contains(info.out, "codec 'V_MS/VFW/FOURCC (xvid)'; 18 units, 5 placeholders")) << info.out;
  EXPECT_TRUE(Contains(info.out, "container times   0.000 to 0.760 s")) << info.out;
  EXPECT_TRUE(Contains(info.out, "container ms")) << info.out;
  // The last picture in decode order is a B picture shown at 720 ms.
  EXPECT_TRUE(Contains(info.out, "720.000\n")) << info.out;

  const Result decoded = Tool({"decode", Data("mpeg4_ipb.mkv")});
  EXPECT_EQ(decoded.status, 0) << decoded.err;
  EXPECT_TRUE(Contains(decoded.out, "decoded 20 pictures of 176x144")) << decoded.out;
  const std::string sheet = Scratch("mkv.png");
  EXPECT_EQ(Tool({"snapshot", Data("xvid_unpacked.mkv"), "-o", sheet, "--frames", "4"}).status, 0);
  std::remove(sheet.c_str());
  const Result bench = Tool({"bench", Data("xvid_ipb.mkv"), "--runs", "1"});
  EXPECT_EQ(bench.status, 0) << bench.err;
  EXPECT_TRUE(Contains(bench.out, "frames=19 ")) << bench.out;  // placeholders not counted

  // Cut inside the EBML header: still Matroska, and refused as such.
  const std::string cut = Scratch("cut.mkv");
  std::FILE* f = std::fopen(cut.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const unsigned char start[] = {0x1A, 0x45, 0xDF, 0xA3, 0x9F, 0x42, 0x86, 0x81, 0x01, 0, 0, 1, 0xB6};
  std::fwrite(start, 1, sizeof start, f);
  std::fclose(f);
  const Result refused = Tool({"decode", cut});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.err, "the Matroska file's EBML header is damaged or cut short")) << refused.err;
  std::remove(cut.c_str());
}

TEST(Commands, BenchEndsWithTheTotals) {
  const Result r = Tool({"bench", Data("xvid_packed.avi"), "--runs", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::size_t last = r.out.rfind('\n', r.out.size() - 2);
  const std::string line = r.out.substr(last + 1);
  long frames = 0;
  double cpu = 0, wall = 0;
  char end = 0;
  ASSERT_EQ(std::sscanf(line.c_str(), "frames=%ld cpu_seconds=%lf wall_seconds=%lf%c", &frames, &cpu, &wall, &end), 4)
      << line;
  EXPECT_EQ(end, '\n');
  // The line ends right after the wall time's six decimals.
  EXPECT_EQ(line.size() - line.rfind('.'), 8u) << line;
  EXPECT_EQ(frames, 36);
  EXPECT_GT(cpu, 0.0);
  // The decoder pauses one millisecond per picture it returns: wall time,
  // not CPU time.
  EXPECT_GE(wall, 0.036);
  EXPECT_LT(cpu, wall);
  EXPECT_EQ(Tool({"bench", Data("xvid_packed.avi"), "--runs", "0"}).status, 2);
}

TEST(Commands, SnapshotWritesALabelledPng) {
  const std::string output = Scratch("sheet.png");
  std::remove(output.c_str());
  const Result r = Tool({"snapshot", Data("mpeg4_ipb.mp4"), "-o", output, "--frames", "4"});
  ASSERT_EQ(r.status, 0) << r.err;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  ASSERT_NE(png_image_begin_read_from_file(&image, output.c_str()), 0) << image.message;
  // Four pictures of 176x144 in two rows of two, 8-pixel margins, labels
  // of 7 + 6 pixels under each.
  EXPECT_EQ(image.width, 8u + 2 * (176 + 8));
  EXPECT_EQ(image.height, 8u + 2 * (144 + 13 + 8));
  png_image_free(&image);
  std::remove(output.c_str());
  EXPECT_TRUE(Contains(r.out, "4 pictures")) << r.out;
  EXPECT_EQ(Tool({"snapshot", Data("mpeg4_ipb.mp4")}).status, 2);  // no -o
}

TEST(Commands, HelpForTheToolAndEveryCommand) {
  const Result top = Tool({"--help"});
  EXPECT_EQ(top.status, 0);
  EXPECT_TRUE(Contains(top.out, "examples:"));
  for (const char* command : {"decode", "info", "snapshot", "bench"}) {
    const Result r = Tool({command, "--help"});
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_EQ(r.out.rfind(std::string("usage: tavrin ") + command, 0), 0u) << r.out;
    EXPECT_TRUE(Contains(r.out, "examples:")) << command;
    EXPECT_EQ(Tool({"help", command}).out, r.out);
  }
  const Result none = Tool({});
  EXPECT_EQ(none.status, 2);
  EXPECT_TRUE(Contains(none.err, "usage: tavrin"));
  const Result unknown = Tool({"play", "x.avi"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(Contains(unknown.err, "unknown command 'play'"));
  EXPECT_EQ(Tool({"decode", Data("mpeg4_ipb.m4v"), "--video-quality", "7"}).status, 2);
  EXPECT_EQ(Tool({"decode"}).status, 2);
}

}  // namespace
