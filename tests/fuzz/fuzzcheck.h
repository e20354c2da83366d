#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A failed property aborts: libFuzzer keeps the input, the replay driver fails.
#define FUZZ_CHECK(cond, ...) \
    do { \
        if (!(cond)) { \
            fprintf(stderr, "%s:%d: %s failed\n  ", __FILE__, __LINE__, #cond); \
            fprintf(stderr, __VA_ARGS__); \
            fputc('\n', stderr); \
            abort(); \
        } \
    } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
