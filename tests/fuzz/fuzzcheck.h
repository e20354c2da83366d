#pragma once

#include <QtGlobal>

#include <cstdint>

// A failed check aborts: libFuzzer keeps the input, the replay driver fails.
#define FUZZ_CHECK(cond) ((cond) ? void() : qFatal("%s failed", #cond))

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
