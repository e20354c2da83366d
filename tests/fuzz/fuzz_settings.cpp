// The settings file, which people edit by hand: whatever the file holds, a value written reads
// back from disk and no other key changes. Byte 0 picks the group, byte 1 the key; bit 0 of
// byte 2 writes a boolean (bit 1), else byte 3 is the length of the value that follows; the rest
// is the file.

#include "fuzzcheck.h"
#include "platform/zconfig.h"

#include <QFile>
#include <QTemporaryDir>

static const char *const Groups[] = {"FILESELECT", "HiSpeedMode", "LANGUAGE", "G"};
static const char *const Keys[] = {"FILTER", "LASTDIR", "Enabled", "EXIT", "lastdir", "K"};

static QStringList allValues(const ZConfig &config)
{
    QStringList values;
    for (const char *group : Groups)
        for (const char *key : Keys)
            values << config.readEntry(QLatin1String(group), QLatin1String(key));
    return values;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray head = input.left(4) + QByteArray(4, '\0');
    const int slot = uchar(head[0]) % 4 * 6 + uchar(head[1]) % 6;
    const QString group = QLatin1String(Groups[slot / 6]);
    const QString key = QLatin1String(Keys[slot % 6]);
    const bool asBool = head[2] & 1;
    const QString value = asBool ? QLatin1String(head[2] & 2 ? "true" : "false")
                                 : QString::fromUtf8(input.mid(4, uchar(head[3])));

    static const QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("mplayer.ini")));
    FUZZ_CHECK(file.open(QIODevice::WriteOnly));
    FUZZ_CHECK(file.write(input.mid(4 + uchar(head[3]))) >= 0);
    file.close();
    ZConfig config(file.fileName(), true);
    const QStringList before = allValues(config);
    FUZZ_CHECK(asBool ? config.writeEntry(group, key, bool(head[2] & 2))
                      : config.writeEntry(group, key, value));
    QStringList after = allValues(ZConfig(file.fileName(), false));
    FUZZ_CHECK(after[slot] == value);
    after[slot] = before[slot];
    FUZZ_CHECK(after == before);
    return 0;
}
