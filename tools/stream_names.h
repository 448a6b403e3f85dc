// Names in words for the numbers in MPEG-4 Visual headers, for listings.
#pragma once

#include <string>

namespace tavrin::tool {

// profile_and_level_indication: "Advanced Simple Profile, level 5".
std::string ProfileAndLevelName(int indication);

// video_object_type_indication: "Simple", "Advanced Simple", ...
std::string ObjectTypeIndicationName(int indication);

}  // namespace tavrin::tool
