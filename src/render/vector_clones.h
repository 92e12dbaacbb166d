#pragma once
// Marks a hot loop to be compiled once per vector unit (AVX2 and the base instruction
// set on x86-64) and picked at load time, so that one binary runs everywhere and still
// uses the wide registers where the processor has them. Elsewhere it does nothing.

// Sanitizer builds go without: the load-time choosers would run before the sanitizer's
// own start-up.
// gcc names its sanitizers by macros; clang answers __has_feature.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define VISTREL_SANITIZED_BUILD 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VISTREL_SANITIZED_BUILD 1
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(VISTREL_SANITIZED_BUILD)
#define VISTREL_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VISTREL_VECTOR_CLONES
#endif
