#include "progress.h"

namespace tavrin::tool {

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
}

ProgressLine::ProgressLine(std::FILE* terminal, int total)
    : terminal_(terminal), total_(total), start_(std::chrono::steady_clock::now()), lastDraw_(start_) {}

void ProgressLine::Step() {
  ++done_;
  if (terminal_ == nullptr) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  Draw(false);
}

void ProgressLine::Finish() {
  if (terminal_ == nullptr) return;
  Draw(true);
}

void ProgressLine::Draw(bool final) {
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const double rate = seconds > 0 ? done_ / seconds : 0;
  std::fprintf(terminal_, "\r%d of %d pictures, %.1f pictures per second%s", done_, total_, rate,
               final ? "\n" : "   ");
  std::fflush(terminal_);
  drawn_ = true;
}

}  // namespace tavrin::tool
