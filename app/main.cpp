// The zolt program: plays the show found in the working directory.
#include "app/win_main.h"
#include "platform/win32/window.h"

int main()
{
    return WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, 0);
}
