#pragma once

#include <QString>

// Texts for /bin/sh command lines built from file names.

// The inside of a '...' word: every ' becomes '\'' so the name stays one word.
QString quoteForSingleQuotes(const QString &text);
// The inside of a "..." word: ", $, ` and \ get a backslash.
QString quoteForDoubleQuotes(const QString &text);
// text as one shell word: unchanged when it holds nothing the shell treats
// specially, otherwise between single quotes.
QString shellWord(const QString &text);
