// File names are bytes: any bytes decoded to a QString encode back to the
// same bytes, so that every file on disk can be named in a command.

#include "fuzzcheck.h"
#include "platform/fsname.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString name = fsDecode(bytes);
    FUZZ_CHECK(fsEncode(name) == bytes, "%zu bytes did not come back", size);
    return 0;
}
