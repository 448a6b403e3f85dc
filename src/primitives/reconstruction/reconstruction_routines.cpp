#include "primitives/reconstruction/reconstruction_routines.h"

#include "primitives/reconstruction/reconstruction.h"

namespace tavrin {

#if defined(__SSE2__)
ReconstructionRoutineSet reconstructionRoutines{
    AtomicSlot<ReconstructInterAddFn>{sse2::ReconstructInterAdd},
    AtomicSlot<ReconstructShortHeaderIntraFn>{sse2::ReconstructShortHeaderIntra},
    AtomicSlot<ReconstructShortHeaderInterAddFn>{sse2::ReconstructShortHeaderInterAdd}};
#else
ReconstructionRoutineSet reconstructionRoutines{
    AtomicSlot<ReconstructInterAddFn>{reference::ReconstructInterAdd},
    AtomicSlot<ReconstructShortHeaderIntraFn>{reference::ReconstructShortHeaderIntra},
    AtomicSlot<ReconstructShortHeaderInterAddFn>{reference::ReconstructShortHeaderInterAdd}};
#endif

}  // namespace tavrin
