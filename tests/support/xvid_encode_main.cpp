// tavrin_xvid_encode: makes test streams with Xvid's encoder (libxvidcore,
// used as a black box through its public interface) where ffmpeg's libxvid
// wrapper offers no way to ask for a mode: ffmpeg 5.1 passes no interlacing
// to Xvid, nor asks for global motion with it.  It reads raw planar yuv420p pictures (as ffmpeg's
// `-f rawvideo -pix_fmt yuv420p` writes them) and writes a raw MPEG-4 Visual
// elementary stream.
//
//   tavrin_xvid_encode [OPTIONS] WIDTH HEIGHT INPUT.yuv OUTPUT.m4v
//     --interlaced      interlaced coding (field DCT and field motion)
//     --top-first       top_field_first 1 in every picture (else 0)
//     --alternate-scan  alternate_vertical_scan_flag 1
//     --four-vectors    four-vector macroblocks allowed
//     --quarter-sample  vectors in quarter samples
//     --gmc             global motion compensation (S pictures)
//     --packed          B pictures packed behind their anchors (as in AVI)
//     --bframes N       up to N B pictures between anchors (default 0)
//     --quant Q         fixed quantiser 1..31 for every picture (default 4)
//     --frames N        stop after N pictures
//
// Deterministic: one thread, plain C routines, fixed quantiser, no rate
// control plugin, packed B pictures off unless asked for.
#include <xvid.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Options {
  bool interlaced = false;
  bool topFirst = false;
  bool alternateScan = false;
  bool fourVectors = false;
  bool quarterSample = false;
  bool gmc = false;
  bool packed = false;
  int bframes = 0;
  int quant = 4;
  long frames = -1;
  int width = 0;
  int height = 0;
  const char* input = nullptr;
  const char* output = nullptr;
};

int Usage() {
  std::fprintf(stderr,
               "usage: tavrin_xvid_encode [--interlaced] [--top-first] [--alternate-scan] "
               "[--four-vectors] [--quarter-sample] [--gmc] [--packed] [--bframes N] [--quant Q] [--frames N] WIDTH HEIGHT "
               "INPUT.yuv OUTPUT.m4v\n");
  return 2;
}

bool Parse(int argc, char** argv, Options& o) {
  std::vector<const char*> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--interlaced") {
      o.interlaced = true;
    } else if (a == "--top-first") {
      o.topFirst = true;
    } else if (a == "--alternate-scan") {
      o.alternateScan = true;
    } else if (a == "--four-vectors") {
      o.fourVectors = true;
    } else if (a == "--quarter-sample") {
      o.quarterSample = true;
    } else if (a == "--gmc") {
      o.gmc = true;
    } else if (a == "--packed") {
      o.packed = true;
    } else if (a == "--bframes" && hasValue) {
      o.bframes = std::atoi(argv[++i]);
    } else if (a == "--quant" && hasValue) {
      o.quant = std::atoi(argv[++i]);
    } else if (a == "--frames" && hasValue) {
      o.frames = std::atol(argv[++i]);
    } else if (!a.empty() && a[0] == '-') {
      return false;
    } else {
      positional.push_back(argv[i]);
    }
  }
  if (positional.size() != 4) return false;
  o.width = std::atoi(positional[0]);
  o.height = std::atoi(positional[1]);
  o.input = positional[2];
  o.output = positional[3];
  return o.width > 0 && o.height > 0 && o.quant >= 1 && o.quant <= 31 && o.bframes >= 0;
}

int Fail(const char* what, const char* path) {
  std::fprintf(stderr, "tavrin_xvid_encode: %s: %s\n", what, path);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!Parse(argc, argv, o)) return Usage();

  xvid_gbl_init_t init{};
  init.version = XVID_VERSION;
  init.cpu_flags = XVID_CPU_FORCE;  // plain C: the same stream on every machine
  xvid_global(nullptr, XVID_GBL_INIT, &init, nullptr);

  xvid_enc_create_t create{};
  create.version = XVID_VERSION;
  create.width = o.width;
  create.height = o.height;
  create.num_threads = 1;
  create.max_bframes = o.bframes;
  create.fincr = 1;
  create.fbase = 25;
  create.max_key_interval = 300;
  create.bquant_ratio = 100;  // B pictures at the anchors' quantiser
  create.bquant_offset = 0;
  if (o.packed) create.global |= XVID_GLOBAL_PACKED;
  for (int i = 0; i < 3; ++i) {
    create.min_quant[i] = 1;
    create.max_quant[i] = 31;
  }
  if (xvid_encore(nullptr, XVID_ENC_CREATE, &create, nullptr) != 0) {
    return Fail("Xvid's encoder cannot be created for", o.input);
  }

  std::FILE* in = std::fopen(o.input, "rb");
  if (in == nullptr) return Fail("cannot read", o.input);
  std::FILE* out = std::fopen(o.output, "wb");
  if (out == nullptr) {
    std::fclose(in);
    return Fail("cannot write", o.output);
  }

  const int chromaWidth = (o.width + 1) / 2;
  const int chromaHeight = (o.height + 1) / 2;
  const size_t lumaBytes = static_cast<size_t>(o.width) * static_cast<size_t>(o.height);
  const size_t chromaBytes = static_cast<size_t>(chromaWidth) * static_cast<size_t>(chromaHeight);
  std::vector<uint8_t> picture(lumaBytes + 2 * chromaBytes);
  std::vector<uint8_t> bitstream(lumaBytes * 6 + 65536);

  long read = 0;
  bool flushing = false;
  int status = 0;
  // One call per input picture, then calls without input until the encoder
  // has handed out the pictures it holds back for B pictures.
  for (int flushes = 0; flushes <= o.bframes + 2;) {
    if (!flushing && (o.frames >= 0 && read >= o.frames)) flushing = true;
    if (!flushing && std::fread(picture.data(), 1, picture.size(), in) != picture.size()) flushing = true;
    xvid_enc_frame_t frame{};
    frame.version = XVID_VERSION;
    frame.vol_flags = o.interlaced ? XVID_VOL_INTERLACING : 0;
    if (o.quarterSample) frame.vol_flags |= XVID_VOL_QUARTERPEL;
    if (o.gmc) frame.vol_flags |= XVID_VOL_GMC;
    frame.vop_flags = XVID_VOP_HALFPEL | XVID_VOP_HQACPRED;
    if (o.interlaced && o.topFirst) frame.vop_flags |= XVID_VOP_TOPFIELDFIRST;
    if (o.interlaced && o.alternateScan) frame.vop_flags |= XVID_VOP_ALTERNATESCAN;
    if (o.fourVectors) frame.vop_flags |= XVID_VOP_INTER4V;
    frame.motion = XVID_ME_ADVANCEDDIAMOND16 | XVID_ME_HALFPELREFINE16 | XVID_ME_CHROMA_PVOP |
                   XVID_ME_CHROMA_BVOP;
    if (o.quarterSample) frame.motion |= XVID_ME_QUARTERPELREFINE16 | XVID_ME_QUARTERPELREFINE8;
    if (o.gmc) frame.motion |= XVID_ME_GME_REFINE;
    frame.type = XVID_TYPE_AUTO;
    frame.quant = o.quant;
    frame.bitstream = bitstream.data();
    frame.length = static_cast<int>(bitstream.size());
    if (flushing) {
      frame.input.csp = XVID_CSP_NULL;
      ++flushes;
    } else {
      frame.input.csp = XVID_CSP_PLANAR;
      frame.input.plane[0] = picture.data();
      frame.input.plane[1] = picture.data() + lumaBytes;
      frame.input.plane[2] = picture.data() + lumaBytes + chromaBytes;
      frame.input.stride[0] = o.width;
      frame.input.stride[1] = frame.input.stride[2] = chromaWidth;
      ++read;
    }
    const int bytes = xvid_encore(create.handle, XVID_ENC_ENCODE, &frame, nullptr);
    if (bytes < 0) {
      if (flushing) break;  // nothing held any more
      status = Fail("Xvid's encoder reports an error in", o.input);
      break;
    }
    if (bytes > 0 && std::fwrite(bitstream.data(), 1, static_cast<size_t>(bytes), out) !=
                         static_cast<size_t>(bytes)) {
      status = Fail("cannot write", o.output);
      break;
    }
  }
  xvid_encore(create.handle, XVID_ENC_DESTROY, nullptr, nullptr);
  std::fclose(in);
  if (std::fclose(out) != 0 && status == 0) status = Fail("cannot write", o.output);
  if (status == 0 && read == 0) status = Fail("no picture read from", o.input);
  return status;
}
