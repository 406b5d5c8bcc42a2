#include "platform/win32/window_messages.h"

namespace {

bool Matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax)
{
    if (window != nullptr && msg.hwnd != window) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0) {
        return true;
    }
    return msg.message >= filterMin && msg.message <= filterMax;
}

} // namespace

ATOM WindowClasses::Register(const WNDCLASSA* windowClass)
{
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr || failRegister) {
        return 0;
    }
    const std::string name = windowClass->lpszClassName;
    if (m_classes.count(name) != 0) {
        return 0; // already registered, as on Windows
    }
    std::string& kept = m_names[name];
    kept = name;
    WNDCLASSA copy = *windowClass;
    copy.lpszClassName = kept.c_str();
    copy.lpszMenuName = nullptr;
    m_classes[name] = copy;
    return static_cast<ATOM>(0xC000 + m_classes.size());
}

BOOL WindowClasses::Unregister(const char* className)
{
    if (className == nullptr) {
        return FALSE;
    }
    return m_classes.erase(className) != 0 ? TRUE : FALSE;
}

const WNDCLASSA* WindowClasses::Find(const char* className) const
{
    if (className == nullptr) {
        return nullptr;
    }
    const auto found = m_classes.find(className);
    return found != m_classes.end() ? &found->second : nullptr;
}

void WindowClasses::Clear()
{
    m_classes.clear();
    m_names.clear();
    failRegister = false;
}

MSG WindowMessages::Make(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = GetTickCount();
    return msg;
}

void WindowMessages::Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    m_sent.push_back(Make(window, message, wParam, lParam));
}

void WindowMessages::Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    m_posted.push_back(Make(window, message, wParam, lParam));
}

void WindowMessages::DeliverSent(LRESULT (*deliver)(const MSG& message))
{
    while (!m_sent.empty()) {
        const MSG msg = m_sent.front();
        m_sent.pop_front();
        deliver(msg);
    }
}

BOOL WindowMessages::Peek(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    for (auto it = m_posted.begin(); it != m_posted.end(); ++it) {
        if (Matches(*it, window, filterMin, filterMax)) {
            if (message != nullptr) {
                *message = *it;
            }
            if ((removeFlags & PM_REMOVE) != 0) {
                m_posted.erase(it);
            }
            return TRUE;
        }
    }
    // As on Windows, the quit request comes out once nothing else is posted.
    if (m_quitPosted && Matches(Make(nullptr, WM_QUIT, 0, 0), nullptr, filterMin, filterMax)) {
        if (message != nullptr) {
            *message = Make(nullptr, WM_QUIT, static_cast<WPARAM>(m_quitCode), 0);
        }
        if ((removeFlags & PM_REMOVE) != 0) {
            m_quitPosted = false;
        }
        return TRUE;
    }
    return FALSE;
}

BOOL WindowMessages::Translate(const MSG* message)
{
    if (message == nullptr || message->message != WM_KEYDOWN) {
        return FALSE;
    }
    if (message->lParam <= 0 || message->lParam >= 128) {
        return FALSE;
    }
    Post(message->hwnd, WM_CHAR, static_cast<WPARAM>(message->lParam), 0);
    return TRUE;
}

void WindowMessages::PostQuit(int exitCode)
{
    m_quitPosted = true;
    m_quitCode = exitCode;
    m_lastQuitCode = exitCode;
}

bool WindowMessages::Waiting() const
{
    return !m_sent.empty() || !m_posted.empty() || m_quitPosted;
}

void WindowMessages::Clear()
{
    *this = WindowMessages();
}
