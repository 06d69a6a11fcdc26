// tvprobe: looks at and drives the windows of other programs for the end-to-end tests.
// Every subcommand prints one JSON line on stdout; the exit code is 0 on success,
// 1 when the thing asked for was not found and 2 on a usage error.
//
//   list     [--class C] [--title T]             top-level windows, in z-order (top first)
//   wait     [--class C] [--title T] [--timeout-ms N] [--gone]
//   info     <window>                            rectangles, styles, visibility
//   post     <window> --msg M [--wparam N] [--lparam N]
//   send     <window> --msg M [--wparam N] [--lparam N]
//   paint-time <window> [--samples N] [--timeout-ms N]
//                                                how long each forced repaint takes to answer
//   pin-burst <window> --cells "X,Y;X,Y;..." [--rounds N] [--pause-ms N]
//                                                right-clicks each client point in turn, closes
//                                                the context menu and sends the pin command
//   zorder   <window> --other <hwnd>             is the window above the other one
//   children <window>                            child windows with class, text, id, screen
//                                                rectangle, enabled, check state (buttons)
//                                                and the text the control holds (WM_GETTEXT)
//   capture  <window> --out FILE [--method dc|print]  client area as a binary PPM
//   clipboard                                    CF_TEXT bytes on the clipboard
//   set-clipboard --hex BYTES                    puts CF_TEXT bytes on the clipboard
//   raise    <window>                            SetWindowPos(HWND_TOP)
//   lower    <window>                            SetWindowPos(HWND_BOTTOM)
//   activate <window>                            SetForegroundWindow
//   hold-window [--title T] [--x N --y N --w N --h N] [--topmost]
//                                                shows a plain window until it is closed
//   menu-items                                   the popup menus shown, top first: items with
//                                                check marks, rectangles and submenus
//
// <window> is --hwnd N, or --class C and/or --title T (the first match in z-order).
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/bitmap_info.h"
#include "probe_json.h"

namespace {

std::string jsonBool(bool value) {
    return value ? "true" : "false";
}

std::string handleNumber(HWND window) {
    return std::to_string(reinterpret_cast<uintptr_t>(window));
}

std::string rectJson(const RECT& r) {
    return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + "]";
}

int emit(const std::string& json, int code = 0) {
    std::string line = json + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    return code;
}

int usage(const std::string& message) {
    return emit("{\"error\":" + jsonUtf8(message) + "}", 2);
}

struct Arguments {
    std::wstring command;
    std::map<std::wstring, std::wstring> values;
    bool has(const wchar_t* name) const { return values.count(name) != 0; }
    std::wstring text(const wchar_t* name, const std::wstring& fallback = {}) const {
        auto found = values.find(name);
        return found == values.end() ? fallback : found->second;
    }
    long long number(const wchar_t* name, long long fallback = 0) const {
        auto found = values.find(name);
        return found == values.end() ? fallback : std::wcstoll(found->second.c_str(), nullptr, 0);
    }
};

Arguments parseArguments() {
    Arguments args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr) {
        return args;
    }
    if (count > 1) {
        args.command = argv[1];
    }
    for (int i = 2; i < count; ++i) {
        std::wstring name = argv[i];
        if (name.rfind(L"--", 0) != 0) {
            continue;
        }
        name = name.substr(2);
        bool hasValue = i + 1 < count && std::wstring(argv[i + 1]).rfind(L"--", 0) != 0;
        args.values[name] = hasValue ? argv[++i] : L"";
    }
    LocalFree(argv);
    return args;
}

std::wstring className(HWND window) {
    wchar_t buffer[256] = {};
    GetClassNameW(window, buffer, 256);
    return buffer;
}

std::wstring windowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

// Top-level windows in z-order, top first.
std::vector<HWND> topLevelWindows() {
    std::vector<HWND> windows;
    for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
        windows.push_back(w);
    }
    return windows;
}

std::vector<HWND> matchingWindows(const Arguments& args) {
    std::vector<HWND> found;
    for (HWND w : topLevelWindows()) {
        if (args.has(L"class") && className(w) != args.text(L"class")) {
            continue;
        }
        if (args.has(L"title") && windowText(w) != args.text(L"title")) {
            continue;
        }
        found.push_back(w);
    }
    return found;
}

std::optional<HWND> targetWindow(const Arguments& args) {
    if (args.has(L"hwnd")) {
        HWND w = reinterpret_cast<HWND>(static_cast<uintptr_t>(args.number(L"hwnd")));
        if (!IsWindow(w)) {
            return std::nullopt;
        }
        return w;
    }
    if (!args.has(L"class") && !args.has(L"title")) {
        return std::nullopt;
    }
    auto found = matchingWindows(args);
    if (found.empty()) {
        return std::nullopt;
    }
    return found.front();
}

std::string windowSummary(HWND w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    return "{\"hwnd\":" + handleNumber(w) + ",\"class\":" + jsonUtf8(className(w)) +
           ",\"title\":" + jsonUtf8(windowText(w)) +
           ",\"visible\":" + jsonBool(IsWindowVisible(w) != 0) + ",\"pid\":" + std::to_string(pid) +
           "}";
}

UINT messageNumber(const std::wstring& name) {
    static const std::map<std::wstring, UINT> known = {
        {L"WM_COMMAND", WM_COMMAND},
        {L"WM_CLOSE", WM_CLOSE},
        {L"WM_TIMER", WM_TIMER},
        {L"WM_PAINT", WM_PAINT},
        {L"WM_LBUTTONDOWN", WM_LBUTTONDOWN},
        {L"WM_LBUTTONUP", WM_LBUTTONUP},
        {L"WM_LBUTTONDBLCLK", WM_LBUTTONDBLCLK},
        {L"WM_RBUTTONDOWN", WM_RBUTTONDOWN},
        {L"WM_RBUTTONUP", WM_RBUTTONUP},
        {L"WM_KEYDOWN", WM_KEYDOWN},
        {L"WM_KEYUP", WM_KEYUP},
        {L"WM_SYSCOMMAND", WM_SYSCOMMAND},
        {L"WM_CANCELMODE", WM_CANCELMODE},
        {L"WM_NULL", WM_NULL},
    };
    auto found = known.find(name);
    if (found != known.end()) {
        return found->second;
    }
    return static_cast<UINT>(std::wcstoul(name.c_str(), nullptr, 0));
}

int commandList(const Arguments& args) {
    std::string json = "{\"windows\":[";
    bool first = true;
    for (HWND w : matchingWindows(args)) {
        if (!first) {
            json += ",";
        }
        json += windowSummary(w);
        first = false;
    }
    return emit(json + "]}");
}

int commandWait(const Arguments& args) {
    DWORD timeout = static_cast<DWORD>(args.number(L"timeout-ms", 20000));
    bool untilGone = args.has(L"gone");
    bool needVisible = args.has(L"visible");
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<HWND> found;
        for (HWND w : matchingWindows(args)) {
            if (!needVisible || IsWindowVisible(w)) {
                found.push_back(w);
            }
        }
        if (untilGone && found.empty()) {
            return emit("{\"found\":false}");
        }
        if (!untilGone && !found.empty()) {
            return emit("{\"found\":true,\"window\":" + windowSummary(found.front()) + "}");
        }
        if (GetTickCount() - start >= timeout) {
            return emit("{\"found\":" + jsonBool(!found.empty()) + ",\"timeout\":true}", 1);
        }
        Sleep(100);
    }
}

int commandInfo(HWND w) {
    RECT outer{};
    RECT client{};
    GetWindowRect(w, &outer);
    GetClientRect(w, &client);
    POINT origin{0, 0};
    ClientToScreen(w, &origin);
    LONG style = GetWindowLongW(w, GWL_STYLE);
    LONG exStyle = GetWindowLongW(w, GWL_EXSTYLE);
    RECT clientOnScreen{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    return emit("{\"hwnd\":" + handleNumber(w) + ",\"class\":" + jsonUtf8(className(w)) +
                ",\"title\":" + jsonUtf8(windowText(w)) + ",\"window\":" + rectJson(outer) +
                ",\"client\":" + rectJson(clientOnScreen) + ",\"clientSize\":[" +
                std::to_string(client.right) + "," + std::to_string(client.bottom) +
                "],\"style\":" + std::to_string(static_cast<unsigned long>(style)) +
                ",\"exStyle\":" + std::to_string(static_cast<unsigned long>(exStyle)) +
                ",\"popup\":" + jsonBool((style & WS_POPUP) != 0) +
                ",\"thickFrame\":" + jsonBool((style & WS_THICKFRAME) != 0) +
                ",\"caption\":" + jsonBool((style & WS_CAPTION) == WS_CAPTION) +
                ",\"topmost\":" + jsonBool((exStyle & WS_EX_TOPMOST) != 0) +
                ",\"visible\":" + jsonBool(IsWindowVisible(w) != 0) +
                ",\"foreground\":" + jsonBool(GetForegroundWindow() == w) + "}");
}

int commandMessage(HWND w, const Arguments& args, bool send) {
    if (!args.has(L"msg")) {
        return usage("post and send need --msg");
    }
    UINT message = messageNumber(args.text(L"msg"));
    auto wParam = static_cast<WPARAM>(args.number(L"wparam"));
    auto lParam = static_cast<LPARAM>(args.number(L"lparam"));
    if (!send) {
        BOOL ok = PostMessageW(w, message, wParam, lParam);
        return emit("{\"posted\":" + jsonBool(ok != 0) + "}", ok ? 0 : 1);
    }
    DWORD_PTR result = 0;
    DWORD timeout = static_cast<DWORD>(args.number(L"timeout-ms", 5000));
    LRESULT ok =
        SendMessageTimeoutW(w, message, wParam, lParam, SMTO_ABORTIFHUNG, timeout, &result);
    return emit("{\"sent\":" + jsonBool(ok != 0) + ",\"result\":" + std::to_string(result) + "}",
                ok ? 0 : 1);
}

// Invalidates the window and sends it WM_PAINT, timing until its procedure has answered:
// a window thread that is blocked answers late or not at all.
int commandPaintTime(HWND w, const Arguments& args) {
    const long long samples = std::max(1LL, args.number(L"samples", 5));
    const auto timeout = static_cast<UINT>(args.number(L"timeout-ms", 2000));
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    std::string times;
    double worst = 0;
    bool answered = true;
    for (long long i = 0; i < samples; ++i) {
        RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE);
        LARGE_INTEGER start{};
        LARGE_INTEGER end{};
        DWORD_PTR result = 0;
        QueryPerformanceCounter(&start);
        const LRESULT ok = SendMessageTimeoutW(w, WM_PAINT, 0, 0, SMTO_NORMAL, timeout, &result);
        QueryPerformanceCounter(&end);
        const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart);
        answered = answered && ok != 0;
        worst = std::max(worst, ms);
        if (i != 0) {
            times += ",";
        }
        times += std::to_string(ms);
        Sleep(30);
    }
    return emit("{\"answered\":" + jsonBool(answered) + ",\"max_ms\":" + std::to_string(worst) +
                    ",\"ms\":[" + times + "]}",
                answered ? 0 : 1);
}

bool popupMenuOpen() {
    Arguments menuWindows;
    menuWindows.values[L"class"] = L"#32768";
    for (HWND menu : matchingWindows(menuWindows)) {
        if (IsWindowVisible(menu)) {
            return true;
        }
    }
    return false;
}

bool waitUntil(bool wanted, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (popupMenuOpen() != wanted) {
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        Sleep(5);
    }
    return true;
}

// Selecting a tile takes a right-click, which opens the context menu; the menu is closed
// again (WM_CANCELMODE ends menu tracking) before the pin command "このタイルを固定する" is sent.
int commandPinBurst(HWND w, const Arguments& args) {
    std::vector<POINT> points;
    const std::wstring cells = args.text(L"cells");
    for (std::size_t at = 0; at < cells.size();) {
        const std::size_t end = std::min(cells.find(L';', at), cells.size());
        const std::wstring cell = cells.substr(at, end - at);
        const std::size_t comma = cell.find(L',');
        if (comma != std::wstring::npos) {
            points.push_back(POINT{std::wcstol(cell.c_str(), nullptr, 10),
                                   std::wcstol(cell.c_str() + comma + 1, nullptr, 10)});
        }
        at = end + 1;
    }
    if (points.empty()) {
        return usage("pin-burst needs --cells X,Y;X,Y...");
    }
    const long long rounds = args.number(L"rounds", 1);
    const auto pause = static_cast<DWORD>(args.number(L"pause-ms", 0));
    long long toggles = 0;
    for (long long round = 0; round < rounds; ++round) {
        for (const POINT& point : points) {
            if (!IsWindow(w)) {
                return emit("{\"toggles\":" + std::to_string(toggles) + ",\"gone\":true}", 1);
            }
            PostMessageW(w, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(point.x, point.y));
            const bool opened = waitUntil(true, 2000);
            PostMessageW(w, WM_CANCELMODE, 0, 0);
            if (!opened || !waitUntil(false, 2000)) {
                return emit("{\"toggles\":" + std::to_string(toggles) + ",\"menu\":false}", 1);
            }
            PostMessageW(w, WM_COMMAND, 40018, 0);
            ++toggles;
            Sleep(pause);
        }
    }
    return emit("{\"toggles\":" + std::to_string(toggles) + "}");
}

int commandZorder(HWND w, const Arguments& args) {
    HWND other = reinterpret_cast<HWND>(static_cast<uintptr_t>(args.number(L"other")));
    if (!IsWindow(other)) {
        return usage("zorder needs --other with a window handle");
    }
    auto windows = topLevelWindows();
    int windowIndex = -1;
    int otherIndex = -1;
    for (size_t i = 0; i < windows.size(); ++i) {
        if (windows[i] == w) {
            windowIndex = static_cast<int>(i);
        }
        if (windows[i] == other) {
            otherIndex = static_cast<int>(i);
        }
    }
    return emit("{\"above\":" + jsonBool(windowIndex >= 0 && windowIndex < otherIndex) +
                ",\"index\":" + std::to_string(windowIndex) +
                ",\"otherIndex\":" + std::to_string(otherIndex) + "}");
}

BOOL CALLBACK collectChild(HWND child, LPARAM param) {
    auto* out = reinterpret_cast<std::vector<HWND>*>(param);
    out->push_back(child);
    return TRUE;
}

RECT childRect(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    return r;
}

// The text a control of another process holds now; GetWindowText only sees the text it was
// created with.
std::wstring controlText(HWND control) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                        reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000, &copied);
    text.resize(std::min(static_cast<size_t>(copied), text.size() - 1));
    return text;
}

std::string checkState(HWND control) {
    if (className(control) != L"Button") {
        return "null";
    }
    DWORD_PTR state = 0;
    SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
    return jsonBool(state == BST_CHECKED);
}

int commandChildren(HWND w) {
    std::vector<HWND> children;
    EnumChildWindows(w, collectChild, reinterpret_cast<LPARAM>(&children));
    std::string json = "{\"title\":" + jsonUtf8(windowText(w)) +
                       ",\"class\":" + jsonUtf8(className(w)) + ",\"children\":[";
    bool first = true;
    for (HWND child : children) {
        if (!first) {
            json += ",";
        }
        json += "{\"hwnd\":" + handleNumber(child) + ",\"class\":" + jsonUtf8(className(child)) +
                ",\"text\":" + jsonUtf8(windowText(child)) +
                ",\"id\":" + std::to_string(GetDlgCtrlID(child)) +
                ",\"visible\":" + jsonBool(IsWindowVisible(child) != 0) +
                ",\"enabled\":" + jsonBool(IsWindowEnabled(child) != 0) +
                ",\"checked\":" + checkState(child) + ",\"value\":" + jsonUtf8(controlText(child)) +
                ",\"rect\":" + rectJson(childRect(child)) + "}";
        first = false;
    }
    return emit(json + "]}");
}

struct DeviceContext {
    HWND window;
    HDC dc;
    ~DeviceContext() { ReleaseDC(window, dc); }
};

struct MemoryContext {
    HDC dc;
    ~MemoryContext() { DeleteDC(dc); }
};

struct GdiObject {
    HGDIOBJ object;
    ~GdiObject() { DeleteObject(object); }
};

int commandCapture(HWND w, const Arguments& args) {
    if (!args.has(L"out")) {
        return usage("capture needs --out");
    }
    RECT client{};
    GetClientRect(w, &client);
    int width = client.right;
    int height = client.bottom;
    if (width <= 0 || height <= 0) {
        return emit("{\"error\":\"empty client area\"}", 1);
    }
    DeviceContext source{w, GetDC(w)};
    MemoryContext memory{CreateCompatibleDC(source.dc)};
    BITMAPINFO info = topDownBitmapInfo(width, height);
    void* bits = nullptr;
    GdiObject bitmap{CreateDIBSection(source.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0)};
    if (bitmap.object == nullptr || bits == nullptr) {
        return emit("{\"error\":\"no bitmap\"}", 1);
    }
    HGDIOBJ previous = SelectObject(memory.dc, bitmap.object);
    bool copied = false;
    if (args.text(L"method", L"dc") == L"print") {
        copied = PrintWindow(w, memory.dc, PW_CLIENTONLY) != 0;
    } else {
        copied = BitBlt(memory.dc, 0, 0, width, height, source.dc, 0, 0, SRCCOPY) != 0;
    }
    GdiFlush();
    SelectObject(memory.dc, previous);
    if (!copied) {
        return emit("{\"error\":\"copy failed\"}", 1);
    }
    FILE* file = _wfopen(args.text(L"out").c_str(), L"wb");
    if (file == nullptr) {
        return emit("{\"error\":\"cannot write the output file\"}", 1);
    }
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    const auto* pixels = static_cast<const unsigned char*>(bits);
    std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        const unsigned char* line = pixels + static_cast<size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x) {
            row[x * 3 + 0] = line[x * 4 + 2];
            row[x * 3 + 1] = line[x * 4 + 1];
            row[x * 3 + 2] = line[x * 4 + 0];
        }
        std::fwrite(row.data(), 1, row.size(), file);
    }
    std::fclose(file);
    return emit("{\"width\":" + std::to_string(width) + ",\"height\":" + std::to_string(height) +
                "}");
}

std::string hexBytes(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::wstring fromAnsi(const std::string& bytes) {
    if (bytes.empty()) {
        return {};
    }
    int size =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), size);
    return out;
}

bool openClipboard() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (OpenClipboard(nullptr)) {
            return true;
        }
        Sleep(100);
    }
    return false;
}

int commandClipboard() {
    if (!openClipboard()) {
        return emit("{\"error\":\"clipboard busy\"}", 1);
    }
    HANDLE data = GetClipboardData(CF_TEXT);
    std::string bytes;
    bool present = data != nullptr;
    if (present) {
        const char* text = static_cast<const char*>(GlobalLock(data));
        if (text != nullptr) {
            SIZE_T limit = GlobalSize(data);
            SIZE_T length = 0;
            while (length < limit && text[length] != '\0') {
                ++length;
            }
            bytes.assign(text, length);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return emit("{\"present\":" + jsonBool(present) + ",\"hex\":\"" + hexBytes(bytes) +
                "\",\"text\":" + jsonUtf8(fromAnsi(bytes)) + "}");
}

int commandSetClipboard(const Arguments& args) {
    std::wstring hex = args.text(L"hex");
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::wcstoul(hex.substr(i, 2).c_str(), nullptr, 16));
    }
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.size() + 1);
    if (memory == nullptr) {
        return emit("{\"error\":\"no memory\"}", 1);
    }
    auto* target = static_cast<char*>(GlobalLock(memory));
    std::copy(bytes.begin(), bytes.end(), target);
    GlobalUnlock(memory);
    if (!openClipboard()) {
        GlobalFree(memory);
        return emit("{\"error\":\"clipboard busy\"}", 1);
    }
    EmptyClipboard();
    bool ok = SetClipboardData(CF_TEXT, memory) != nullptr;
    CloseClipboard();
    if (!ok) {
        GlobalFree(memory);
    }
    return emit("{\"set\":" + jsonBool(ok) + "}", ok ? 0 : 1);
}

LRESULT CALLBACK holdWindowProcedure(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(w, message, wParam, lParam);
}

int commandHoldWindow(const Arguments& args) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = holdWindowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = L"TVPROBE_HOLD";
    RegisterClassW(&windowClass);
    HWND w = CreateWindowExW(
        args.has(L"topmost") ? WS_EX_TOPMOST : 0, L"TVPROBE_HOLD",
        args.text(L"title", L"tvprobe hold").c_str(), WS_POPUP | WS_BORDER | WS_VISIBLE,
        static_cast<int>(args.number(L"x", 100)), static_cast<int>(args.number(L"y", 100)),
        static_cast<int>(args.number(L"w", 300)), static_cast<int>(args.number(L"h", 200)), nullptr,
        nullptr, windowClass.hInstance, nullptr);
    if (w == nullptr) {
        return emit("{\"error\":\"cannot create the window\"}", 1);
    }
    emit("{\"hwnd\":" + handleNumber(w) + "}");
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

std::wstring besideThisProgram(const wchar_t* fileName) {
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
    path.resize(length);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + fileName;
}

// Loads a library into another process by a thread of its own there; true once it has run.
bool loadIntoProcess(DWORD pid, const std::wstring& library) {
    HANDLE process = OpenProcess(
        PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION | PROCESS_VM_WRITE,
        FALSE, pid);
    if (process == nullptr) {
        return false;
    }
    const SIZE_T bytes = (library.size() + 1) * sizeof(wchar_t);
    void* remote =
        VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    bool loaded = false;
    if (remote != nullptr && WriteProcessMemory(process, remote, library.c_str(), bytes, nullptr)) {
        // kernel32 sits at the same address in every process of the prefix.
        auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
        HANDLE thread = CreateRemoteThread(process, nullptr, 0, loadLibrary, remote, 0, nullptr);
        if (thread != nullptr) {
            DWORD exitCode = 0;
            loaded = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0 &&
                     GetExitCodeThread(thread, &exitCode) && exitCode != 0;
            CloseHandle(thread);
        }
    }
    if (remote != nullptr) {
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return loaded;
}

// A popup menu can only be read inside the process that shows it: menureport.dll, loaded
// into that process, writes the report of every menu it shows (top first, each with check
// marks, screen rectangles and submenus), and this prints it.
int commandMenuItems() {
    Arguments menuWindows;
    menuWindows.values[L"class"] = L"#32768";
    DWORD pid = 0;
    for (HWND w : matchingWindows(menuWindows)) {
        if (IsWindowVisible(w)) {
            GetWindowThreadProcessId(w, &pid);
            break;
        }
    }
    if (pid == 0) {
        return emit("{\"open\":false,\"menus\":[]}");
    }
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring reportPath =
        std::wstring(folder) + L"tvprobe-menu-" + std::to_wstring(pid) + L".json";
    DeleteFileW(reportPath.c_str());
    if (!loadIntoProcess(pid, besideThisProgram(L"menureport.dll"))) {
        return emit("{\"error\":\"cannot load the menu report into the process\"}", 1);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        FILE* file = _wfopen(reportPath.c_str(), L"rb");
        if (file != nullptr) {
            std::string json;
            char buffer[4096];
            size_t got = 0;
            while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
                json.append(buffer, got);
            }
            std::fclose(file);
            DeleteFileW(reportPath.c_str());
            return emit("{\"open\":true," + json.substr(1));
        }
        Sleep(100);
    }
    return emit("{\"error\":\"no menu report\"}", 1);
}

// Stands in for the browser a URL association starts: appends how it was asked to show its
// window (the show command ShellExecute was given) to the file --out names.
int commandStartupShow(const Arguments& args) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const bool given = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0;
    const std::string line = given ? std::to_string(startup.wShowWindow) + "\n" : "none\n";
    FILE* file = _wfopen(args.text(L"out").c_str(), L"ab");
    if (file == nullptr) {
        return emit("{\"error\":\"cannot open the record\"}", 1);
    }
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
    return 0;
}

}  // namespace

int main() {
    Arguments args = parseArguments();
    const std::wstring& command = args.command;
    if (command == L"list") {
        return commandList(args);
    }
    if (command == L"wait") {
        return commandWait(args);
    }
    if (command == L"clipboard") {
        return commandClipboard();
    }
    if (command == L"set-clipboard") {
        return commandSetClipboard(args);
    }
    if (command == L"hold-window") {
        return commandHoldWindow(args);
    }
    if (command == L"menu-items") {
        return commandMenuItems();
    }
    if (command == L"startup-show") {
        return commandStartupShow(args);
    }
    bool needsWindow = command == L"info" || command == L"post" || command == L"send" ||
                       command == L"set-text" || command == L"zorder" || command == L"children" ||
                       command == L"paint-time" || command == L"pin-burst" ||
                       command == L"capture" || command == L"raise" || command == L"lower" ||
                       command == L"activate";
    if (!needsWindow) {
        return usage("unknown command");
    }
    auto window = targetWindow(args);
    if (!window) {
        return emit("{\"error\":\"no such window\"}", 1);
    }
    if (command == L"info") {
        return commandInfo(*window);
    }
    if (command == L"post" || command == L"send") {
        return commandMessage(*window, args, command == L"send");
    }
    if (command == L"pin-burst") {
        return commandPinBurst(*window, args);
    }
    if (command == L"paint-time") {
        return commandPaintTime(*window, args);
    }
    if (command == L"zorder") {
        return commandZorder(*window, args);
    }
    if (command == L"children") {
        return commandChildren(*window);
    }
    if (command == L"capture") {
        return commandCapture(*window, args);
    }
    if (command == L"raise") {
        bool ok = SetWindowPos(*window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE) != 0;
        return emit("{\"raised\":" + jsonBool(ok) + "}", ok ? 0 : 1);
    }
    if (command == L"lower") {
        bool ok = SetWindowPos(*window, HWND_BOTTOM, 0, 0, 0, 0,
                               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE) != 0;
        return emit("{\"lowered\":" + jsonBool(ok) + "}", ok ? 0 : 1);
    }
    bool ok = SetForegroundWindow(*window) != 0;
    return emit("{\"activated\":" + jsonBool(ok) + "}", ok ? 0 : 1);
}
