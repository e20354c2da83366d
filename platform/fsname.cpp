#include "fsname.h"

namespace {

constexpr char16_t EscapeBase = 0xDC00;
constexpr char16_t FirstEscape = 0xDC80;
constexpr char16_t LastEscape = 0xDCFF;

// Length of the well-formed UTF-8 sequence at p[0..left), or 0. Overlong
// forms, encoded surrogates (ED A0..BF xx) and code points above U+10FFFF
// are not well formed: their bytes are escaped one by one, so that decoding
// never turns two different byte strings into the same text.
int sequenceLength(const uchar *p, qsizetype left, char32_t *codePoint)
{
    const uchar lead = p[0];
    int length;
    char32_t cp;
    char32_t least;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2; cp = lead & 0x1F; least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3; cp = lead & 0x0F; least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4; cp = lead & 0x07; least = 0x10000;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    *codePoint = cp;
    return length;
}

void appendUtf8(QByteArray &out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

} // namespace

QString fsDecode(const QByteArray &bytes)
{
    if (bytes.isNull())
        return QString();
    QString out(QLatin1String(""));
    out.reserve(bytes.size());
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        if (p[i] < 0x80) {
            out += QChar(char16_t(p[i]));
            ++i;
            continue;
        }
        char32_t cp = 0;
        const int length = sequenceLength(p + i, size - i, &cp);
        if (length == 0) {
            out += QChar(char16_t(EscapeBase + p[i]));
            ++i;
        } else {
            if (cp >= 0x10000) {
                out += QChar(QChar::highSurrogate(cp));
                out += QChar(QChar::lowSurrogate(cp));
            } else {
                out += QChar(char16_t(cp));
            }
            i += length;
        }
    }
    return out;
}

QByteArray fsEncode(const QString &name)
{
    if (name.isNull())
        return QByteArray();
    QByteArray out("");
    out.reserve(name.size());
    const qsizetype size = name.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t u = name.at(i).unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < size && name.at(i + 1).isLowSurrogate()) {
            appendUtf8(out, QChar::surrogateToUcs4(u, name.at(i + 1).unicode()));
            ++i;
        } else if (u >= FirstEscape && u <= LastEscape) {
            out += char(u - EscapeBase);
        } else if (QChar::isSurrogate(u)) {
            // Not from a file name: a text that lost half of a pair. It is
            // written as the replacement character, never as bytes that
            // would decode to something else.
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}
