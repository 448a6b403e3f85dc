/* A host that uses only tavrin.h: creates a decoder on the header of a raw
 * MPEG-4 Visual stream (.m4v), or on the first picture of a raw H.263
 * stream (.263: short-header pictures, which carry their own headers),
 * decodes every picture and prints what it learned.
 *
 *   example_host STREAM.m4v WIDTH HEIGHT
 *   example_host STREAM.263 WIDTH HEIGHT   (the size of its source format)
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tavrin.h"

/* Offset of the next start code 00 00 01 xx at or after from, or -1. */
static long next_start_code(const uint8_t* d, long n, long from) {
  for (long i = from; i + 3 < n; ++i)
    if (d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 1) return i;
  return -1;
}

/* Whether a short-header picture start code (0000 0000 0000 0000 1000 00)
 * begins at d[i]. */
static int short_header_start(const uint8_t* d, long n, long i) {
  return i + 2 < n && d[i] == 0 && d[i + 1] == 0 && (d[i + 2] & 0xFC) == 0x80;
}

/* Offset of the next short-header picture start code at or after from, or
 * -1.  They lie on byte boundaries. */
static long next_short_header(const uint8_t* d, long n, long from) {
  for (long i = from; i + 2 < n; ++i)
    if (short_header_start(d, n, i)) return i;
  return -1;
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s STREAM.m4v WIDTH HEIGHT\n", argv[0]);
    return 2;
  }
  FILE* f = fopen(argv[1], "rb");
  if (!f) {
    fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  static uint8_t data[16 << 20];
  long n = (long)fread(data, 1, sizeof data, f);
  fclose(f);

  /* A short-header stream (it begins with a picture start code, perhaps
   * after a video object start code): the decoder is created with the
   * first picture's bytes, and each call takes one picture, from its start
   * code to the next. */
  const int shortHeader =
      short_header_start(data, n, 0) ||
      (n > 4 && next_start_code(data, n, 0) == 0 && data[3] <= 0x1F && short_header_start(data, n, 4));

  /* The header: from the first video object start code (00 00 01 00..1F)
   * to the first picture start code (00 00 01 B6). */
  long vo = -1, pic = -1;
  if (shortHeader) {
    vo = 0;
    pic = next_short_header(data, n, 0);
  }
  for (long at = next_start_code(data, n, 0); !shortHeader && at >= 0; at = next_start_code(data, n, at + 3)) {
    if (vo < 0 && data[at + 3] <= 0x1F) vo = at;
    if (vo >= 0 && data[at + 3] == 0xB6) {
      pic = at;
      break;
    }
  }
  if (vo < 0 || pic < 0) {
    fprintf(stderr, "%s: no video object header or no picture\n", argv[1]);
    return 1;
  }

  printf("library version 0x%08x\n", (unsigned)GetMorvelDllVersion());
  DecoderInput header;
  memset(&header, 0, sizeof header);
  header.data = data + vo;
  header.length = (uint32_t)(pic - vo);
  if (shortHeader) {
    long second = next_short_header(data, n, pic + 3);
    header.length = (uint32_t)((second < 0 ? n : second) - vo);
  }
  header.width = atoi(argv[2]);
  header.height = atoi(argv[3]);
  DecoderOutput out;
  memset(&out, 0, sizeof out);
  TavrinHandle h = TavrinDecoder_CreateDecoder(&header, &out);
  printf("handle %s, time resolution %u ticks per second\n", h ? "created" : "not created",
         (unsigned)out.timeResolution);

  long pictures = 0, shown = 0;
  for (long at = pic; at >= 0;) {
    long next = at;
    if (shortHeader) {
      next = next_short_header(data, n, at + 3);
    } else {
      do next = next_start_code(data, n, next + 3);
      while (next >= 0 && data[next + 3] != 0xB6);
    }
    DecoderInput frame;
    memset(&frame, 0, sizeof frame);
    frame.data = data + at;
    frame.length = (uint32_t)((next < 0 ? n : next) - at);
    ++pictures;
    if (TavrinDecoder_DecoderOneFrame(h, &frame, &out)) ++shown;
    at = next;
  }
  printf("%ld pictures handed over, %ld calls returned a picture\n", pictures, shown);
  if (shown)
    printf("last picture: luma stride %d, chroma strides %d and %d, first luma sample %u\n",
           out.strideY, out.strideCb, out.strideCr, (unsigned)out.planeY[0]);
  printf("release: %d\n", (int)TavrinDecoder_ReleaseDecoder(h));
  return 0;
}
