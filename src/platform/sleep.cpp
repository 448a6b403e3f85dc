#include "platform/sleep.h"

#include <chrono>
#include <thread>

namespace tavrin::platform {

void SleepMilliseconds(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace tavrin::platform
