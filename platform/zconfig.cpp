#include "zconfig.h"

#include "fsname.h"
#include "safesave.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString slot(const QString &group, const QString &key)
{
    return group + QLatin1Char('\n') + key;
}

const char ByteOrderMark[] = "\xEF\xBB\xBF";

// A line without its line break.
QByteArray body(const QByteArray &line)
{
    qsizetype end = line.size();
    if (end > 0 && line[end - 1] == '\n')
        --end;
    if (end > 0 && line[end - 1] == '\r')
        --end;
    return line.left(end);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

bool isGroupLine(const QByteArray &trimmed)
{
    return trimmed.size() >= 2 && trimmed.startsWith('[') && trimmed.endsWith(']');
}

bool isCommentLine(const QByteArray &trimmed)
{
    return trimmed.startsWith('#') || trimmed.startsWith(';');
}

} // namespace

ZConfig::ZConfig(const QString &path, bool writable)
    : filePath(path), writable(writable)
{
    QString unreadable;
    current = load(filePath, &unreadable);
}

ZConfig::~ZConfig() = default;

ZConfig::Lines ZConfig::load(const QString &path, QString *unreadable)
{
    Lines lines;
    unreadable->clear();
    // No file (or a link to none) reads as empty; one that is there but
    // cannot be read says why.
    const int fd = open(fsEncode(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            *unreadable = QString::fromLocal8Bit(strerror(errno));
        return lines;
    }
    QByteArray all;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            *unreadable = QString::fromLocal8Bit(strerror(errno));
        if (n <= 0)
            break;
        all.append(buffer, n);
    }
    close(fd);
    if (!unreadable->isEmpty())
        return lines;
    lines.loaded = true;
    qsizetype start = 0;
    if (all.startsWith(ByteOrderMark)) {
        lines.byteOrderMark = true;
        start = 3;
    }
    while (start < all.size()) {
        qsizetype end = all.indexOf('\n', start);
        end = end < 0 ? all.size() : end + 1;
        lines.text.push_back(all.mid(start, end - start));
        start = end;
    }
    if (!lines.text.empty() && lines.text.front().endsWith("\r\n"))
        lines.lineBreak = "\r\n";
    index(lines);
    return lines;
}

void ZConfig::index(Lines &lines)
{
    lines.keyLine.clear();
    lines.groupEnd.clear();
    QString group;
    bool inGroup = false;
    for (int i = 0; i < int(lines.text.size()); ++i) {
        const QByteArray trimmed = body(lines.text[size_t(i)]).trimmed();
        if (trimmed.isEmpty() || isCommentLine(trimmed))
            continue;
        if (isGroupLine(trimmed)) {
            group = QString::fromUtf8(trimmed.mid(1, trimmed.size() - 2).trimmed());
            inGroup = true;
            if (!lines.groupEnd.contains(group))
                lines.groupEnd.insert(group, i + 1);
            continue;
        }
        const qsizetype eq = trimmed.indexOf('=');
        if (!inGroup || eq <= 0)
            continue;
        const QString key = QString::fromUtf8(trimmed.left(eq).trimmed());
        const QString where = slot(group, key);
        if (!lines.keyLine.contains(where))
            lines.keyLine.insert(where, i);
        lines.groupEnd.insert(group, i + 1);
    }
}

QByteArray ZConfig::encodeValue(const QString &value)
{
    const QByteArray utf8 = fsEncode(value);
    bool quote = utf8.startsWith('"');
    if (!utf8.isEmpty()) {
        const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
        quote = quote || blank(utf8.front()) || blank(utf8.back());
    }
    quote = quote || utf8.contains('\n') || utf8.contains('\r');
    if (!quote)
        return utf8;
    QByteArray out;
    out.reserve(utf8.size() + 8);
    out += '"';
    for (char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    out += '"';
    return out;
}

QString ZConfig::decodeValue(const QByteArray &stored)
{
    const QByteArray text = stored.trimmed();
    if (text.size() < 2 || !text.startsWith('"') || !text.endsWith('"'))
        return fsDecode(text);
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 1; i < text.size() - 1; ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size() - 1) {
            const char next = text[++i];
            switch (next) {
            case 'n': c = '\n'; break;
            case 'r': c = '\r'; break;
            case 't': c = '\t'; break;
            case '"': c = '"'; break;
            case '\\': c = '\\'; break;
            default: out += '\\'; c = next;
            }
        }
        out += c;
    }
    return fsDecode(out);
}

bool ZConfig::lookUp(const QString &group, const QString &key, QString *value) const
{
    const auto it = current.keyLine.constFind(slot(group, key));
    if (it == current.keyLine.constEnd())
        return false;
    const QByteArray line = body(current.text[size_t(it.value())]);
    *value = decodeValue(line.mid(line.indexOf('=') + 1));
    return true;
}

QString ZConfig::readEntry(const QString &group, const QString &key,
                           const QString &defaultValue) const
{
    QString value;
    return lookUp(group, key, &value) ? value : defaultValue;
}

bool ZConfig::readBoolEntry(const QString &group, const QString &key, bool defaultValue) const
{
    QString value;
    if (!lookUp(group, key, &value))
        return defaultValue;
    const QString v = value.trimmed().toLower();
    if (v == QLatin1String("true") || v == QLatin1String("1") || v == QLatin1String("yes")
        || v == QLatin1String("on"))
        return true;
    if (v == QLatin1String("false") || v == QLatin1String("0") || v == QLatin1String("no")
        || v == QLatin1String("off"))
        return false;
    return defaultValue;
}

int ZConfig::readNumEntry(const QString &group, const QString &key, int defaultValue) const
{
    QString value;
    if (!lookUp(group, key, &value))
        return defaultValue;
    bool ok = false;
    const int number = value.trimmed().toInt(&ok, 10);
    return ok ? number : defaultValue;
}

bool ZConfig::writeEntry(const QString &group, const QString &key, bool value)
{
    return writeEntry(group, key, value ? QStringLiteral("true") : QStringLiteral("false"));
}

bool ZConfig::writeEntry(const QString &group, const QString &key, const QString &value)
{
    if (!writable)
        return false;
    // Start from the file as it is now, so that edits made by hand while the
    // program ran are kept. A file that is there but cannot be read is left
    // alone rather than replaced by what little we know of it.
    QString unreadable;
    Lines lines = load(filePath, &unreadable);
    if (!unreadable.isEmpty()) {
        reportFailedSave(filePath, QLatin1String("cannot read it: ") + unreadable);
        return false;
    }
    if (!lines.loaded)
        lines = current;

    const QByteArray &brk = lines.lineBreak;
    const auto at = lines.keyLine.constFind(slot(group, key));
    if (at != lines.keyLine.constEnd()) {
        // Only the value changes: the key, the blanks around "=" and after
        // the value, and the line break stay as they were.
        QByteArray &line = lines.text[size_t(at.value())];
        const QByteArray text = body(line);
        qsizetype from = text.indexOf('=') + 1;
        while (from < text.size() && isBlank(text[from]))
            ++from;
        qsizetype to = text.size();
        while (to > from && isBlank(text[to - 1]))
            --to;
        line = text.left(from) + encodeValue(value) + text.mid(to) + line.mid(text.size());
    } else {
        const QByteArray entry = key.toUtf8() + '=' + encodeValue(value) + brk;
        if (lines.groupEnd.contains(group)) {
            lines.text.insert(lines.text.begin() + lines.groupEnd.value(group), entry);
        } else {
            if (!lines.text.empty() && !lines.text.back().trimmed().isEmpty())
                lines.text.push_back(brk);
            lines.text.push_back('[' + group.toUtf8() + ']' + brk);
            lines.text.push_back(entry);
        }
    }
    index(lines);
    if (!save(lines))
        return false;
    lines.loaded = true;
    current = std::move(lines);
    return true;
}

bool ZConfig::save(const Lines &lines) const
{
    QByteArray bytes;
    if (lines.byteOrderMark)
        bytes += ByteOrderMark;
    for (size_t i = 0; i < lines.text.size(); ++i) {
        // A last line without a line break that now has lines after it
        // gets the file's own.
        bytes += lines.text[i];
        if (i + 1 < lines.text.size() && !lines.text[i].endsWith('\n'))
            bytes += lines.lineBreak;
    }
    return saveFile(filePath, bytes);
}
