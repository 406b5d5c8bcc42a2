// What the page tells the browser build's window stand-in.
#pragma once

// A key typed on the page (27: Escape), queued as WM_CHAR for the window.
void ZoltWebKey(int character);
