#include "app/dialog_controls.h"

#include <algorithm>

#include "http/code_page.h"
#include "settings/option_store.h"

std::string toThreadAnsi(std::wstring_view wide) {
    std::size_t units = std::min(wide.size(), kMaxValueBytes);
    while (units > 0 && ThreadAnsiBytes(wide.substr(0, units)) > kMaxValueBytes) {
        --units;
    }
    if (units > 0 && units < wide.size() && IS_HIGH_SURROGATE(wide[units - 1])) {
        --units;
    }
    wide = wide.substr(0, units);
    // The text ends at its first zero, as the store reads it.
    std::string bytes = ToThreadAnsi(wide);
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    return bytes;
}

std::wstring controlText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int copied = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

bool isChecked(HWND page, int id) {
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

void setChecked(HWND page, int id, bool checked) {
    CheckDlgButton(page, id, checked ? BST_CHECKED : BST_UNCHECKED);
}
