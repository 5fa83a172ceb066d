// SPDX-License-Identifier: MIT
// Placeholder: replaced by the printing implementation.
#include "printing.h"
#include <QPrinter>

namespace obr {
namespace {
class NoDialogs : public PrintDialogs {
public:
    void printerSetup(QPrinter &, QWidget *) override {}
    QString pdfFileName(QWidget *) override { return {}; }
};
PrintDialogs *g_dialogs = nullptr;
} // namespace
PrintDialogs &defaultPrintDialogs() { static NoDialogs d; return d; }
void setPrintDialogs(PrintDialogs *d) { g_dialogs = d; }
void printWindow(QWidget *) {}
} // namespace obr
