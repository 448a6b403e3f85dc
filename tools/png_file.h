// Writing an RGB image as a PNG file with libpng.
#pragma once

#include <cstdio>
#include <string>

#include "contact_sheet.h"

namespace tavrin::tool {

// Writes image to path; false with the reason in error when it fails.
bool WritePng(const std::string& path, const RgbImage& image, std::string& error);

// Writes image to an open C stream (standard output).
bool WritePng(std::FILE* file, const RgbImage& image, std::string& error);

}  // namespace tavrin::tool
