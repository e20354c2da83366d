#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The two ways the program reaches the handset's CPU settings: shell commands
// (pmtool, echo into the operating-point file) and reading that file. Both go
// through here so that tests can watch the commands and supply the file.
namespace DeviceControl {

using ShellRunner = std::function<int(const QByteArray &command)>;

// Runs command through /bin/sh and returns system()'s result.
int runShellCommand(const QByteArray &command);
// Replaces the runner; an empty function restores system().
void setShellRunner(ShellRunner runner);

// Where the CPU operating point is read: /sys/mpm/op.
QString cpuOperatingPointPath();
void setCpuOperatingPointPath(const QString &path);

} // namespace DeviceControl
