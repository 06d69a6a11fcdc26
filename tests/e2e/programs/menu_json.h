// A menu and its submenus as JSON, for the test programs that read menus.
#pragma once

#include <windows.h>

#include <string>

#include "probe_json.h"

// [{"id", "text", "separator", "checked", "rect", "items" (a submenu's)}...]. The rectangle is
// the item's place on the screen while the menu is shown by this process, else all zero.
inline std::string menuItemsJson(HMENU menu) {
    std::string json = "[";
    const int count = menu != nullptr ? GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_FTYPE | MIIM_SUBMENU;
        item.dwTypeData = text;
        item.cch = 255;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item)) {
            continue;
        }
        RECT rect{};
        GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &rect);
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (json.size() > 1) {
            json += ",";
        }
        json += "{\"id\":" + std::to_string(item.wID) + ",\"text\":" + jsonUtf8(text) +
                ",\"separator\":" + ((item.fType & MFT_SEPARATOR) != 0 ? "true" : "false") +
                ",\"checked\":" + ((state & MF_CHECKED) != 0 ? "true" : "false") +
                ",\"grayed\":" + ((state & MF_GRAYED) != 0 ? "true" : "false") + ",\"rect\":[" +
                std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
                std::to_string(rect.right) + "," + std::to_string(rect.bottom) + "]";
        if (item.hSubMenu != nullptr) {
            json += ",\"items\":" + menuItemsJson(item.hSubMenu);
        }
        json += "}";
    }
    return json + "]";
}
