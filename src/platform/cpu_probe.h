// What the processor and operating system report about themselves, gathered
// in one record so that classification can be a pure function of it.
#pragma once

#include <cstdint>

namespace tavrin::platform {

struct CpuidLeaf {
  uint32_t eax = 0;
  uint32_t ebx = 0;
  uint32_t ecx = 0;
  uint32_t edx = 0;
};

struct CpuProbe {
  bool hasCpuid = false;       // the identification instruction exists
  CpuidLeaf leaf0;             // highest leaf in eax, vendor in ebx, edx, ecx
  CpuidLeaf leaf1;             // family, features
  CpuidLeaf extendedLeaf0;     // highest extended leaf in eax
  CpuidLeaf extendedLeaf1;     // extended features (leaf 0x80000001)
  CpuidLeaf leaf7;             // structured extended features (leaf 7, subleaf 0)
  bool osExecutesSse = false;  // one SSE instruction ran without an illegal-instruction fault
  bool osExecutesSse2 = false;
  // The operating system saves the 256-bit register state (XCR0 holds the
  // SSE and AVX state bits), read only when the processor reports XSAVE
  // enabled by the operating system.
  bool osSavesYmm = false;
};

// The processor has AVX2 and the operating system saves its registers.
bool HasAvx2(const CpuProbe& probe);

// Reads the running processor.  The SSE and SSE2 execution checks run only
// when the processor claims the instruction set.
CpuProbe ReadCpuProbe();

// Runs probe() and reports false when it raised an illegal-instruction fault
// (any other outcome counts as success).  Uses a temporary SIGILL handler.
bool RunsWithoutIllegalInstruction(void (*probe)());

}  // namespace tavrin::platform
