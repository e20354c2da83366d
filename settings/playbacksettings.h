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
    // RESUME=YES: each file starts where it was left, the list marks the
    // files played, and the current row lands where the user was.
    bool resume = false;
    // [LANGUAGE] PAUSEKEY, SEEKKEY, STOPKEY: that screen's key help.
    QString pauseHelp;
    QString seekHelp;
    QString stopHelp;
    // [LANGUAGE] RESUMED: shown on the picture when a file resumes, %1 the
    // place ("Resumed at %1" when absent).
    QString resumedText;

    static PlaybackSettings read(const ZConfig &config);
};
