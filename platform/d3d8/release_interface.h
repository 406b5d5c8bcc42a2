// Releases a Direct3D interface the holder owns, if it holds one, and forgets
// it, so that a second release (a destructor after an early one) does nothing.
#pragma once

template <typename Interface>
void ReleaseInterface(Interface*& held)
{
    if (held != nullptr) {
        held->Release();
        held = nullptr;
    }
}
