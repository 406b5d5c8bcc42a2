// The handful of Windows types and constants the engine's own code is written
// against. Handles are opaque pointers owned by the window-system stand-in.
#pragma once

#include <cstdint>

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef int16_t SHORT;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef int32_t INT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef int32_t HRESULT;

// A result is a failure when its sign bit is set.
#ifndef FAILED
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#endif

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

struct ZoltWindow;
struct ZoltInstance;
typedef ZoltWindow* HWND;
typedef ZoltInstance* HINSTANCE;
typedef HINSTANCE HMODULE;

// Resource identifiers passed where a name is expected, as Windows does.
#define MAKEINTRESOURCEA(id) (reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<WORD>(id))))

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct POINT {
    LONG x;
    LONG y;
};

// Message box styles and results.
constexpr UINT MB_OK = 0x00000000u;
constexpr UINT MB_ICONERROR = 0x00000010u;
constexpr UINT MB_ICONWARNING = 0x00000030u;
constexpr int IDOK = 1;
