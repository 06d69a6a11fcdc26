#include "app/shell_state.h"

ShellState& shellState() {
    static ShellState state;
    return state;
}
