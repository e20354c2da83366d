#pragma once

#include <QString>

class ZConfig;

// The [PLAYBACK] settings of mplayer.ini, read once at start and never
// written.
struct PlaybackSettings
{
    // What follows a file that has played to its end. ATEND: STAY (also when
    // absent or unknown) leaves the player on it until F2, LIST brings the
    // list back, NEXT plays the next file of the list.
    enum class AtEnd { Stay, List, Next };
    AtEnd atEnd = AtEnd::Stay;
    // NOWPLAYING=YES (or true, on, 1): a file without video gets a screen
    // of its own, with its name, tags, position and the keys.
    bool nowPlaying = false;
    // PROBEAHEAD=YES: a file is probed while the cursor rests on it, and the
    // answers are kept for the run, so that choosing it starts the player at
    // once. Absent or NO: each file is probed when it is chosen.
    bool probeAhead = false;
    // [LANGUAGE] PAUSEKEY, SEEKKEY, STOPKEY: that screen's key help.
    QString pauseHelp;
    QString seekHelp;
    QString stopHelp;

    static PlaybackSettings read(const ZConfig &config);
};
