#pragma once

#include <QByteArray>
#include <QString>

// File names are bytes; the program's texts are QString. Names that are not
// UTF-8 (an old FAT card, an archive from another system) must survive the
// trip both ways, so every path crosses between the two through these.

// Lossless mapping between file-system bytes and QString: valid UTF-8 decodes as usual, every byte of an invalid sequence becomes the lone surrogate U+DC00+byte (U+DC80..U+DCFF), and encoding reverses it exactly.
QString fsDecode(const QByteArray &bytes);
QByteArray fsEncode(const QString &name);
