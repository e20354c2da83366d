// Runs each file named once: the committed corpus as an ordinary test.

#include "fuzzcheck.h"

#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        QFile file(QString::fromLocal8Bit(argv[i]));
        FUZZ_CHECK(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        fprintf(stderr, "%s\n", argv[i]);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.constData()),
                               size_t(data.size()));
    }
    return argc > 1 ? 0 : 1;
}
