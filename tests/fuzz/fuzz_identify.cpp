// Any bytes, in the pieces the probe reads (fgets, 80 bytes): one without "ID_" changes nothing.

#include "fuzzcheck.h"
#include "playback/mediainfo.h"

#include <QStringList>

#include <cstdio>
#include <cstring>

static QStringList fields(const MediaInfo &info)
{
    return {QString::number(info.getWidth()), QString::number(info.getHeight()),
            QString::number(info.getBitrate()), info.getLength(), info.getFps(), info.getDemuxer()};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    MediaInfo info = MediaInfo::unprobed();
    FILE *output = fmemopen(const_cast<uint8_t *>(data), size, "r");
    FUZZ_CHECK(output);
    char piece[80];
    while (fgets(piece, sizeof piece, output)) {
        const QStringList before = fields(info);
        info.parseIdentifyLine(QString::fromLatin1(piece));
        FUZZ_CHECK(strstr(piece, "ID_") || fields(info) == before);
    }
    fclose(output);
    return 0;
}
