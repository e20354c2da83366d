// Whatever the settings file holds, a value written reads back from disk. Byte 0 picks the group,
// byte 1 the key; bit 0 of byte 2 writes a boolean (bit 1), else byte 3 is the length of the value
// that follows; the rest is the file.

#include "fuzzcheck.h"
#include "platform/zconfig.h"

#include <QFile>
#include <QTemporaryDir>

static const char *const Groups[] = {"FILESELECT", "HiSpeedMode", "LANGUAGE", "G"};
static const char *const Keys[] = {"FILTER", "LASTDIR", "Enabled", "EXIT", "lastdir", "K"};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray head = input.left(4) + QByteArray(4, '\0');
    const QString group = QLatin1String(Groups[uchar(head[0]) % 4]);
    const QString key = QLatin1String(Keys[uchar(head[1]) % 6]);
    const bool asBool = head[2] & 1;
    const QString value = asBool ? QLatin1String(head[2] & 2 ? "true" : "false")
                                 : QString::fromUtf8(input.mid(4, uchar(head[3])));

    static const QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("mplayer.ini")));
    FUZZ_CHECK(file.open(QIODevice::WriteOnly));
    file.write(input.mid(4 + uchar(head[3])));
    file.close();
    ZConfig config(file.fileName(), true);
    FUZZ_CHECK(asBool ? config.writeEntry(group, key, bool(head[2] & 2))
                      : config.writeEntry(group, key, value));
    FUZZ_CHECK(ZConfig(file.fileName(), false).readEntry(group, key) == value);
    return 0;
}
