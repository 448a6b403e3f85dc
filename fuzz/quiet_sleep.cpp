// The fuzzing build leaves out the pause before each output: it changes
// nothing the decoder computes and would cap the executions per second.
#include "platform/sleep.h"

namespace tavrin::platform {

void SleepMilliseconds(int) {}

}  // namespace tavrin::platform
