#include "mosaic/wall/shell_hooks.h"

#include <utility>

namespace {

ShellHooks& hooks() {
    static ShellHooks installed;
    return installed;
}

void callIfSet(const std::function<void()>& hook) {
    if (hook) {
        hook();
    }
}

}  // namespace

void setShellHooks(ShellHooks installed) {
    hooks() = std::move(installed);
}

void requestRepaint() {
    callIfSet(hooks().requestRepaint);
}

void showPinnedSaveError() {
    callIfSet(hooks().showPinnedSaveError);
}

void showTimelineRefusal() {
    callIfSet(hooks().showTimelineRefusal);
}
