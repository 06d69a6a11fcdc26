#include "app/logon_shortcut.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

namespace {

constexpr const wchar_t* kShortcutName = L"tilvane.lnk";

struct ComReleaser {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <class Interface>
using ComPointer = std::unique_ptr<Interface, ComReleaser>;

struct TaskMemoryFreer {
    void operator()(wchar_t* text) const { CoTaskMemFree(text); }
};

// COM on this thread for as long as it lives; a thread that already has it keeps its own.
class ComScope {
  public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }

  private:
    HRESULT result_;
};

std::optional<std::filesystem::path> shortcutPath() {
    wchar_t* raw = nullptr;
    const HRESULT found = SHGetKnownFolderPath(FOLDERID_Startup, KF_FLAG_CREATE, nullptr, &raw);
    const std::unique_ptr<wchar_t, TaskMemoryFreer> folder(raw);
    if (FAILED(found) || folder == nullptr) {
        return std::nullopt;
    }
    return std::filesystem::path(folder.get()) / kShortcutName;
}

std::optional<std::wstring> programPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 6; ++attempt) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return std::nullopt;
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 4);
    }
    return std::nullopt;
}

// The program's files are relative to the folder it runs from, so the shortcut starts it there.
bool makeShortcut(const std::filesystem::path& shortcut) {
    const std::optional<std::wstring> program = programPath();
    std::error_code error;
    const std::filesystem::path startIn = std::filesystem::current_path(error);
    if (!program || error) {
        return false;
    }
    const ComScope com;
    IShellLinkW* rawLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&rawLink)))) {
        return false;
    }
    const ComPointer<IShellLinkW> link(rawLink);
    IPersistFile* rawFile = nullptr;
    if (FAILED(link->SetPath(program->c_str())) ||
        FAILED(link->SetWorkingDirectory(startIn.c_str())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&rawFile)))) {
        return false;
    }
    const ComPointer<IPersistFile> file(rawFile);
    return SUCCEEDED(file->Save(shortcut.c_str(), TRUE));
}

}  // namespace

bool startsAtLogOn() {
    const std::optional<std::filesystem::path> shortcut = shortcutPath();
    std::error_code error;
    return shortcut && std::filesystem::is_regular_file(*shortcut, error);
}

bool setStartAtLogOn(bool start) {
    const std::optional<std::filesystem::path> shortcut = shortcutPath();
    if (!shortcut) {
        return false;
    }
    if (start) {
        return makeShortcut(*shortcut);
    }
    std::error_code error;
    std::filesystem::remove(*shortcut, error);
    return !error;
}
