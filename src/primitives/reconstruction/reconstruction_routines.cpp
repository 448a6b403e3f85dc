#include "primitives/reconstruction/reconstruction_routines.h"

#include "primitives/reconstruction/reconstruction.h"

namespace tavrin {

#if defined(__SSE2__)
ReconstructionRoutineSet reconstructionRoutines{
    AtomicSlot<ReconstructInterAddFn>{sse2::ReconstructInterAdd}};
#else
ReconstructionRoutineSet reconstructionRoutines{
    AtomicSlot<ReconstructInterAddFn>{reference::ReconstructInterAdd}};
#endif

}  // namespace tavrin
