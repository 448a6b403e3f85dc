// tavrin_xvid_decode: a second reference decoder for the tests.  It decodes
// a raw MPEG-4 Visual elementary stream with Xvid's decoder (libxvidcore,
// used as a black box through its public interface) and writes the pictures
// Xvid returns, in its display order, as raw planar yuv420p: the layout of
// ffmpeg's `-f rawvideo -pix_fmt yuv420p`.
//
//   tavrin_xvid_decode INPUT.m4v OUTPUT.yuv
//
// On success it prints "WIDTHxHEIGHT PICTURES" and exits with 0; when it
// cannot, or finds no picture, it says why on standard error and exits
// with 1.
#include <xvid.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

// Slack after the stream: the decoder's bit reader fetches whole words and
// may look a few bytes past the end.
constexpr size_t kTailSlack = 64;

class Decoder {
 public:
  ~Decoder() {
    if (handle_ != nullptr) xvid_decore(handle_, XVID_DEC_DESTROY, nullptr, nullptr);
  }

  bool Create() {
    xvid_gbl_init_t init{};
    init.version = XVID_VERSION;
    // Plain C routines on every machine, so the reference does not depend
    // on the processor it was made on.
    init.cpu_flags = XVID_CPU_FORCE;
    xvid_global(nullptr, XVID_GBL_INIT, &init, nullptr);
    xvid_dec_create_t create{};
    create.version = XVID_VERSION;
    create.num_threads = 1;  // the size comes from the stream's layer header
    if (xvid_decore(nullptr, XVID_DEC_CREATE, &create, nullptr) != 0) return false;
    handle_ = create.handle;
    return true;
  }

  // One decode call on bytes [data, data + length), or a flush call when
  // data is null.  Returns the bytes consumed (negative when the decoder
  // reports an error or, on a flush, that nothing is held any more); a
  // picture written into the frame buffer is appended to out.
  int Decode(const uint8_t* data, int length, std::FILE* out, int& type) {
    xvid_dec_frame_t frame{};
    frame.version = XVID_VERSION;
    frame.bitstream = const_cast<uint8_t*>(data);
    frame.length = data != nullptr ? length : -1;
    frame.output.csp = picture_.empty() ? XVID_CSP_NULL : XVID_CSP_PLANAR;
    if (!picture_.empty()) {
      frame.output.plane[0] = picture_.data();
      frame.output.plane[1] = picture_.data() + LumaBytes();
      frame.output.plane[2] = picture_.data() + LumaBytes() + ChromaBytes();
      frame.output.stride[0] = width_;
      frame.output.stride[1] = frame.output.stride[2] = ChromaWidth();
    }
    xvid_dec_stats_t stats{};
    stats.version = XVID_VERSION;
    const int used = xvid_decore(handle_, XVID_DEC_DECODE, &frame, &stats);
    type = stats.type;
    if (used < 0) return used;
    if (stats.type == XVID_TYPE_VOL) {
      if (stats.data.vol.width != width_ || stats.data.vol.height != height_) {
        width_ = stats.data.vol.width;
        height_ = stats.data.vol.height;
        picture_.assign(LumaBytes() + 2 * ChromaBytes(), 0);
      }
    } else if (stats.type > 0 && !picture_.empty()) {
      std::fwrite(picture_.data(), 1, picture_.size(), out);
      ++pictures_;
    }
    return used;
  }

  int width() const { return width_; }
  int height() const { return height_; }
  long pictures() const { return pictures_; }

 private:
  int ChromaWidth() const { return (width_ + 1) / 2; }
  size_t LumaBytes() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }
  size_t ChromaBytes() const {
    return static_cast<size_t>(ChromaWidth()) * static_cast<size_t>((height_ + 1) / 2);
  }

  void* handle_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  std::vector<uint8_t> picture_;
  long pictures_ = 0;
};

int Fail(const char* what, const char* path) {
  std::fprintf(stderr, "tavrin_xvid_decode: %s: %s\n", what, path);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tavrin_xvid_decode INPUT.m4v OUTPUT.yuv\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) return Fail("cannot read", argv[1]);
  std::vector<uint8_t> stream((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t size = stream.size();
  stream.resize(size + kTailSlack, 0);

  Decoder decoder;
  if (!decoder.Create()) return Fail("Xvid's decoder cannot be created for", argv[1]);
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) return Fail("cannot write", argv[2]);

  // Each call takes what it needs from the front of the rest of the stream:
  // a layer header, one picture, or (packed) an anchor and then its B
  // pictures on later calls.  A call consumes at least one byte, so the
  // loop ends.
  size_t position = 0;
  int type = 0;
  while (position + 1 < size) {
    const int used = decoder.Decode(stream.data() + position, static_cast<int>(size - position), out, type);
    if (used < 0) {
      std::fclose(out);
      return Fail("Xvid's decoder reports an error in", argv[1]);
    }
    position += used > 0 ? static_cast<size_t>(used) : 1;
  }
  // Flush: the anchor still held (shown after its B pictures) comes out.
  for (int call = 0; call < 4; ++call)
    if (decoder.Decode(nullptr, 0, out, type) < 0) break;
  const bool written = std::fclose(out) == 0;
  if (!written) return Fail("cannot write", argv[2]);
  if (decoder.width() == 0) return Fail("no layer header found by Xvid's decoder in", argv[1]);
  if (decoder.pictures() == 0) return Fail("no picture decoded by Xvid's decoder from", argv[1]);
  std::printf("%dx%d %ld\n", decoder.width(), decoder.height(), decoder.pictures());
  return 0;
}
