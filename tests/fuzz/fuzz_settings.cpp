// The settings file, which people edit by hand. Whatever the file holds, a value written reads
// back, from the open object and from a fresh read; every other key reads as before; every other
// line is still there, in order. Input: byte 0 picks the group, byte 1 the key; bit 0 of byte 2
// writes a boolean (bit 1), else byte 3 is the length of the UTF-8 value that follows; the rest
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

// The lines without the carriage returns before their breaks; a leading byte-order mark as a
// line of its own, which must be kept as well.
static QByteArrayList linesOf(QByteArray text)
{
    if (text.startsWith("\xEF\xBB\xBF"))
        text.insert(3, '\n');
    QByteArrayList lines = text.split('\n');
    for (QByteArray &line : lines)
        while (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray head = input.left(4) + QByteArray(4, '\0');
    const int slot = uchar(head[0]) % 4 * 6 + uchar(head[1]) % 6; // the pair's place in allValues
    const QString group = QLatin1String(Groups[slot / 6]);
    const QString key = QLatin1String(Keys[slot % 6]);
    const bool asBool = head[2] & 1;
    const QString value = asBool ? QLatin1String(head[2] & 2 ? "true" : "false")
                                 : QString::fromUtf8(input.mid(4, uchar(head[3])));
    const QByteArray original = input.mid(4 + uchar(head[3]));

    static const QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("mplayer.ini")));
    FUZZ_CHECK(file.open(QIODevice::WriteOnly), "cannot open %s", qPrintable(file.fileName()));
    FUZZ_CHECK(file.write(original) == original.size(), "cannot write");
    file.close();
    ZConfig config(file.fileName(), true);
    const QStringList before = allValues(config);
    const bool written = asBool ? config.writeEntry(group, key, bool(head[2] & 2))
                                : config.writeEntry(group, key, value);
    FUZZ_CHECK(written, "writeEntry failed");

    const ZConfig reread(file.fileName(), false);
    FUZZ_CHECK(config.readEntry(group, key) == value, "\"%s\" was not kept", qPrintable(value));
    FUZZ_CHECK(reread.readEntry(group, key) == value, "\"%s\" not on disk", qPrintable(value));
    QStringList after = allValues(reread);
    after[slot] = before[slot];
    FUZZ_CHECK(after == before, "another key changed");

    FUZZ_CHECK(file.open(QIODevice::ReadOnly), "cannot read back %s", qPrintable(file.fileName()));
    const QByteArrayList storedLines = linesOf(file.readAll());
    qsizetype from = 0;
    for (const QByteArray &line : linesOf(original)) {
        // As keys are read: the blanks trimmed, then a byte-order mark the decoder drops.
        const QString words = QString::fromUtf8(line.trimmed()).simplified();
        if (words.startsWith(key + QLatin1Char('=')) || words.startsWith(key + QLatin1String(" =")))
            continue; // an entry of the key written
        from = storedLines.indexOf(line, from) + 1;
        FUZZ_CHECK(from > 0, "the line \"%s\" was lost", line.constData());
    }
    return 0;
}
