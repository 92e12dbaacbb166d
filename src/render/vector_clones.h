#pragma once
// Marks a hot loop to be compiled once per vector unit (AVX2 and the base instruction
// set on x86-64) and picked at load time, so that one binary runs everywhere and still
// uses the wide registers where the processor has them. Elsewhere it does nothing.

// Sanitizer builds go without: the load-time choosers would run before the sanitizer's
// own start-up.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define VISTREL_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VISTREL_VECTOR_CLONES
#endif
