// File names are bytes. Any bytes decoded to a QString and encoded back give
// the same bytes, so that every file on disk can be named in a command.

#include "fuzzcheck.h"
#include "platform/fsname.h"

#include <QByteArray>
#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString name = fsDecode(bytes);
    const QByteArray back = fsEncode(name);
    FUZZ_CHECK(back == bytes, "%lld bytes came back as %lld different ones",
               static_cast<long long>(bytes.size()), static_cast<long long>(back.size()));
    // Decoding is a function of the bytes alone: the same name twice is the
    // same string.
    FUZZ_CHECK(fsDecode(back) == name, "decoding is not stable");
    return 0;
}
