#include "http/io_cancel.h"

#include <atomic>

namespace {
std::atomic<CancelCheck> installedCheck{nullptr};
}  // namespace

void SetCancelCheck(CancelCheck check) {
    installedCheck = check;
}

bool CancelRequested() {
    const CancelCheck check = installedCheck.load();
    return check != nullptr && check();
}
