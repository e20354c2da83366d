// Runs every file in the folders named through the fuzz target once: the committed corpus as an
// ordinary test.

#include "fuzzcheck.h"

#include <QDir>
#include <QFile>

int main(int argc, char **argv)
{
    long long count = 0;
    for (int i = 1; i < argc; ++i) {
        const QDir dir(QString::fromLocal8Bit(argv[i]));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            FUZZ_CHECK(file.open(QIODevice::ReadOnly), "cannot read %s", qPrintable(name));
            const QByteArray data = file.readAll();
            fprintf(stderr, "%s\n", qPrintable(file.fileName()));
            const auto *bytes = reinterpret_cast<const uint8_t *>(data.constData());
            LLVMFuzzerTestOneInput(bytes, size_t(data.size()));
            ++count;
        }
    }
    fprintf(stderr, "%lld inputs passed\n", count);
    return count > 0 ? 0 : 1;
}
