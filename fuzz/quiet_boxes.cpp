#include "fuzz/quiet_boxes.h"

#include "platform/win32/message_box.h"

void SilenceMessageBoxes()
{
    SetMessageBoxHook([](const MessageBoxRecord&) {});
    SetMessageBoxEcho(false);
}
