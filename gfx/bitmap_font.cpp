#include "gfx/bitmap_font.h"

#include "gfx/screen_vertex.h"
#include "platform/d3dx/d3dx_texture.h"
#include "platform/d3d8/release_interface.h"
#include "platform/report/report.h"

BitmapFont::BitmapFont()
    : m_device(nullptr), m_texture(nullptr), m_vertexBuffer(nullptr), m_columns(0), m_rows(0),
      m_glyphSize(0.0f), m_columnOfCode{}, m_rowOfCode{}, m_cellWidth(0.0f), m_cellHeight(0.0f) {}

BitmapFont::~BitmapFont() { ReleaseResources(); }

void BitmapFont::ReleaseResources() {
    ReleaseInterface(m_texture);
    ReleaseInterface(m_vertexBuffer);
}

int BitmapFont::Build(IDirect3DDevice8* device, const char* fileName, DWORD columns, DWORD rows, float glyphSize) {
    // A second Build replaces what the first one made.
    ReleaseResources();
    m_device = device;
    m_columns = columns;
    m_rows = rows;
    m_glyphSize = glyphSize;

    // An empty grid has no cells to place codes in (and would divide by zero).
    if (columns == 0 || rows == 0) {
        ShowWarning("LibDX : Cannot build font with an empty glyph grid.");
        return 1;
    }

    HRESULT hr = D3DXCreateTextureFromResourceA(device, nullptr, MAKEINTRESOURCEA(kFontResourceId), &m_texture);
    if (hr != D3D_OK) {
        m_texture = nullptr;
        hr = D3DXCreateTextureFromFileA(device, fileName, &m_texture);
    }
    if (hr != D3D_OK) {
        ShowWarning("LibDX : Cannot load font.");
        ReleaseInterface(m_texture);
        return 1;
    }

    hr = device->CreateVertexBuffer(kVertexBufferBytes, 0, kScreenVertexFvf, D3DPOOL_DEFAULT, &m_vertexBuffer);
    if (hr != D3D_OK) {
        ShowWarning("LibDX : Cannot create Vertex Buffer for text rendering.");
        ReleaseInterface(m_vertexBuffer);
        return 1;
    }

    for (DWORD c = 0; c < kCodeCount; ++c) {
        m_columnOfCode[c] = c % columns;
        m_rowOfCode[c] = c / rows;
    }
    m_cellWidth = 1.0f / static_cast<float>(columns);
    m_cellHeight = 1.0f / static_cast<float>(rows);
    return 0;
}
