#include "devicecontrol.h"

#include <cstdlib>

namespace DeviceControl {

namespace {
ShellRunner &runner()
{
    static ShellRunner current;
    return current;
}

QString &operatingPointPath()
{
    static QString path = QStringLiteral("/sys/mpm/op");
    return path;
}
} // namespace

int runShellCommand(const QByteArray &command)
{
    if (runner())
        return runner()(command);
    return std::system(command.constData());
}

void setShellRunner(ShellRunner replacement)
{
    runner() = std::move(replacement);
}

QString cpuOperatingPointPath()
{
    return operatingPointPath();
}

void setCpuOperatingPointPath(const QString &path)
{
    operatingPointPath() = path;
}

} // namespace DeviceControl
