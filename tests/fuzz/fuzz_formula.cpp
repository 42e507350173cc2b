// SPDX-License-Identifier: Apache-2.0
// The formula parser on any text, with references that resolve to numbers.
#include "table/formula.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QVariant value = evaluateCellText(
        text, [](int row, int column) { return QVariant(double(row * 26 + column)); });
    formulaDisplayText(value);
    return 0;
}
