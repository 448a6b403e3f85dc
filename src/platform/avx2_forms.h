// Whether this build has AVX2 forms of the hot primitives.  They are
// compiled only in the files named *_avx2.cpp (the build gives those files,
// and no others, the AVX2 instruction set), and run only when the processor
// and the operating system report AVX2 (platform::HasAvx2), so the library
// still runs on every x86-64 processor.
//
// Code in an AVX2 file keeps its helpers in an anonymous namespace and uses
// no inline function of another file: an inline function compiled there
// could be the copy the linker keeps for the whole library.
#pragma once

#if (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__) && defined(__GNUC__)
#define TAVRIN_AVX2_FORMS 1
#endif
