// Where the decoder's one diagnostic text goes: nowhere.  The library logs
// nothing; the sink exists so that the place a message would arise stays
// visible in the code.
#pragma once

namespace tavrin {

inline void diagnosticSink(const char*) {}

}  // namespace tavrin
