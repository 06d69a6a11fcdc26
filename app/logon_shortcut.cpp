#include "app/logon_shortcut.h"

bool startsAtLogOn() {
    return false;
}

bool setStartAtLogOn(bool) {
    return false;
}
