// SPDX-License-Identifier: MIT
// Writes the bundled sample files. Usage: gen_sample OUTDIR
#include "io/sample_gen.h"

#include <QFile>
#include <cstdio>

int main(int argc, char **argv)
{
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    obr::SampleParams p;
    const QByteArray fdt = obr::generateFailureFile(p);
    const QByteArray gar = obr::generateWarrantyFile(
        QStringLiteral("Сроки окончания гарантии, изделие К-120, выборка 2018 г."), 400, p.sred,
        p.sko, p.seed + 7);
    for (auto [name, bytes] : {std::pair{QStringLiteral("/sample.fdt"), fdt},
                               std::pair{QStringLiteral("/gar_sample.txt"), gar}}) {
        QFile f(dir + name);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
            return 1;
        }
    }
    return 0;
}
