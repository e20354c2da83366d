#include "shellquote.h"

QString quoteForSingleQuotes(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return out;
}

QString quoteForDoubleQuotes(const QString &text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('$') || c == QLatin1Char('`')
            || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

QString shellWord(const QString &text)
{
    bool plain = true;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        const bool safe = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')
            || u == '/' || u == '.' || u == '_' || u == '-' || u == '+' || u == ',' || u == ':'
            || u == '@' || u == '%' || u >= 0x80;
        if (!safe) {
            plain = false;
            break;
        }
    }
    if (plain)
        return text;
    return QLatin1Char('\'') + quoteForSingleQuotes(text) + QLatin1Char('\'');
}
