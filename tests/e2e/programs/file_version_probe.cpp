// Reports what Windows reads from a program file's resources: the version resource (fixed
// numbers and strings), whether it carries an icon group, and its manifest text.
// Usage: file_version_probe.exe PATH; one JSON line on standard output.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/programs/probe_json.h"

namespace {

struct LoadedModule {
    HMODULE module;
    ~LoadedModule() {
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
};

std::string versionString(const std::vector<BYTE>& info, const wchar_t* name) {
    std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), key.c_str(), &value, &length) || length == 0) {
        return "null";
    }
    return jsonUtf8(std::wstring(static_cast<const wchar_t*>(value), length - 1));
}

std::string fixedVersion(const std::vector<BYTE>& info) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
        return "null";
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    return "\"" + std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionLS)) + "\"";
}

std::string manifestText(HMODULE module) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (found == nullptr) {
        return "null";
    }
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
        return "null";
    }
    return jsonUtf8(std::string(static_cast<const char*>(bytes), SizeofResource(module, found)));
}

bool hasIconGroup(HMODULE module) {
    bool found = false;
    EnumResourceNamesW(
        module, MAKEINTRESOURCEW(14),
        [](HMODULE, LPCWSTR, LPWSTR, LONG_PTR param) -> BOOL {
            *reinterpret_cast<bool*>(param) = true;
            return FALSE;
        },
        reinterpret_cast<LONG_PTR>(&found));
    return found;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 2) {
        std::puts("{\"error\":\"usage: file_version_probe PATH\"}");
        return 2;
    }
    const std::wstring path = argv[1];
    LocalFree(argv);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> info(size);
    const bool hasVersion = size > 0 && GetFileVersionInfoW(path.c_str(), 0, size, info.data());
    LoadedModule module{LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)};
    if (module.module == nullptr) {
        std::puts("{\"error\":\"cannot load the file\"}");
        return 1;
    }
    std::string json = "{\"fileVersion\":" + (hasVersion ? fixedVersion(info) : "null");
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion", L"ProductName",
                                L"FileDescription", L"LegalCopyright", L"OriginalFilename"}) {
        json += ",\"" + toUtf8(name) + "\":" + (hasVersion ? versionString(info, name) : "null");
    }
    json += ",\"iconGroup\":" + std::string(hasIconGroup(module.module) ? "true" : "false");
    json += ",\"manifest\":" + manifestText(module.module) + "}";
    std::puts(json.c_str());
    return 0;
}
