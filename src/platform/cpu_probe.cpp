#include "platform/cpu_probe.h"

#include <csetjmp>
#include <csignal>
#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define TAVRIN_X86 1
#endif

namespace tavrin::platform {
namespace {

sigjmp_buf* volatile guardJump = nullptr;

void OnIllegalInstruction(int) {
  if (guardJump != nullptr) siglongjmp(*guardJump, 1);
}

#if defined(TAVRIN_X86)
CpuidLeaf Query(uint32_t leaf) {
  CpuidLeaf r;
  __cpuid(leaf, r.eax, r.ebx, r.ecx, r.edx);
  return r;
}

// XCR0, the register of enabled state components; only valid to read when
// the processor reports OSXSAVE.
uint64_t ReadXcr0() {
  uint32_t eax = 0, edx = 0;
  __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
  return (uint64_t{edx} << 32) | eax;
}

#if defined(__i386__)
void ExecuteSse() { __asm__ volatile("xorps %%xmm0, %%xmm0" ::: "xmm0"); }
void ExecuteSse2() { __asm__ volatile("xorpd %%xmm0, %%xmm0" ::: "xmm0"); }
#endif
#endif

}  // namespace

bool RunsWithoutIllegalInstruction(void (*probe)()) {
  struct sigaction handler {};
  struct sigaction previous {};
  handler.sa_handler = OnIllegalInstruction;
  sigemptyset(&handler.sa_mask);
  if (sigaction(SIGILL, &handler, &previous) != 0) return true;
  sigjmp_buf jump;
  bool ran = true;
  if (sigsetjmp(jump, 1) == 0) {
    guardJump = &jump;
    probe();
  } else {
    ran = false;
  }
  guardJump = nullptr;
  sigaction(SIGILL, &previous, nullptr);
  return ran;
}

CpuProbe ReadCpuProbe() {
  CpuProbe p;
#if defined(TAVRIN_X86)
#if defined(__i386__)
  // __get_cpuid_max makes the flags-register test for the identification
  // instruction, which old 32-bit processors lack, and answers 0 there.
  if (__get_cpuid_max(0, nullptr) == 0) return p;
#endif
  p.hasCpuid = true;
  p.leaf0 = Query(0);
  if (p.leaf0.eax >= 1) p.leaf1 = Query(1);
  if (p.leaf0.eax >= 7) __cpuid_count(7, 0, p.leaf7.eax, p.leaf7.ebx, p.leaf7.ecx, p.leaf7.edx);
  const bool osXsave = (p.leaf1.ecx >> 27) & 1;
  if (osXsave) p.osSavesYmm = (ReadXcr0() & 0x6) == 0x6;
  p.extendedLeaf0 = Query(0x80000000u);
  if (p.extendedLeaf0.eax > 0x80000000u) p.extendedLeaf1 = Query(0x80000001u);
  const bool claimsSse = (p.leaf1.edx >> 25) & 1;
  const bool claimsSse2 = (p.leaf1.edx >> 26) & 1;
#if defined(__x86_64__)
  // SSE and SSE2 are part of the x86-64 architecture, and its calling
  // convention passes floating-point values in SSE registers: an operating
  // system that runs this code at all saves and restores that state.
  p.osExecutesSse = claimsSse;
  p.osExecutesSse2 = claimsSse2;
#else
  p.osExecutesSse = claimsSse && RunsWithoutIllegalInstruction(ExecuteSse);
  p.osExecutesSse2 = claimsSse2 && RunsWithoutIllegalInstruction(ExecuteSse2);
#endif
#endif
  return p;
}

bool HasAvx2(const CpuProbe& p) {
  const bool avx = (p.leaf1.ecx >> 28) & 1;
  const bool avx2 = (p.leaf7.ebx >> 5) & 1;
  return p.hasCpuid && p.leaf0.eax >= 7 && avx && avx2 && p.osSavesYmm;
}

}  // namespace tavrin::platform
