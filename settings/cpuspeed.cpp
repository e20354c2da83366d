// The high-speed option and the CPU operating point.

#include "app/zfileselectdialog.h"
#include "devicecontrol.h"
#include "platform/zconfig.h"
#include "platform/zsingleselectdlg.h"

#include <QFile>
#include <QStringList>

void ZFileSelectDialog::applyCpuSpeed(bool saveAndRaise)
{
    if (saveAndRaise) {
        QFile op(DeviceControl::cpuOperatingPointPath());
        op.open(QIODevice::ReadOnly);
        const QString line = QString::fromLatin1(op.readLine(10));
        bool numeric = false;
        const int value = line.left(3).toInt(&numeric, 10);
        // Only a number actually read is kept: restoring a made-up 0 would
        // set the CPU to an operating point it never had.
        cpuOpRecorded = numeric;
        if (numeric)
            savedCpuOp = value;
        DeviceControl::runShellCommand("pmtool -d 0");
        DeviceControl::runShellCommand("echo 532 >/sys/mpm/op");
        op.close();
        return;
    }

    DeviceControl::runShellCommand("pmtool -d 0");
    if (cpuOpRecorded) {
        const QString command = QStringLiteral("echo %1 >/sys/mpm/op").arg(long(savedCpuOp), 0, 10);
        DeviceControl::runShellCommand(command.toLatin1());
    }
}

void ZFileSelectDialog::slotCPUSpeed()
{
    const QString language = QStringLiteral("LANGUAGE");
    const QString title = config->readEntry(language, QStringLiteral("CPUSPEED"), QString());
    auto *dialog = new ZSingleSelectDlg(title, QLatin1String(""), this, nullptr, true, 0, 0);
    QStringList entries;
    entries << config->readEntry(language, QStringLiteral("ENABLE"), QString())
            << config->readEntry(language, QStringLiteral("DISABLE"), QString());
    dialog->addItemsList(entries);
    dialog->exec();
    switch (dialog->getCheckedItemIndex()) {
    case 0:
        config->writeEntry(QStringLiteral("HiSpeedMode"), QStringLiteral("Enabled"), true);
        hiSpeedMode = true;
        break;
    case 1:
        config->writeEntry(QStringLiteral("HiSpeedMode"), QStringLiteral("Enabled"), false);
        hiSpeedMode = false;
        break;
    default:
        break;
    }
    delete dialog;
}
