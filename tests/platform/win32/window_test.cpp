#include "platform/win32/window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>

#include <vector>

namespace {

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Received> g_received;

LRESULT CALLBACK_Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_received.push_back({message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

class WindowSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZoltResetWindowSystem();
        g_received.clear();
        WNDCLASSA wc{};
        wc.lpfnWndProc = CALLBACK_Record;
        wc.lpszClassName = "ZoltViewer";
        wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_CROSS));
        ASSERT_NE(RegisterClassA(&wc), 0);
        window = CreateWindowExA(0, "ZoltViewer", "ZoltViewer", WS_POPUP, 20, 20, 64, 48, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { ZoltResetWindowSystem(); }

    // Polls until the queue is empty; returns the messages taken.
    std::vector<MSG> drain()
    {
        std::vector<MSG> taken;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            taken.push_back(msg);
            if (msg.message == WM_QUIT) {
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return taken;
    }

    void pushKey(SDL_Keycode key)
    {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.windowID = SDL_GetWindowID(ZoltSdlWindow(window));
        event.key.keysym.sym = key;
        SDL_PushEvent(&event);
    }

    bool received(UINT message, WPARAM wParam)
    {
        for (const Received& r : g_received) {
            if (r.message == message && r.wParam == wParam) {
                return true;
            }
        }
        return false;
    }

    HWND window = nullptr;
};

TEST_F(WindowSystemTest, ClassRegistersOnceAndUnknownClassMakesNoWindow)
{
    WNDCLASSA again{};
    again.lpfnWndProc = CALLBACK_Record;
    again.lpszClassName = "ZoltViewer";
    EXPECT_EQ(RegisterClassA(&again), 0);
    EXPECT_EQ(CreateWindowExA(0, "Nobody", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(WindowSystemTest, NewWindowActivatesTheApplicationAtTheFirstPoll)
{
    EXPECT_TRUE(g_received.empty());
    drain();
    ASSERT_FALSE(g_received.empty());
    EXPECT_EQ(g_received.front().message, WM_ACTIVATEAPP);
    EXPECT_EQ(g_received.front().wParam, 1u);
}

TEST_F(WindowSystemTest, EscapeBecomesCharacter27AndDestroyLeadsToQuit)
{
    drain();
    pushKey(SDLK_ESCAPE);
    std::vector<MSG> taken = drain();
    ASSERT_GE(taken.size(), 2u);
    EXPECT_EQ(taken[0].message, WM_KEYDOWN);
    EXPECT_EQ(taken[0].wParam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_EQ(taken[1].message, WM_CHAR);
    EXPECT_EQ(taken[1].wParam, 27u);

    // What the show's window procedure does with Escape.
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_TRUE(received(WM_DESTROY, 0));
    EXPECT_FALSE(IsWindow(window));
    PostQuitMessage(0);
    taken = drain();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].message, WM_QUIT);
    EXPECT_EQ(taken[0].wParam, 0u);
}

TEST_F(WindowSystemTest, QuitComesAfterPostedMessagesAndCarriesItsCode)
{
    drain();
    PostQuitMessage(1);
    PostMessageA(window, WM_CHAR, 'a', 0);
    std::vector<MSG> taken = drain();
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].message, WM_CHAR);
    EXPECT_EQ(taken[1].message, WM_QUIT);
    EXPECT_EQ(taken[1].wParam, 1u);
    EXPECT_EQ(ZoltQuitCode(), 1);
    MSG none;
    EXPECT_FALSE(PeekMessageA(&none, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowSystemTest, PeekWithoutRemoveLeavesTheMessage)
{
    drain();
    PostMessageA(window, WM_CHAR, 'x', 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('x'));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowSystemTest, CloseRequestDestroysTheWindowThroughTheDefaultProcedure)
{
    drain();
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    event.window.windowID = SDL_GetWindowID(ZoltSdlWindow(window));
    SDL_PushEvent(&event);
    drain();
    EXPECT_TRUE(received(WM_CLOSE, 0));
    EXPECT_TRUE(received(WM_DESTROY, 0));
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(WindowSystemTest, MovesArriveWithSignedPackedCoordinates)
{
    drain();
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_MOVED;
    event.window.windowID = SDL_GetWindowID(ZoltSdlWindow(window));
    event.window.data1 = -5;
    event.window.data2 = 300;
    SDL_PushEvent(&event);
    drain();
    bool found = false;
    for (const Received& r : g_received) {
        if (r.message == WM_MOVE) {
            found = true;
            EXPECT_EQ(static_cast<int16_t>(r.lParam & 0xFFFF), -5);
            EXPECT_EQ(static_cast<int16_t>((r.lParam >> 16) & 0xFFFF), 300);
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(WindowSystemTest, MinimisingDeactivatesAndRestoringReactivates)
{
    drain();
    g_received.clear();
    ZoltSetWindowMinimized(window, true);
    EXPECT_TRUE(ZoltWindowMinimized(window));
    drain();
    EXPECT_TRUE(received(WM_ACTIVATEAPP, 0));
    ZoltSetWindowMinimized(window, false);
    EXPECT_FALSE(ZoltWindowMinimized(window));
    drain();
    EXPECT_TRUE(received(WM_ACTIVATEAPP, 1));
}

TEST_F(WindowSystemTest, WaitMessageReturnsOnceSomethingIsQueued)
{
    drain();
    PostMessageA(window, WM_CHAR, 'q', 0);
    EXPECT_TRUE(WaitMessage());
    ZoltSetWindowMinimized(window, true);
    drain();
    // A restore pushed from SDL's queue wakes a waiter.
    ZoltSetWindowMinimized(window, false);
    EXPECT_TRUE(WaitMessage());
    EXPECT_FALSE(ZoltWindowMinimized(window));
}

TEST_F(WindowSystemTest, ClientAreaHasTheRequestedSize)
{
    RECT rect{};
    ASSERT_TRUE(GetClientRect(window, &rect));
    EXPECT_EQ(rect.right - rect.left, 64);
    EXPECT_EQ(rect.bottom - rect.top, 48);
}

TEST(WindowSystemFailures, ForcedFailuresAndCursorCount)
{
    ZoltResetWindowSystem();
    WNDCLASSA wc{};
    wc.lpfnWndProc = CALLBACK_Record;
    wc.lpszClassName = "ZoltViewer";
    ZoltForceRegisterClassFailure(true);
    EXPECT_EQ(RegisterClassA(&wc), 0);
    ZoltForceRegisterClassFailure(false);
    ASSERT_NE(RegisterClassA(&wc), 0);
    ZoltForceCreateWindowFailure(true);
    EXPECT_EQ(CreateWindowExA(0, "ZoltViewer", "ZoltViewer", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    ZoltResetWindowSystem();
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(ShowCursor(TRUE), 0);
}

// The tick count agrees with the steady clock measured around it, to its
// millisecond granularity (both ends truncate), however long the delay took.
TEST(TickCount, AdvancesInMilliseconds)
{
    const auto before = std::chrono::steady_clock::now();
    const DWORD start = GetTickCount();
    SDL_Delay(20);
    const DWORD elapsed = GetTickCount() - start;
    const auto after = std::chrono::steady_clock::now();
    const auto outside = std::chrono::duration_cast<std::chrono::milliseconds>(after - before).count();
    EXPECT_GE(elapsed, 19u);
    EXPECT_LE(elapsed, static_cast<DWORD>(outside) + 2u);
}

} // namespace
