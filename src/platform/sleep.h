// The one pause the decoder takes: a short sleep before each output.
#pragma once

namespace tavrin::platform {

void SleepMilliseconds(int milliseconds);

}  // namespace tavrin::platform
