#include "playbacksettings.h"

#include "platform/zconfig.h"

PlaybackSettings PlaybackSettings::read(const ZConfig &config)
{
    PlaybackSettings s;
    const QString group = QStringLiteral("PLAYBACK");
    const QString atEnd = config.readEntry(group, QStringLiteral("ATEND"), QString()).trimmed().toUpper();
    if (atEnd == QLatin1String("LIST"))
        s.atEnd = AtEnd::List;
    else if (atEnd == QLatin1String("NEXT"))
        s.atEnd = AtEnd::Next;
    s.nowPlaying = config.readBoolEntry(group, QStringLiteral("NOWPLAYING"), false);
    s.probeAhead = config.readBoolEntry(group, QStringLiteral("PROBEAHEAD"), false);
    s.resume = config.readBoolEntry(group, QStringLiteral("RESUME"), false);
    const QString language = QStringLiteral("LANGUAGE");
    s.pauseHelp = config.readEntry(language, QStringLiteral("PAUSEKEY"), QString());
    s.seekHelp = config.readEntry(language, QStringLiteral("SEEKKEY"), QString());
    s.stopHelp = config.readEntry(language, QStringLiteral("STOPKEY"), QString());
    s.resumedText = config.readEntry(language, QStringLiteral("RESUMED"),
                                     QStringLiteral("Resumed at %1"));
    return s;
}
