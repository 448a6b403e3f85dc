#include "command_support.h"

#include <cstdlib>

#include "input_file.h"

namespace tavrin::tool {

bool ParseNumber(const std::string& text, int low, int high, int& value) {
  if (text.empty() || text.size() > 10) return false;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0' || v < low || v > high) return false;
  value = static_cast<int>(v);
  return true;
}

int Fail(const Console& console, const std::string& command, const std::string& message) {
  std::fprintf(console.err, "tavrin %s: %s\n", command.c_str(), message.c_str());
  return 1;
}

int Usage(const Console& console, const char* help, const std::string& complaint) {
  if (!complaint.empty()) std::fprintf(console.err, "tavrin: %s\n\n", complaint.c_str());
  std::fputs(help, console.err);
  return 2;
}

std::unique_ptr<Input> OpenInput(const std::string& path, const Console& console, std::string& error) {
  auto input = std::make_unique<Input>();
  input->name = path == "-" ? "standard input" : path;
  if (!ReadWholeFile(path, input->bytes, error, console.in)) return nullptr;
  SourceResult opened = OpenVideo(input->bytes);
  if (!opened.ok()) {
    error = "'" + input->name + "': " + opened.error;
    return nullptr;
  }
  input->source = std::move(opened.source);
  input->layer = ParseVideoObjectLayer(input->source.header);
  return input;
}

std::string RefusalOf(const Input& input) { return input.layer.DecoderRefusal(); }

std::string SizeText(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

}  // namespace tavrin::tool
