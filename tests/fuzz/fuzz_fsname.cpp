// File names are bytes: any bytes decoded to a name encode back to the same bytes.

#include "fuzzcheck.h"
#include "platform/fsname.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    FUZZ_CHECK(fsEncode(fsDecode(bytes)) == bytes);
    return 0;
}
