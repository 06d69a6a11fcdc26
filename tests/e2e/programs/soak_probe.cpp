// soak_probe: drives a running tilvane's search cycles faster than its timer and reads what
// the process holds, for the soak under Wine. Each command prints one JSON line on stdout;
// the exit code is 0 on success, 1 when the window is gone and 2 on a usage error.
//
//   soak_probe resources HWND
//       the window's process: handle count (GetProcessHandleCount, and its entries in the
//       system's handle list, see listedHandles), GDI and USER object counts
//       (GetGuiResources, and the GDI handle table read directly, see gdiTableObjects),
//       private bytes, working set and page faults
//   soak_probe tick HWND PERIOD_MS STOP_FILE TIMEOUT_MS
//       posts the search timer's WM_TIMER to the window every PERIOD_MS until STOP_FILE
//       exists, the window is gone or TIMEOUT_MS have passed; the program ignores a tick
//       while a cycle is still running or waits for placement
#include <windows.h>

#include <psapi.h>
#include <shellapi.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "app/shell_state.h"
#include "app/win_handles.h"

namespace {

int emit(const std::string& json, int code = 0) {
    const std::string line = json + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    return code;
}

std::vector<std::wstring> commandLine() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> words;
    for (int i = 0; argv != nullptr && i < count; ++i) {
        words.emplace_back(argv[i]);
    }
    LocalFree(argv);
    return words;
}

HWND windowFrom(const std::wstring& number) {
    return reinterpret_cast<HWND>(
        static_cast<uintptr_t>(std::wcstoull(number.c_str(), nullptr, 0)));
}

// One entry of the GDI handle table that the PEB points at (x64 layout).
struct GdiHandleEntry {
    std::uint64_t object;
    std::uint32_t owner;
    std::uint16_t unique;
    std::uint8_t type;
    std::uint8_t flags;
    std::uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr std::size_t kGdiTableEntries = 0x10000;
constexpr std::size_t kPebGdiSharedHandleTable = 0xF8;

// Wine answers GetGuiResources with 0 (not implemented), but keeps the process's GDI objects
// in a handle table of the process's own, as Windows does, whose address is in the PEB.
// The live objects are its entries with a type; -1 when the table cannot be read.
long long gdiTableObjects(HANDLE process) {
    using QueryProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    if (query == nullptr ||
        query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) {
        return -1;
    }
    std::uint64_t table = 0;
    const auto* field =
        reinterpret_cast<const char*>(basic.PebBaseAddress) + kPebGdiSharedHandleTable;
    if (!ReadProcessMemory(process, field, &table, sizeof table, nullptr) || table == 0) {
        return -1;
    }
    std::vector<GdiHandleEntry> entries(kGdiTableEntries);
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(static_cast<uintptr_t>(table)),
                           entries.data(), entries.size() * sizeof(GdiHandleEntry), nullptr)) {
        return -1;
    }
    long long live = 0;
    for (const GdiHandleEntry& entry : entries) {
        live += entry.type != 0 ? 1 : 0;
    }
    return live;
}

// One entry of the system's handle list (SystemHandleInformation, x64 layout).
struct SystemHandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE handleFlags;
    USHORT handleValue;
    PVOID objectPointer;
    ULONG accessMask;
};
constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
constexpr std::size_t kHandleListLimit = 256 * 1024 * 1024;

// Wine answers GetProcessHandleCount for another process with 0 (not implemented), but its
// server lists every process's handles, as Windows does; -1 when the list cannot be had.
long long listedHandles(DWORD pid) {
    using QuerySystem = NTSTATUS(NTAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QuerySystem>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) {
        return -1;
    }
    std::vector<std::uint64_t> buffer(64 * 1024);
    for (;;) {
        const auto bytes = static_cast<ULONG>(buffer.size() * sizeof(std::uint64_t));
        ULONG needed = 0;
        const NTSTATUS status = query(kSystemHandleInformation, buffer.data(), bytes, &needed);
        if (status == kInfoLengthMismatch && bytes < kHandleListLimit) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0) {
            return -1;
        }
        break;
    }
    // A ULONG count, then the entries at the next pointer-aligned offset.
    const auto count = static_cast<std::size_t>(*reinterpret_cast<const ULONG*>(buffer.data()));
    const auto* entries = reinterpret_cast<const SystemHandleEntry*>(buffer.data() + 1);
    const std::size_t room =
        (buffer.size() - 1) * sizeof(std::uint64_t) / sizeof(SystemHandleEntry);
    long long owned = 0;
    for (std::size_t i = 0; i < count && i < room; ++i) {
        owned += entries[i].ownerPid == pid ? 1 : 0;
    }
    return owned;
}

int commandResources(HWND window) {
    DWORD pid = 0;
    if (!IsWindow(window) || GetWindowThreadProcessId(window, &pid) == 0) {
        return emit("{\"error\":\"no such window\"}", 1);
    }
    const UniqueHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) {
        return emit("{\"error\":\"cannot open the process\"}", 1);
    }
    DWORD handles = 0;
    const bool handlesRead = GetProcessHandleCount(process.get(), &handles) != 0;
    const DWORD gdi = GetGuiResources(process.get(), GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(process.get(), GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    const bool memoryRead =
        GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof memory) != 0;
    return emit(
        "{\"pid\":" + std::to_string(pid) +
        ",\"handles\":" + (handlesRead ? std::to_string(handles) : "null") +
        ",\"listed_handles\":" + std::to_string(listedHandles(pid)) +
        ",\"gdi_objects\":" + std::to_string(gdi) + ",\"user_objects\":" + std::to_string(user) +
        ",\"gdi_table_objects\":" + std::to_string(gdiTableObjects(process.get())) +
        ",\"private_bytes\":" + (memoryRead ? std::to_string(memory.PrivateUsage) : "null") +
        ",\"working_set\":" + std::to_string(memory.WorkingSetSize) +
        ",\"page_faults\":" + std::to_string(memory.PageFaultCount) + "}");
}

int commandTick(HWND window, DWORD periodMs, const std::wstring& stopFile, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    long long ticks = 0;
    for (;;) {
        if (!IsWindow(window)) {
            return emit("{\"ticks\":" + std::to_string(ticks) + ",\"gone\":true}", 1);
        }
        if (GetFileAttributesW(stopFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
            return emit("{\"ticks\":" + std::to_string(ticks) + ",\"stopped\":true}");
        }
        if (GetTickCount() - start >= timeoutMs) {
            return emit("{\"ticks\":" + std::to_string(ticks) + ",\"timeout\":true}");
        }
        PostMessageW(window, WM_TIMER, kSearchTimerId, 0);
        ++ticks;
        Sleep(periodMs);
    }
}

}  // namespace

int main() {
    const std::vector<std::wstring> words = commandLine();
    if (words.size() == 3 && words[1] == L"resources") {
        return commandResources(windowFrom(words[2]));
    }
    if (words.size() == 6 && words[1] == L"tick") {
        return commandTick(
            windowFrom(words[2]), static_cast<DWORD>(std::wcstoul(words[3].c_str(), nullptr, 10)),
            words[4], static_cast<DWORD>(std::wcstoul(words[5].c_str(), nullptr, 10)));
    }
    return emit(
        "{\"error\":\"usage: soak_probe resources HWND | tick HWND PERIOD_MS STOP_FILE "
        "TIMEOUT_MS\"}",
        2);
}
