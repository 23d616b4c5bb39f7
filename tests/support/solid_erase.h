// Fills the part of a window a WM_ERASEBKGND asks for with one colour, as a
// window whose background is a solid brush would: for tests whose windows
// must show their own pixels.
#pragma once

#include "platform/win32.h"

namespace tarn::test {

inline void EraseWithColour(HDC dc, COLORREF colour) {
    LOGBRUSH description{BS_SOLID, colour, 0};
    HBRUSH brush = CreateBrushIndirect(&description);
    HGDIOBJ previous = SelectObject(dc, brush);
    RECT clip{};
    GetClipBox(dc, &clip);
    PatBlt(dc, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, PATCOPY);
    SelectObject(dc, previous);
    DeleteObject(brush);
}

}  // namespace tarn::test
