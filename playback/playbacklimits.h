#pragma once

#include <QString>

// Frames whose buffer is larger than this (in bytes, YUV 4:2:0 with both
// sides raised to a multiple of 8 and the total to a multiple of 64) are
// scaled down to 320 by 240 for the handset's screen.
constexpr int ScaleThreshold = 1449984;

int frameBufferSize(int width, int height);
bool needsScaling(int width, int height);
// The shell command that plays path with the player in dir (which ends
// with "/").
QString playCommandLine(const QString &dir, const QString &path, bool scale);
