// The identify parser, fed any bytes in the pieces the probe reads (fgets into 80 bytes): a piece
// without "ID_" changes nothing; afterwards a well-formed piece for a key sets that value alone.

#include "fuzzcheck.h"
#include "playback/mediainfo.h"

#include <QStringList>

#include <cstring>

static const char *const Keys[] = {"ID_VIDEO_WIDTH", "ID_VIDEO_HEIGHT", "ID_VIDEO_BITRATE",
                                   "ID_LENGTH", "ID_VIDEO_FPS", "ID_DEMUXER"};

// The record, in the order of Keys.
static QStringList fields(const MediaInfo &info)
{
    return {QString::number(info.getWidth()), QString::number(info.getHeight()),
            QString::number(info.getBitrate()), info.getLength(), info.getFps(), info.getDemuxer()};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MediaInfo info = MediaInfo::unprobed();
    int32_t number = 0;
    if (size > 0) {
        memcpy(&number, data, size < sizeof number ? size : sizeof number);
        FILE *output = fmemopen(const_cast<uint8_t *>(data), size, "r");
        FUZZ_CHECK(output, "fmemopen failed");
        char piece[80];
        while (fgets(piece, sizeof piece, output)) {
            const QStringList before = fields(info);
            info.parseIdentifyLine(QString::fromLatin1(piece));
            const bool changed = fields(info) != before;
            FUZZ_CHECK(strstr(piece, "ID_") || !changed, "\"%s\" changed the record", piece);
        }
        fclose(output);
    }
    for (int i = 0; i < 6; ++i) {
        // Numbers, then texts: a word.
        const QString value = QString::number(number) + QLatin1String(i < 3 ? "" : ".5");
        QStringList expected = fields(info);
        expected[i] = value;
        info.parseIdentifyLine(QLatin1String(Keys[i]) + '=' + value + '\n');
        FUZZ_CHECK(fields(info) == expected, "%s=%s was misread", Keys[i], qPrintable(value));
    }
    return 0;
}
