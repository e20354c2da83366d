// Runs each file of the folders named once: the committed corpus as an ordinary test.

#include "fuzzcheck.h"

#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        const QDir dir(QString::fromLocal8Bit(argv[i]));
        for (const QString &name : dir.entryList(QDir::Files)) {
            QFile file(dir.filePath(name));
            FUZZ_CHECK(file.open(QIODevice::ReadOnly));
            const QByteArray data = file.readAll();
            fprintf(stderr, "%s\n", qPrintable(file.fileName()));
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.constData()),
                                   size_t(data.size()));
            ++count;
        }
    }
    return count > 0 ? 0 : 1;
}
