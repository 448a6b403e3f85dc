// The progress line of a long decode: pictures done and pictures per
// second, redrawn in place on a terminal at most a few times a second.
#pragma once

#include <chrono>
#include <cstdio>

namespace tavrin::tool {

class ProgressLine {
 public:
  // Draws on `terminal`, or stays silent when it is null.
  ProgressLine(std::FILE* terminal, int total);

  // One more picture shown.
  void Step();
  // Draws the final count and ends the line.
  void Finish();

 private:
  void Draw(bool final);

  std::FILE* terminal_;
  int total_;
  int done_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
  bool drawn_ = false;
};

}  // namespace tavrin::tool
