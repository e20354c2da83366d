#pragma once

// Shared by the fuzz targets: a failed property aborts with a message, so that
// libFuzzer keeps the input as a crash and the replay driver fails.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond, ...)                                                   \
    do {                                                                        \
        if (!(cond)) {                                                          \
            fprintf(stderr, "%s:%d: check failed: %s\n  ", __FILE__, __LINE__, #cond); \
            fprintf(stderr, __VA_ARGS__);                                       \
            fputc('\n', stderr);                                                \
            abort();                                                            \
        }                                                                       \
    } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
