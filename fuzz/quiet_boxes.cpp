#include "fuzz/quiet_boxes.h"

#include "platform/message_box.h"

void SilenceMessageBoxes()
{
    SetMessageBoxHook([](const MessageBoxRecord&) {});
    SetMessageBoxEcho(false);
}
