#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

// Where each file played was left, kept in a text file of its own beside
// mplayer.ini, the file played most recently first:
//
//   2830 - 734003200 /home/ana/Films/Nosferatu.avi
//   0 seen 52428800 /home/ana/Films/Short.mp4
//
// One line a file: the second it was left at (0: none kept), "seen" once it
// has played to its end (else "-"), its size in bytes, and its path byte for
// byte, written as mplayer.ini writes its values (a name that is not UTF-8
// or that holds a line break comes back exactly). A file is known by its
// path and its size: another file saved under the same name is one never
// played. Lines starting with "#" are comments; lines that do not read as
// an entry are left out.
class Positions
{
public:
    struct Entry
    {
        QByteArray path;
        qint64 size = 0;
        qint64 seconds = 0; // 0: no place kept
        bool seen = false;
    };

    // The files kept, at most.
    static constexpr int Limit = 1000;

    // Reads the file at path; none there is an empty store.
    explicit Positions(const QString &path);

    QString path() const { return filePath; }
    // Why the file there could not be read (it is then never written), or
    // an empty string.
    QString unreadable() const { return readError; }

    // The entry of the file at path (bytes, as key() gives them) if it has
    // that size.
    const Entry *find(const QByteArray &path, qint64 size) const;
    // The entries of the files directly in the folder dir (a canonical
    // path, as the browser shows it), by name.
    QHash<QString, Entry> inFolder(const QString &dir) const;
    // The name of the file in dir played most recently, or a null string.
    QString lastPlayedIn(const QString &dir) const;
    // Makes entry the one played most recently, in place of any of the same
    // path; the oldest beyond Limit are let go.
    void put(const Entry &entry);
    // The whole file, as saved.
    QByteArray text() const;

    // The bytes a file's path is kept under: a doubled slash at the start
    // (a file of the root folder, joined as "/" + "/" + name) made single.
    static QByteArray key(const QString &path);
    // The size of the regular file at key (a link is followed), or -1: a
    // FIFO, a device or a folder has no place to come back to.
    static qint64 fileSize(const QByteArray &key);
    // Whether a place counts: not within the first 10 s nor the last 5 % of
    // a clip of length seconds (0: not known).
    static bool counts(double seconds, double length);

private:
    QString filePath;
    QString readError;
    std::vector<Entry> entries; // the most recent first
};
