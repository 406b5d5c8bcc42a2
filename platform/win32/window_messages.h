// The parts of the window-system stand-in that do not depend on where the
// window lives (an SDL window on the desktop, the page's canvas in the
// browser): the registered window classes and the message queue.
#pragma once

#include <deque>
#include <map>
#include <string>

#include "platform/win32/window.h"

// Window classes by name, as RegisterClassA and UnregisterClassA keep them.
class WindowClasses {
public:
    // A copy of the class under its name; 0 for a null class or name, a
    // name already registered, or while registration is made to fail.
    ATOM Register(const WNDCLASSA* windowClass);
    BOOL Unregister(const char* className);
    // The class of that name, or null.
    const WNDCLASSA* Find(const char* className) const;
    void Clear();

    bool failRegister = false;

private:
    std::map<std::string, WNDCLASSA> m_classes;
    std::map<std::string, std::string> m_names; // keeps the name strings alive
};

// Messages the window system sends (delivered to the window procedure inside
// the next PeekMessageA, as Windows delivers sent messages), messages posted
// to the queue and the quit request.
class WindowMessages {
public:
    // A message stamped with GetTickCount.
    static MSG Make(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    void Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Hands every sent message to `deliver`, oldest first, including those
    // sent while delivering.
    void DeliverSent(LRESULT (*deliver)(const MSG& message));
    // The posted part of PeekMessageA: the oldest posted message that
    // matches, else the quit request once nothing else is posted.
    BOOL Peek(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
    // TranslateMessage: a WM_KEYDOWN carrying an ASCII character in lParam
    // posts WM_CHAR with it.
    BOOL Translate(const MSG* message);
    void PostQuit(int exitCode);
    // Whether a message is there to be taken.
    bool Waiting() const;
    int LastQuitCode() const { return m_lastQuitCode; }
    void Clear();

private:
    std::deque<MSG> m_sent;
    std::deque<MSG> m_posted;
    bool m_quitPosted = false;
    int m_quitCode = 0;
    int m_lastQuitCode = 0;
};
