// menureport.dll: loaded into a running program by "tvprobe menu-items", it reports the popup
// menus that program shows. A menu can only be read inside the process that owns it, so the
// report is written from here, to %TEMP%\tvprobe-menu-<pid>.json, and the library unloads.
#include <windows.h>

#include <string>
#include <vector>

#include "menu_json.h"

namespace {

HMODULE thisModule = nullptr;

BOOL CALLBACK collectShownMenu(HWND window, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) &&
        std::wstring(name) == L"#32768") {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    }
    return TRUE;
}

std::string report() {
    std::vector<HWND> shown;
    EnumWindows(collectShownMenu, reinterpret_cast<LPARAM>(&shown));
    std::string json = "{\"menus\":[";
    for (size_t i = 0; i < shown.size(); ++i) {
        DWORD_PTR menu = 0;
        // MN_GETHMENU, answered by the owner's menu loop.
        SendMessageTimeoutW(shown[i], 0x01E1, 0, 0, SMTO_ABORTIFHUNG, 5000, &menu);
        RECT rect{};
        GetWindowRect(shown[i], &rect);
        json += std::string(i != 0 ? "," : "") + "{\"window\":[" + std::to_string(rect.left) + "," +
                std::to_string(rect.top) + "," + std::to_string(rect.right) + "," +
                std::to_string(rect.bottom) +
                "],\"items\":" + menuItemsJson(reinterpret_cast<HMENU>(menu)) + "}";
    }
    return json + "]}";
}

void writeReport(const std::string& json) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring target =
        std::wstring(folder) + L"tvprobe-menu-" + std::to_wstring(GetCurrentProcessId()) + L".json";
    const std::wstring partial = target + L".part";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, json.data(), static_cast<DWORD>(json.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
}

DWORD WINAPI reportAndUnload(void*) {
    writeReport(report());
    FreeLibraryAndExitThread(thisModule, 0);
}

}  // namespace

// The work runs on a thread of its own: the loader lock is held here.
BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        thisModule = module;
        DisableThreadLibraryCalls(module);
        HANDLE thread = CreateThread(nullptr, 0, reportAndUnload, nullptr, 0, nullptr);
        if (thread != nullptr) {
            CloseHandle(thread);
        }
    }
    return TRUE;
}
