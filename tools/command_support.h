// What the commands share: reading options, opening the input with errors
// in words, and refusing streams the decoder does not support.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "decode_session.h"
#include "video_source.h"

namespace tavrin::tool {

// Reads a whole decimal number in [low, high]; false otherwise.
bool ParseNumber(const std::string& text, int low, int high, int& value);

// Prints "tavrin COMMAND: message" on the console's error stream and
// returns 1.
int Fail(const Console& console, const std::string& command, const std::string& message);

// Prints the command's usage on the error stream and returns 2.
int Usage(const Console& console, const char* help, const std::string& complaint = {});

// The input file read and opened: its bytes (which the source's spans point
// into) and the video found in it.
struct Input {
  std::string name;  // as the user gave it
  std::vector<uint8_t> bytes;
  VideoSource source;
  LayerHeaderResult layer;
};

// Reads and opens the input; on failure returns null and sets error to a
// message that names the file.
std::unique_ptr<Input> OpenInput(const std::string& path, const Console& console, std::string& error);

// Empty when the decoder supports the stream; else why not, naming the
// coding tools it does not support in words.
std::string RefusalOf(const Input& input);

// The picture size a decode gives, "176x144".
std::string SizeText(int width, int height);

}  // namespace tavrin::tool
