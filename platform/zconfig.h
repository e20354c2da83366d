#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

// A settings file of named groups of named keys, in INI form, UTF-8:
//
//   # comment
//   [GROUP]
//   KEY=value
//
// People edit these files by hand, so a write keeps everything else in the
// file as it was: comments, blank lines, unknown groups and keys, their order,
// even lines that do not parse, a leading byte-order mark, each line's own
// line break (new lines take that of the file's first line) and the blanks
// around a key's "=". A value is the text after the first "=", with blanks
// around it dropped; a value that needs its outer blanks, a line break, or a
// leading double quote is written between double quotes with backslash
// escapes (\" \\ \n \r \t). Values are bytes mapped as file names are
// (fsname.h), so a path that is not UTF-8 is stored and read back exactly.
//
// Every write replaces the file whole (saveFile, safesave.h) and is on disk
// when it returns. A write that fails leaves the old file byte for byte and
// says why in one line on standard error.
class ZConfig
{
public:
    // writable: the program may store values in this file. A file opened
    // with false is only read.
    ZConfig(const QString &path, bool writable);
    ~ZConfig();
    ZConfig(const ZConfig &) = delete;
    ZConfig &operator=(const ZConfig &) = delete;

    QString readEntry(const QString &group, const QString &key,
                      const QString &defaultValue = QString()) const;
    bool readBoolEntry(const QString &group, const QString &key, bool defaultValue) const;
    int readNumEntry(const QString &group, const QString &key, int defaultValue) const;

    // True when the value is stored on disk.
    bool writeEntry(const QString &group, const QString &key, const QString &value);
    bool writeEntry(const QString &group, const QString &key, bool value);

    QString path() const { return filePath; }

    // Value text as it is stored after "=", and back.
    static QByteArray encodeValue(const QString &value);
    static QString decodeValue(const QByteArray &stored);

private:
    struct Lines
    {
        std::vector<QByteArray> text; // each with its own line break; the last may have none
        QHash<QString, int> keyLine;  // "group\nkey" -> line of its first occurrence
        QHash<QString, int> groupEnd; // group -> line after its last key (or header)
        bool loaded = false;          // the file existed and was read
        bool byteOrderMark = false;   // the file began with a UTF-8 byte-order mark
        QByteArray lineBreak = "\n";  // the file's own, for new lines
    };

    // *unreadable: why a file that is there could not be read, else empty.
    static Lines load(const QString &path, QString *unreadable);
    static void index(Lines &lines);
    bool save(const Lines &lines) const;
    bool lookUp(const QString &group, const QString &key, QString *value) const;

    QString filePath;
    bool writable;
    Lines current;
};
