// Inlining that the compiler's own weighing refuses but measurement wants:
// a hot function called from a few places in one loop.
#pragma once

#if defined(__GNUC__)
#define LS11_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define LS11_ALWAYS_INLINE inline
#endif
