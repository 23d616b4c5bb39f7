// GDI objects (bitmaps, brushes, icons) and device contexts.
//
// Handles come from the core's never-reused sequence and name entries of two
// tables, so a deleted or made-up handle is simply not found. A device
// context either draws into a window's surface, clipped to the area being
// painted, or is a memory context drawing into the bitmap selected into it.
// Selected objects are shared, so deleting a bitmap that is still selected
// cannot leave the context pointing at freed pixels.
#include <map>

#include "platform/window/core_state.h"
#include "platform/window/pixel_ops.h"

namespace tarn::ws::detail {
namespace {

enum class Kind { Bitmap, Brush, Icon };

struct Brush {
    bool hollow = false;
    uint32_t pixel = 0xFFFFFF;
};

struct Object {
    Kind kind;
    std::shared_ptr<Pixels> pixels;  // bitmaps and icons
    Brush brush;                     // brushes
};

struct DeviceContext {
    HWND window = nullptr;  // a window's context; nullptr for a memory context
    RECT clip{};            // window contexts: client coordinates
    std::shared_ptr<Pixels> bitmap;
    HGDIOBJ bitmapHandle = nullptr;
    Brush brush;
    HGDIOBJ brushHandle = nullptr;
};

// Stock objects: fixed handles outside the sequence, never deleted.
const HGDIOBJ kWhiteBrush = reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(0x9000));
const HGDIOBJ kDefaultBitmap = reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(0x9004));
const HCURSOR kArrowCursor = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x9008));

// Windows' system colours for the indexes a class background may name.
uint32_t SystemColour(uintptr_t index) {
    switch (index) {
    case COLOR_WINDOW: return 0xFFFFFF;
    case 0: return 0xC8C8C8;   // scroll bar
    case 1: return 0x000000;   // desktop
    case 8: return 0x000000;   // window text
    default: return 0xF0F0F0;  // the face colour of buttons and dialogs
    }
}

struct Tables {
    std::map<uintptr_t, Object> objects;
    std::map<uintptr_t, DeviceContext> contexts;
};

Tables& State() {
    static Tables tables;
    return tables;
}

std::shared_ptr<Pixels> DefaultBitmapPixels() {
    return std::make_shared<Pixels>(MakePixels(1, 1, 0));
}

uintptr_t Key(const void* handle) { return reinterpret_cast<uintptr_t>(handle); }

Object* FindObject(HGDIOBJ handle) {
    auto& objects = State().objects;
    auto it = objects.find(Key(handle));
    return it == objects.end() ? nullptr : &it->second;
}

DeviceContext* FindContext(HDC dc) {
    auto& contexts = State().contexts;
    auto it = contexts.find(Key(dc));
    return it == contexts.end() ? nullptr : &it->second;
}

HDC NewContext(DeviceContext context) {
    const uintptr_t handle = NewHandleValue();
    State().contexts.emplace(handle, std::move(context));
    return reinterpret_cast<HDC>(handle);
}

HGDIOBJ NewObject(Object object) {
    const uintptr_t handle = NewHandleValue();
    State().objects.emplace(handle, std::move(object));
    return reinterpret_cast<HGDIOBJ>(handle);
}

// Where a context draws, and its clip in the target's coordinates.
Pixels* Target(const DeviceContext& dc, RECT* clip) {
    if (dc.window != nullptr) {
        Window* w = FindWindow(dc.window);
        if (w == nullptr) return nullptr;
        *clip = Intersect(dc.clip, ClientRectOf(*w));
        return &w->surface;
    }
    *clip = RECT{0, 0, dc.bitmap->width, dc.bitmap->height};
    return dc.bitmap.get();
}

RECT Normalised(int x, int y, int width, int height) {
    RECT r{x, y, x + width, y + height};
    if (r.right < r.left) std::swap(r.left, r.right);
    if (r.bottom < r.top) std::swap(r.top, r.bottom);
    return r;
}

}  // namespace

HDC NewWindowDc(HWND window, const RECT& clip) {
    DeviceContext dc;
    dc.window = window;
    dc.clip = clip;
    dc.brushHandle = kWhiteBrush;
    return NewContext(std::move(dc));
}

void FreeWindowDc(HDC dc) {
    const DeviceContext* context = FindContext(dc);
    if (context && context->window != nullptr) State().contexts.erase(Key(dc));
}

void ClearGdiObjects() {
    State().objects.clear();
    State().contexts.clear();
}

bool BrushPixel(HBRUSH brush, uint32_t* pixel) {
    const uintptr_t value = Key(brush);
    if (value >= 1 && value <= 31) {  // a system colour index + 1
        *pixel = SystemColour(value - 1);
        return true;
    }
    if (brush == kWhiteBrush) {
        *pixel = 0xFFFFFF;
        return true;
    }
    const Object* o = FindObject(brush);
    if (o == nullptr || o->kind != Kind::Brush || o->brush.hollow) return false;
    *pixel = o->brush.pixel;
    return true;
}

bool FillClipBox(HDC dc, uint32_t pixel) {
    const DeviceContext* context = FindContext(dc);
    if (context == nullptr) return false;
    RECT clip;
    Pixels* target = Target(*context, &clip);
    if (target == nullptr) return false;
    FillPixels(*target, clip, clip, pixel);
    return true;
}

HBITMAP NewBitmap(Pixels pixels) {
    return NewObject(Object{Kind::Bitmap, std::make_shared<Pixels>(std::move(pixels)), {}});
}

HICON NewIcon(Pixels pixels) {
    return reinterpret_cast<HICON>(
        NewObject(Object{Kind::Icon, std::make_shared<Pixels>(std::move(pixels)), {}}));
}

HCURSOR ArrowCursor() { return kArrowCursor; }

}  // namespace tarn::ws::detail

namespace tarn::ws {

const Pixels* BitmapPixels(HBITMAP bitmap) {
    const detail::Object* o = detail::FindObject(bitmap);
    return (o && o->kind == detail::Kind::Bitmap) ? o->pixels.get() : nullptr;
}

const Pixels* IconPixels(HICON icon) {
    const detail::Object* o = detail::FindObject(reinterpret_cast<HGDIOBJ>(icon));
    return (o && o->kind == detail::Kind::Icon) ? o->pixels.get() : nullptr;
}

}  // namespace tarn::ws

using namespace tarn::ws;
using namespace tarn::ws::detail;

HDC CreateCompatibleDC(HDC dc) {
    if (dc != nullptr && FindContext(dc) == nullptr) return nullptr;
    DeviceContext context;
    context.bitmap = DefaultBitmapPixels();
    context.bitmapHandle = kDefaultBitmap;
    context.brushHandle = kWhiteBrush;
    return NewContext(std::move(context));
}

BOOL DeleteDC(HDC dc) {
    const DeviceContext* context = FindContext(dc);
    // Window contexts are given back with EndPaint, not deleted.
    if (context == nullptr || context->window != nullptr) return FALSE;
    State().contexts.erase(Key(dc));
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    DeviceContext* context = FindContext(dc);
    if (context == nullptr || object == nullptr) return nullptr;
    if (object == kWhiteBrush) {
        const HGDIOBJ previous = context->brushHandle;
        context->brush = Brush{};
        context->brushHandle = kWhiteBrush;
        return previous;
    }
    if (object == kDefaultBitmap) {
        if (context->window != nullptr) return nullptr;
        const HGDIOBJ previous = context->bitmapHandle;
        context->bitmap = DefaultBitmapPixels();
        context->bitmapHandle = kDefaultBitmap;
        return previous;
    }
    const Object* o = FindObject(object);
    if (o == nullptr) return nullptr;
    switch (o->kind) {
    case Kind::Brush: {
        const HGDIOBJ previous = context->brushHandle;
        context->brush = o->brush;
        context->brushHandle = object;
        return previous;
    }
    case Kind::Bitmap: {
        // Only a memory context can take a bitmap.
        if (context->window != nullptr) return nullptr;
        const HGDIOBJ previous = context->bitmapHandle;
        context->bitmap = o->pixels;
        context->bitmapHandle = object;
        return previous;
    }
    case Kind::Icon:
        return nullptr;
    }
    return nullptr;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop) {
    DeviceContext* to = FindContext(dest);
    if (to == nullptr) return FALSE;
    RECT clip;
    Pixels* target = Target(*to, &clip);
    if (target == nullptr) return FALSE;
    if (rop == PATCOPY) return PatBlt(dest, x, y, width, height, PATCOPY);
    if (rop != SRCCOPY) return FALSE;
    DeviceContext* from = FindContext(source);
    if (from == nullptr) return FALSE;
    RECT sourceClip;
    const Pixels* pixels = Target(*from, &sourceClip);
    if (pixels == nullptr) return FALSE;
    // Source and target may be the same picture; CopyPixels handles overlap.
    CopyPixels(*target, x, y, width, height, *pixels, sx, sy, clip);
    return TRUE;
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
    constexpr UINT kHollow = 1;  // BS_NULL / BS_HOLLOW
    if (brush == nullptr) return nullptr;
    Brush b;
    if (brush->lbStyle == BS_SOLID) {
        b.pixel = PixelOf(brush->lbColor);
    } else if (brush->lbStyle == kHollow) {
        b.hollow = true;
    } else {
        return nullptr;  // hatched and pattern brushes are not supported
    }
    return NewObject(Object{Kind::Brush, nullptr, b});
}

int GetClipBox(HDC dc, LPRECT rect) {
    constexpr int kError = 0, kNullRegion = 1, kSimpleRegion = 2;
    const DeviceContext* context = FindContext(dc);
    if (context == nullptr || rect == nullptr) return kError;
    RECT clip;
    if (Target(*context, &clip) == nullptr) return kError;
    *rect = clip;
    return RectEmpty(clip) ? kNullRegion : kSimpleRegion;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    if (rop != PATCOPY) return FALSE;
    const DeviceContext* context = FindContext(dc);
    if (context == nullptr) return FALSE;
    RECT clip;
    Pixels* target = Target(*context, &clip);
    if (target == nullptr) return FALSE;
    if (!context->brush.hollow) {
        FillPixels(*target, Normalised(x, y, width, height), clip, context->brush.pixel);
    }
    return TRUE;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (object == kWhiteBrush || object == kDefaultBitmap) return TRUE;  // stock
    return State().objects.erase(Key(object)) ? TRUE : FALSE;
}
