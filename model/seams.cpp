// SPDX-License-Identifier: MIT
#include "seams.h"
#include <atomic>

namespace obr {

static std::atomic<Notifier *> g_notifier{nullptr};

Notifier *coreNotifier() { return g_notifier.load(); }
void setCoreNotifier(Notifier *n) { g_notifier.store(n); }

}   // namespace obr
