#include "app/error_box.h"

#include <cstdarg>
#include <cstdio>

#include "platform/win32/message_box.h"

namespace {
HWND g_owner = nullptr;
}

void SetErrorBoxOwner(HWND window)
{
    g_owner = window;
}

HWND GetErrorBoxOwner()
{
    return g_owner;
}

int ShowError(const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return MessageBoxA(g_owner, buffer, "Zolt Engine Error", MB_ICONERROR);
}

void ShowWarning(const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    MessageBoxA(g_owner, buffer, "Zolt Engine Warning", MB_ICONWARNING);
}
