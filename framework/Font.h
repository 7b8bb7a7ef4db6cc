#pragma once

#include <windows.h>

// A GDI font, owned: deleted when replaced or when the wrapper goes.
class CFont {
public:
    CFont() = default;
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;
    ~CFont() { DeleteObject(); }

    // Creates the font with the platform's parameters (see CreateFontA) and keeps it. Returns
    // false, leaving the wrapper empty, when the platform gives no font.
    BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                    BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outputPrecision,
                    BYTE clipPrecision, BYTE quality, BYTE pitchAndFamily, const char* faceName);
    void DeleteObject();

    HFONT GetSafeHandle() const { return m_font; }

private:
    HFONT m_font = nullptr;
};
