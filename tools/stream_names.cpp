#include "stream_names.h"

#include <cstdio>

namespace tavrin::tool {

std::string ProfileAndLevelName(int v) {
  auto level = [](const char* profile, const std::string& l) { return std::string(profile) + ", level " + l; };
  if (v >= 0x01 && v <= 0x03) return level("Simple Profile", std::to_string(v));
  if (v == 0x04) return level("Simple Profile", "4a");
  if (v == 0x05 || v == 0x06) return level("Simple Profile", std::to_string(v));
  if (v == 0x08) return level("Simple Profile", "0");
  if (v == 0x09) return level("Simple Profile", "0b");
  if (v >= 0x10 && v <= 0x12) return level("Simple Scalable Profile", std::to_string(v - 0x10));
  if (v >= 0x21 && v <= 0x22) return level("Core Profile", std::to_string(v - 0x20));
  if (v >= 0x32 && v <= 0x34) return level("Main Profile", std::to_string(v - 0x30));
  if (v >= 0x91 && v <= 0x94) return level("Advanced Real Time Simple Profile", std::to_string(v - 0x90));
  if (v >= 0xF0 && v <= 0xF5) return level("Advanced Simple Profile", std::to_string(v - 0xF0));
  if (v == 0xF7) return level("Advanced Simple Profile", "3b");
  char text[32];
  std::snprintf(text, sizeof text, "profile and level 0x%02X", static_cast<unsigned>(v & 0xFF));
  return text;
}

std::string ObjectTypeIndicationName(int v) {
  switch (v) {
    case 1:
      return "Simple";
    case 2:
      return "Simple Scalable";
    case 3:
      return "Core";
    case 4:
      return "Main";
    case 5:
      return "N-bit";
    case 17:
      return "Advanced Simple";
    default:
      return "object type " + std::to_string(v);
  }
}

}  // namespace tavrin::tool
