// SPDX-License-Identifier: MIT
// Any bytes either give finite figures from at least two values or a UserError.
#include "io/loaders.h"
#include "model/errors.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const obr::WarrantyFile w = obr::readWarrantyFile(bytes);
        if (w.MasTGarant.size() < 2)
            std::abort();
        (void)obr::warrantyTexts(w, QStringLiteral("C:\\gar.txt"), u',');
    } catch (const obr::UserError &) {
    }
    return 0;
}
