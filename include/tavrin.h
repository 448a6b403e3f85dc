/*
 * tavrin: an MPEG-4 Visual (ISO/IEC 14496-2) video decoder behind a small,
 * frozen C interface.
 *
 * A host creates one decoder per compressed stream, handing it the stream's
 * header bytes (a video object start code followed by a video object layer
 * header) and the picture size.  It then hands the decoder one compressed
 * picture (video object plane) per call and reads back three plane pointers
 * and strides of a planar 4:2:0 picture with 8-bit samples.  The planes live
 * in memory the decoder owns and stay valid until the next decode call or the
 * release on the same handle.
 *
 * Short-header streams (baseline H.263, as in 3GP files from phones and
 * video calls) have no layer header: the host creates the decoder with the
 * bytes of the first picture (which begin with the 22-bit picture start code
 * 0000 0000 0000 0000 1000 00, perhaps behind a video object start code)
 * and the size of that picture's source format, then hands it every picture,
 * the first one included, one per call.
 *
 * Every function returns 1 or 0 (the setters return the stored value); no
 * error codes, messages or exceptions cross this interface.
 *
 * Threads: calls on different handles may run in parallel.  Two calls on one
 * handle must not overlap; that is the host's to serialise.
 */
#ifndef TAVRIN_H
#define TAVRIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Exported functions use the platform's standard calling convention for
 * exported functions: __stdcall on 32-bit Windows, the C convention
 * everywhere else. */
#if defined(_WIN32) && !defined(_WIN64)
#define TAVRIN_CALL __stdcall
#else
#define TAVRIN_CALL
#endif

#if defined(TAVRIN_BUILDING_LIBRARY)
#if defined(_WIN32)
#define TAVRIN_API __declspec(dllexport)
#else
#define TAVRIN_API __attribute__((visibility("default")))
#endif
#else
#if defined(_WIN32)
#define TAVRIN_API __declspec(dllimport)
#else
#define TAVRIN_API
#endif
#endif

/* An opaque, nonzero value naming one decoder; 0 never names a decoder. */
typedef uintptr_t TavrinHandle;

/* Most input bytes a decoder accepts per call when the picture is small; a
 * decoder for a larger picture accepts up to width * height * 3 bytes. */
#define TAVRIN_MIN_INPUT_CAPACITY 100000u

/* The source type that turns off edge padding of reference pictures and
 * forces rounding type 0. */
#define TAVRIN_SOURCE_TYPE_UNPADDED 6800

/* What the host hands over: the stream's header bytes at creation, one
 * compressed picture at each decode call. */
typedef struct DecoderInput {
  const uint8_t* data;  /* first byte of the compressed data */
  uint32_t reserved0;   /* not used by the library */
  int32_t width;        /* picture width in pixels; read at creation only */
  int32_t height;       /* picture height in pixels; read at creation only */
  uint32_t length;      /* number of bytes at data */
  uint32_t reserved1;   /* not used by the library */
  int32_t sourceType;   /* read at creation only; see TAVRIN_SOURCE_TYPE_UNPADDED */
  uint8_t reserved2;    /* not used by the library */
} DecoderInput;

/* What the library reports.  Each call writes only its own fields. */
typedef struct DecoderOutput {
  uint8_t reserved[12];     /* never touched */
  uint32_t timeResolution;  /* written at creation: clock ticks per second */
  const uint8_t* planeY;    /* written by each decode call returning 1 */
  const uint8_t* planeCb;
  const uint8_t* planeCr;
  int32_t strideY;
  int32_t strideCb;
  int32_t strideCr;
} DecoderOutput;

/* The library version, 0x01000001. */
TAVRIN_API uint32_t TAVRIN_CALL GetMorvelDllVersion(void);

/* Creates a decoder from the stream's header bytes and the picture size.
 * Returns its handle, or 0 when no memory was left for it.  A header the
 * decoder cannot use still yields a handle; every decode on it returns 0.
 * info->timeResolution receives the header's vop_time_increment_resolution
 * (0 when the header ended before it).
 *
 * Header bytes that begin with a short-header picture start code (or with a
 * video object start code directly followed by one) make a short-header
 * decoder: the size is that picture's source format (sub-QCIF 128x96, QCIF
 * 176x144, CIF 352x288, 4CIF 704x576, 16CIF 1408x1152), and a host size that
 * differs from it, or a first picture the decoder refuses (the extended
 * picture type of H.263 version 2, any of the optional modes, continuous
 * presence), gives a handle that decodes nothing.  info->timeResolution is
 * 30000 for such bytes: pictures are 1001 ticks apart at the nominal rate,
 * the temporal reference counting units of 1001.  Later pictures that the
 * decoder refuses, or whose source format differs, decode as bytes holding
 * nothing decodable. */
TAVRIN_API TavrinHandle TAVRIN_CALL TavrinDecoder_CreateDecoder(
    const DecoderInput* header, DecoderOutput* info);

/* Decodes one compressed picture.  Returns 1 when the plane fields of
 * picture describe a picture to show (the newest, or the previous one again
 * when this call held nothing decodable), 0 for an unknown handle, a decoder
 * whose creation failed, an input longer than the decoder accepts, or while
 * no picture has been decoded yet. */
TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_DecoderOneFrame(
    TavrinHandle handle, const DecoderInput* frame, DecoderOutput* picture);

/* Destroys a decoder.  Returns 1, or 0 for an unknown handle. */
TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_ReleaseDecoder(TavrinHandle handle);

/* Kept for compatibility; changes nothing.  Returns 1 for a known handle,
 * 0 otherwise. */
TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_ResizeBitmap(
    TavrinHandle handle, int32_t width, int32_t height);

/* Settings.  Each returns the value the decoder holds afterwards (a negative
 * request is returned unchanged and not stored); 0 for an unknown handle.
 * Video quality 0 or 1 chooses between two reconstruction paths; post-filter
 * 0 (none), 1 (deblocked luma) or 2 (deblocked luma and chroma).  Brightness,
 * contrast and saturation are recorded and do not change the output. */
TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_SetVideoQuality(TavrinHandle handle, int32_t value);
TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_SetPostFilter(TavrinHandle handle, int32_t value);
TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_SetBrightness(TavrinHandle handle, int32_t value);
TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_SetContrast(TavrinHandle handle, int32_t value);
TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_SetSaturation(TavrinHandle handle, int32_t value);

#ifdef __cplusplus
}
#endif

#endif /* TAVRIN_H */
