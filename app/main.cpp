// Process entry of tilvane: start-up, the message loop and shutdown.
// Winsock first: it must come before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <commctrl.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "app/logic/screen_placement.h"
#include "app/main_window.h"
#include "app/mark_bitmaps.h"
#include "app/program_exit.h"
#include "app/shell_seams.h"
#include "app/shell_state.h"
#include "app/window_geometry.h"
#include "http/service_config.h"
#include "mosaic/raster/frame_surface.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/restore_set.h"
#include "mosaic/wall/shell_hooks.h"
#include "mosaic/wall/tile_grid.h"
#include "settings/data_directories.h"
#include "settings/option_store.h"
#include "settings/wall_options.h"

namespace {

constexpr const char* kOptionFilePath = "./txts/tva_option.txt";

bool anotherCopyRuns() {
    return FindWindowW(kMainWindowClass, kMainWindowTitle) != nullptr;
}

void refuseSecondCopy() {
    MessageBoxW(nullptr, L"すでに起動しております。", L"多重起動禁止", MB_OK);
}

void seedRandomGenerators() {
    const auto now = static_cast<unsigned>(std::time(nullptr));
    appState().random.seed(now);
}

// "jpn" is the runtime's name for the Japanese locale; runtimes that lack the short name
// still know the code page.
void useJapaneseCharacterClasses() {
    for (const char* name : {"jpn", "Japanese_Japan.932", ".932"}) {
        if (std::setlocale(LC_CTYPE, name) != nullptr) {
            return;
        }
    }
}

void installShellHooks() {
    ShellHooks hooks;
    hooks.requestRepaint = [] {
        HWND window = shellState().mainWindow;
        if (window != nullptr) {
            InvalidateRect(window, nullptr, FALSE);
        }
    };
    hooks.showPinnedSaveError = [] {
        MessageBoxW(shellState().mainWindow, L"エラー", L"固定ファイル保存失敗", MB_OK);
    };
    // The worker holds the application mutex: a message box there would stop the paints.
    hooks.showTimelineRefusal = [] {
        HWND window = shellState().mainWindow;
        if (window != nullptr) {
            PostMessageW(window, kTimelineRefusedMessage, 0, 0);
        }
    };
    setShellHooks(std::move(hooks));
}

void loadPersistentState() {
    // A missing folder would otherwise lose every setting at exit.
    ensureDataDirectories();
    OptionDefaults defaults;
    defaults.screenWidth = GetSystemMetrics(SM_CXSCREEN);
    defaults.screenHeight = GetSystemMetrics(SM_CYSCREEN);
    loadOptions(kOptionFilePath, defaults);
    loadWallOptions(kWallOptionsPath);
    createGroupCanvases();
    loadPinnedTilesAtStartup();
    if (wallOptionIsOn(WallOption::RestoreWall)) {
        loadRestoreSet(restoreFolder());
    }
}

HWND createMainWindowFromOptions(HINSTANCE instance) {
    const std::int32_t width = usableWindowExtent(optionValue(OptionKey::WindowWidth));
    const std::int32_t height = usableWindowExtent(optionValue(OptionKey::WindowHeight));
    const POINT origin = reachableWindowOrigin(optionValue(OptionKey::WindowX),
                                               optionValue(OptionKey::WindowY), width, height);
    HWND window = createMainWindow(instance, mainWindowStyle(optionValue(OptionKey::FrameFixed)),
                                   origin.x, origin.y, width, height);
    if (window != nullptr) {
        applyStartupStacking(window, optionValue(OptionKey::StackingOrder));
    }
    return window;
}

// The back buffer takes the client size the window really has: a stored size may be far
// larger than any screen, and the first paint sizes it again anyway.
void createDrawingSurfaces(HINSTANCE instance, HWND window) {
    AppState& state = appState();
    loadMarkSurfaces(instance);
    RECT client{};
    GetClientRect(window, &client);
    state.backBufferWidth = client.right - client.left;
    state.backBufferHeight = client.bottom - client.top;
    state.backBuffer = frameSurface(state.backBufferWidth, state.backBufferHeight);
}

void startSocketLibrary() {
    WSADATA data{};
    if (WSAStartup(MAKEWORD(1, 1), &data) == 0) {
        std::atexit([] { WSACleanup(); });
    }
}

int runMessageLoop() {
    MSG message{};
    BOOL result = 0;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (result == -1) {
            return 0;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    if (anotherCopyRuns()) {
        refuseSecondCopy();
        return 0;
    }
    seedRandomGenerators();
    useJapaneseCharacterClasses();
    ShellState& shell = shellState();
    shell.instance = instance;
    INITCOMMONCONTROLSEX commonControls{sizeof commonControls, ICC_TAB_CLASSES};
    InitCommonControlsEx(&commonControls);
    registerMainWindowClass(instance);
    installShellHooks();
    loadPersistentState();

    HWND window = createMainWindowFromOptions(instance);
    if (window == nullptr) {
        return 1;
    }
    shell.mainWindow = window;
    createDrawingSurfaces(instance, window);
    startSocketLibrary();
    loadServiceConfig();
    ensureCredentials(instance);
    SetTimer(window, kSearchTimerId, kSearchTimerPeriodMs, nullptr);
    ShowWindow(window, showCommand);
    settleBottomStacking(window, optionValue(OptionKey::StackingOrder));

    const int exitCode = runMessageLoop();
    shell.mainWindow = nullptr;
    shutDownProgram();
    return exitCode;
}
