// The settings file, which people edit by hand. For any file:
// - reading it does not crash;
// - after one value is written, a fresh read of the file gives that value for
//   that key, and every other key still reads as before;
// - every line of the file other than the one written (or the group header
//   added for it) is kept byte for byte.
//
// Input: byte 0 picks the group, byte 1 the key, byte 2 says whether a
// boolean (bit 0, value in bit 1) or a string is written, byte 3 is the
// length of the string value (UTF-8) that follows; the rest is the file.

#include "fuzzcheck.h"
#include "platform/zconfig.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

// The program's own group and key names, and a few like them. Kept short:
// every pair is read before and after each write.
const char *const Groups[] = {"FILESELECT", "HiSpeedMode", "LANGUAGE", "G"};
const char *const Keys[] = {"FILTER", "LASTDIR", "Enabled", "EXIT", "lastdir", "K"};
constexpr size_t GroupCount = sizeof Groups / sizeof *Groups;
constexpr size_t KeyCount = sizeof Keys / sizeof *Keys;

QString scratchFile()
{
    static QString path;
    if (path.isEmpty()) {
        QByteArray dir = (QDir(QStringLiteral("/dev/shm")).exists() ? "/dev/shm" : "/tmp");
        dir += "/morvane-fuzz-settings-XXXXXX";
        if (!mkdtemp(dir.data()))
            abort();
        path = QString::fromLocal8Bit(dir) + QStringLiteral("/mplayer.ini");
        static const QByteArray removeDir = dir;
        atexit([] {
            QDir(QString::fromLocal8Bit(removeDir)).removeRecursively();
        });
    }
    return path;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly), "cannot read back %s", qPrintable(path));
    return file.readAll();
}

// The lines of a file, without their line breaks; a last line break ends the
// last line and starts none.
std::vector<QByteArray> linesOf(const QByteArray &text)
{
    std::vector<QByteArray> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        lines.push_back(text.mid(start, end - start));
        start = end + 1;
    }
    return lines;
}

struct Snapshot
{
    std::vector<QString> values; // every group/key pair, null when absent
};

Snapshot readAllKeys(const ZConfig &config)
{
    Snapshot s;
    for (const char *g : Groups)
        for (const char *k : Keys)
            s.values.push_back(config.readEntry(QLatin1String(g), QLatin1String(k)));
    return s;
}

// A line as the program sees it: without the carriage return of a CRLF file.
QByteArray bare(const QByteArray &line)
{
    return line.endsWith('\r') ? line.left(line.size() - 1) : line;
}

// The entry for key, whatever the blanks around it and its "=".
bool isEntry(const QByteArray &line, const QByteArray &key)
{
    QByteArray text = bare(line).trimmed();
    if (text.startsWith("\xEF\xBB\xBF")) // a stray byte-order mark is no part of a key
        text = text.mid(3).trimmed();
    return text.startsWith(key) && text.mid(key.size()).trimmed().startsWith('=');
}

// Every line of before except possibly the one replaced is in after, in
// order, and what after adds is only the written entry (and for a new group its
// header and a blank line before it), each with the file's own line break.
// A last line without a line break gets the file's break once lines follow it;
// if that line itself ends in a carriage return, the break comes after it.
void checkOtherLinesKept(const std::vector<QByteArray> &before,
                         const std::vector<QByteArray> &after, const QByteArray &key,
                         const QByteArray &group, bool lastOpen)
{
    const size_t n = before.size();
    const auto kept = [&](size_t j, const QByteArray &line) {
        return bare(line) == bare(before[j]) || (lastOpen && j + 1 == n && line == before[j] + '\r');
    };
    if (after.size() == n) {
        int changed = 0;
        for (size_t i = 0; i < n; ++i) {
            if (after[i] != before[i]) {
                ++changed;
                FUZZ_CHECK(isEntry(after[i], key) && isEntry(before[i], key),
                           "line %zu changed, and not as the entry", i);
            }
        }
        FUZZ_CHECK(changed <= 1, "%d lines changed", changed);
        return;
    }
    if (after.size() == n + 1) {
        size_t i = 0;
        while (i < n && kept(i, after[i]))
            ++i;
        FUZZ_CHECK(isEntry(after[i], key), "inserted line %zu is not the entry", i);
        for (size_t j = i; j < n; ++j)
            FUZZ_CHECK(kept(j, after[j + 1]), "line %zu not kept after the insertion", j);
        return;
    }
    const QByteArray header = '[' + group + ']';
    const bool blank = after.size() == n + 3;
    FUZZ_CHECK(blank || after.size() == n + 2, "%zu lines became %zu", n, after.size());
    for (size_t j = 0; j < n; ++j)
        FUZZ_CHECK(kept(j, after[j]), "line %zu not kept", j);
    if (blank)
        FUZZ_CHECK(bare(after[n]).isEmpty(), "the line before a new group is not blank");
    FUZZ_CHECK(bare(after[after.size() - 2]) == header, "no group header before a new key");
    FUZZ_CHECK(isEntry(after.back(), key), "last line is not the entry");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    uint8_t head[4] = {0, 0, 0, 0};
    const size_t headSize = size < 4 ? size : 4;
    memcpy(head, data, headSize);
    const char *rest = reinterpret_cast<const char *>(data) + headSize;
    size_t restSize = size - headSize;
    const size_t valueSize = head[3] < restSize ? head[3] : restSize;

    const QString group = QLatin1String(Groups[head[0] % GroupCount]);
    const QString key = QLatin1String(Keys[head[1] % KeyCount]);
    const bool asBool = head[2] & 1;
    const bool boolValue = head[2] & 2;
    const QString value = QString::fromUtf8(rest, qsizetype(valueSize));
    const QByteArray original(rest + valueSize, qsizetype(restSize - valueSize));

    const QString path = scratchFile();
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write %s",
                   qPrintable(path));
        FUZZ_CHECK(file.write(original) == original.size(), "short write");
    }

    ZConfig config(path, true);
    const Snapshot before = readAllKeys(config);
    config.readBoolEntry(group, key, false);
    config.readNumEntry(group, key, -1);

    const bool written = asBool ? config.writeEntry(group, key, boolValue)
                                : config.writeEntry(group, key, value);
    FUZZ_CHECK(written, "writeEntry failed");

    const ZConfig reread(path, false);
    if (asBool) {
        FUZZ_CHECK(reread.readBoolEntry(group, key, !boolValue) == boolValue,
                   "bool %d did not read back", int(boolValue));
        FUZZ_CHECK(config.readBoolEntry(group, key, !boolValue) == boolValue,
                   "bool %d not kept in the open file", int(boolValue));
    } else {
        const QString back = reread.readEntry(group, key);
        FUZZ_CHECK(back == value, "value \"%s\" read back as \"%s\"", qPrintable(value),
                   qPrintable(back));
        FUZZ_CHECK(config.readEntry(group, key) == value, "value not kept in the open file");
    }

    const Snapshot after = readAllKeys(reread);
    size_t i = 0;
    for (const char *g : Groups) {
        for (const char *k : Keys) {
            const bool target = group == QLatin1String(g) && key == QLatin1String(k);
            FUZZ_CHECK(target || after.values[i] == before.values[i],
                       "[%s] %s changed from \"%s\" to \"%s\"", g, k,
                       qPrintable(before.values[i]), qPrintable(after.values[i]));
            ++i;
        }
    }

    const QByteArray stored = readAll(path);
    FUZZ_CHECK(!original.endsWith('\n') || stored.endsWith('\n'), "the file lost its last line break");
    // A byte-order mark stands in front of the first line, not as a line.
    const QByteArray bom("\xEF\xBB\xBF");
    FUZZ_CHECK(original.startsWith(bom) == stored.startsWith(bom), "the byte-order mark was not kept");
    const auto body = [&](const QByteArray &text) { return text.startsWith(bom) ? text.mid(3) : text; };
    checkOtherLinesKept(linesOf(body(original)), linesOf(body(stored)), key.toUtf8(), group.toUtf8(),
                        !body(original).isEmpty() && !original.endsWith('\n'));
    return 0;
}
