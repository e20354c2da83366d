// The identify parser. Any bytes, cut into pieces the way the probe reads
// MPlayer's output (fgets with an 80-byte buffer: up to and including a
// newline, at most 79 bytes, what is left at the end; a NUL ends the piece's
// text), must leave the record a small reference parser leaves.
//
// The reference is written from the rules, not from the parser:
// - six keys in a fixed order; the first of them found anywhere in the piece
//   decides, the others are not looked at;
// - its scan needs "KEY=" from the piece's first character;
// - an integer field takes what sscanf's %d takes (white space skipped, a
//   sign, decimal digits; no digits, no change);
// - a text field takes the first word after "=", as %s does, and becomes
//   empty when the scan fails.

#include "fuzzcheck.h"
#include "playback/mediainfo.h"

#include <QString>

#include <climits>
#include <cstring>
#include <string>

namespace {

struct Record
{
    int width = 0;
    int height = 0;
    std::string length = "0.0";
    int bitrate = 0;
    std::string fps = "0.0";
    std::string demuxer = "unknow";
};

bool isCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// %d as glibc reads it: through a long, which saturates, then stored into the
// int as its low 32 bits.
void scanInt(const std::string &rest, int *field)
{
    size_t i = 0;
    while (i < rest.size() && isCSpace(rest[i]))
        ++i;
    bool negative = false;
    if (i < rest.size() && (rest[i] == '+' || rest[i] == '-'))
        negative = rest[i++] == '-';
    if (i >= rest.size() || rest[i] < '0' || rest[i] > '9')
        return;
    unsigned long long magnitude = 0;
    bool saturated = false;
    for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i) {
        if (magnitude > (ULLONG_MAX - 9) / 10)
            saturated = true;
        else
            magnitude = magnitude * 10 + unsigned(rest[i] - '0');
    }
    long value;
    if (!negative)
        value = (saturated || magnitude > (unsigned long long)LONG_MAX) ? LONG_MAX : long(magnitude);
    else
        value = (saturated || magnitude > (unsigned long long)LONG_MAX + 1) ? LONG_MIN
                                                                           : long(0 - magnitude);
    *field = int(static_cast<unsigned int>(static_cast<unsigned long>(value)));
}

std::string scanWord(const std::string &rest)
{
    size_t i = 0;
    while (i < rest.size() && isCSpace(rest[i]))
        ++i;
    size_t end = i;
    while (end < rest.size() && !isCSpace(rest[end]))
        ++end;
    return rest.substr(i, end - i);
}

void referenceParse(Record &r, const std::string &piece)
{
    struct Row
    {
        const char *key;
        int *number;
        std::string *text;
    };
    const Row rows[] = {
        {"ID_DEMUXER", nullptr, &r.demuxer},     {"ID_VIDEO_BITRATE", &r.bitrate, nullptr},
        {"ID_VIDEO_WIDTH", &r.width, nullptr},   {"ID_VIDEO_HEIGHT", &r.height, nullptr},
        {"ID_LENGTH", nullptr, &r.length},       {"ID_VIDEO_FPS", nullptr, &r.fps},
    };
    for (const Row &row : rows) {
        if (piece.find(row.key) == std::string::npos)
            continue;
        const std::string literal = std::string(row.key) + '=';
        const bool matches = piece.compare(0, literal.size(), literal) == 0;
        const std::string rest = matches ? piece.substr(literal.size()) : std::string();
        if (row.number) {
            if (matches)
                scanInt(rest, row.number);
        } else {
            *row.text = scanWord(rest);
        }
        return;
    }
}

std::string latin1(const QString &s)
{
    const QByteArray b = s.toLatin1();
    return std::string(b.constData(), size_t(b.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MediaInfo info = MediaInfo::unprobed();
    Record expected;

    if (size > 0) {
        // The output as a stream, read with fgets exactly as the probe's
        // pieces are defined.
        FILE *output = fmemopen(const_cast<uint8_t *>(data), size, "r");
        FUZZ_CHECK(output, "fmemopen failed");
        char buffer[80];
        memset(buffer, 0, sizeof buffer);
        while (fgets(buffer, sizeof buffer, output)) {
            info.parseIdentifyLine(QString::fromLatin1(buffer));
            referenceParse(expected, std::string(buffer));
        }
        fclose(output);
    }

    FUZZ_CHECK(info.getWidth() == expected.width, "width %d, expected %d", info.getWidth(),
               expected.width);
    FUZZ_CHECK(info.getHeight() == expected.height, "height %d, expected %d", info.getHeight(),
               expected.height);
    FUZZ_CHECK(info.getBitrate() == expected.bitrate, "bitrate %d, expected %d",
               info.getBitrate(), expected.bitrate);
    FUZZ_CHECK(latin1(info.getLength()) == expected.length, "length \"%s\", expected \"%s\"",
               latin1(info.getLength()).c_str(), expected.length.c_str());
    FUZZ_CHECK(latin1(info.getFps()) == expected.fps, "fps \"%s\", expected \"%s\"",
               latin1(info.getFps()).c_str(), expected.fps.c_str());
    FUZZ_CHECK(latin1(info.getDemuxer()) == expected.demuxer, "demuxer \"%s\", expected \"%s\"",
               latin1(info.getDemuxer()).c_str(), expected.demuxer.c_str());
    return 0;
}
