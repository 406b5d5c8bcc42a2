// The font image as a texture, a four-vertex buffer for one glyph quad, and
// the tables that place character codes 0 to 127 in the image's grid of
// glyph cells. Built from the program's bitmap resource 107, or from a
// bitmap file in the working directory when the resource cannot be used.
#pragma once

#include "platform/d3d8/d3d8.h"

class BitmapFont {
public:
    static constexpr int kCodeCount = 128;
    static constexpr int kFontResourceId = 107;
    static constexpr UINT kVertexBufferBytes = 112; // four 28-byte screen vertices

    BitmapFont();
    virtual ~BitmapFont();
    BitmapFont(const BitmapFont&) = delete;
    BitmapFont& operator=(const BitmapFont&) = delete;

    // Loads the texture (resource first, then `fileName`), creates the
    // vertex buffer and fills the glyph tables. 0 on success; 1 after a
    // warning.
    virtual int Build(IDirect3DDevice8* device, const char* fileName, DWORD columns, DWORD rows, float glyphSize);

    IDirect3DTexture8* GetTexture() const { return m_texture; }
    IDirect3DVertexBuffer8* GetVertexBuffer() const { return m_vertexBuffer; }
    DWORD GetColumns() const { return m_columns; }
    DWORD GetRows() const { return m_rows; }
    float GetGlyphSize() const { return m_glyphSize; }
    // Cell of character code c (0 to 127) in the glyph grid.
    DWORD GetColumnOfCode(int c) const { return m_columnOfCode[c]; }
    DWORD GetRowOfCode(int c) const { return m_rowOfCode[c]; }
    // One cell's size in texture coordinates.
    float GetCellWidth() const { return m_cellWidth; }
    float GetCellHeight() const { return m_cellHeight; }

private:
    void ReleaseResources();

    IDirect3DDevice8* m_device; // not owned
    IDirect3DTexture8* m_texture;
    IDirect3DVertexBuffer8* m_vertexBuffer;
    DWORD m_columns;
    DWORD m_rows;
    float m_glyphSize;
    DWORD m_columnOfCode[kCodeCount];
    DWORD m_rowOfCode[kCodeCount];
    float m_cellWidth;
    float m_cellHeight;
};
