// Reference pictures from Xvid's decoder, the tests' second reference.
//
// The program tavrin_xvid_decode (xvid_decode_main.cpp, the one thing linked
// with Xvid's libxvidcore) decodes a raw stream to raw planar 4:2:0 once;
// the result is cached in CacheDir() beside ffmpeg's.  Xvid's decoder and
// ffmpeg's are separate implementations: where they agree and ours differs,
// the fault is ours; where they disagree, a reference is wrong (or run
// wrongly).
#pragma once

#include <string>
#include <vector>

#include "support/reference_decode.h"

namespace testsupport {

// Decodes the stream with tavrin_xvid_decode and returns Xvid's pictures in
// display order, as TryReferenceDecode does ffmpeg's.  The cache file's name
// ends in "-xvid<time the program was built>.yuv".
ReferenceResult TryXvidDecode(const std::string& streamPath, int width, int height);

// As TryXvidDecode, reporting a failure to GoogleTest (ADD_FAILURE) and
// returning no pictures when the program is missing or fails.
std::vector<YuvPicture> XvidDecode(const std::string& streamPath, int width, int height);

}  // namespace testsupport
