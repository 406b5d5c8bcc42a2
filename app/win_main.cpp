#include "app/win_main.h"

#include "app/show_state.h"
#include "app/window_proc.h"
#include "demo/demo_manager.h"
#include "gfx/dx_device.h"
#include "platform/win32/report_box.h"
#include "platform/win32/window.h"

namespace {

constexpr char kClassName[] = "ZoltViewer";
constexpr char kScriptName[] = "Marble.Spt";
constexpr char kStartFailed[] = "DemoManager : Cannot Initialize the Demo properly";
constexpr int kIconGroup = 106;
constexpr UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;  // 0x2B

bool RegisterShowClass(HINSTANCE instance)
{
    WNDCLASSA windowClass{};
    windowClass.style = kClassStyle;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconGroup));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_CROSS));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kClassName;
    return RegisterClassA(&windowClass) != 0;
}

void DestroyManager(ShowState& show)
{
    delete show.manager;
    show.manager = nullptr;
}

void DestroyDevice(ShowState& show)
{
    if (show.device != nullptr) {
        show.device->Release();
        delete show.device;
        show.device = nullptr;
    }
}

}  // namespace

int OpenShow(HINSTANCE instance, const ShowOpening& opening)
{
    ShowState& show = TheShow();
    show = ShowState();
    SetErrorBoxOwner(nullptr);

    if (!RegisterShowClass(instance)) {
        return 1;
    }

    show.device = new DXDevice();
    D3DDISPLAYMODE mode{};
    mode.Width = opening.width;
    mode.Height = opening.height;
    mode.RefreshRate = 0;
    mode.Format = D3DFMT_X8R8G8B8;
    if (show.device->Create(&show.window, instance, mode, opening.fullScreen, true) != 0) {
        ShowError(kStartFailed);
        DestroyDevice(show);
        return 1;
    }
    SetErrorBoxOwner(show.window);

    show.manager = new DemoManager(show.device);
    show.manager->SetClock(opening.clock);
    if (show.manager->Init() != 0) {
        ShowError(kStartFailed);
        // The manager may hold a render target or part of its skybox.
        DestroyManager(show);
        DestroyDevice(show);
        return 1;
    }
    if (show.manager->LoadScript(kScriptName) != 0) {
        ShowError(kStartFailed);
        DestroyManager(show);
        DestroyDevice(show);
        return 1;
    }
    return 0;
}

int StartShow(HINSTANCE instance)
{
    if (OpenShow(instance, ShowOpening()) != 0) {
        return 1;
    }
    ShowState& show = TheShow();
    show.running = 1;
    show.manager->Start();
    ShowCursor(FALSE);
    return 0;
}

LoopPass RunLoopPass(int* quitCode)
{
    ShowState& show = TheShow();
    MSG message{};
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            if (quitCode != nullptr) {
                *quitCode = static_cast<int>(message.wParam);
            }
            return LoopPass::Quit;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
        return LoopPass::Continue;
    }
    if (show.active == 1 && show.running == 1 && show.manager != nullptr) {
        if ((show.manager->GetStatus() & DemoManager::kStatusOver) != 0) {
            return LoopPass::ShowOver;
        }
        show.manager->RenderFrame();
    }
    return LoopPass::Continue;
}

int RunMainLoop()
{
    int quitCode = 0;
    for (;;) {
        const LoopPass pass = RunLoopPass(&quitCode);
        if (pass == LoopPass::Quit) {
            return quitCode;
        }
        if (pass == LoopPass::ShowOver) {
            return 0;
        }
    }
}

void StopShow()
{
    ShowState& show = TheShow();
    DestroyManager(show);
    DestroyDevice(show);
    if (show.running) {
        ShowCursor(TRUE);
    }
    show.running = 0;
}

int WinMain(HINSTANCE instance, HINSTANCE previousInstance, char* commandLine, int showCommand)
{
    if (StartShow(instance) != 0) {
        return 1;
    }
    const int quitCode = RunMainLoop();
    StopShow();
    return quitCode != 0 ? 1 : 0;
}
