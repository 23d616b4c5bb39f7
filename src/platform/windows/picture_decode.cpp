#include "platform/windows/picture_decode.h"

#include <objbase.h>

#include <atomic>
#include <new>

#include "platform/media/picture_fit.h"
#include "platform/windows/picture_orientation.h"

namespace tarn {
namespace {

std::atomic<uint64_t> g_decoded{0};

}  // namespace

PictureSize FittedPictureSize(PictureSize source, PictureSize screen) {
    // The player's own fit: the same integer steps on both systems.
    const media::Size fitted =
        media::FitInside(media::Size{static_cast<int>(source.width), static_cast<int>(source.height)},
                         media::Size{static_cast<int>(screen.width), static_cast<int>(screen.height)});
    return PictureSize{static_cast<LONG>(fitted.width), static_cast<LONG>(fitted.height)};
}

ComRef<IWICImagingFactory> NewImagingFactory() {
    ComRef<IWICImagingFactory> factory;
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                     IID_IWICImagingFactory, factory.PutVoid());
    return factory;
}

ComRef<IWICBitmapFrameDecode> FirstPictureFrame(IWICImagingFactory* factory, const wchar_t* path) {
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    if (factory == nullptr || path == nullptr || path[0] == L'\0' ||
        FAILED(factory->CreateDecoderFromFilename(path, nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, decoder.Put()))) {
        return frame;
    }
    // The frame holds its decoder; the decoder's own reference goes here.
    decoder->GetFrame(0, frame.Put());
    return frame;
}

PictureSize PictureLayout::Upright() const { return OrientedSize(stored, orientation); }

bool ReadPictureLayout(IWICBitmapFrameDecode* frame, const wchar_t* path, PictureLayout* layout) {
    UINT width = 0;
    UINT height = 0;
    if (frame == nullptr || FAILED(frame->GetSize(&width, &height)) || width == 0 || height == 0 ||
        width > static_cast<UINT>(INT32_MAX) || height > static_cast<UINT>(INT32_MAX)) {
        return false;
    }
    layout->stored = PictureSize{static_cast<LONG>(width), static_cast<LONG>(height)};
    layout->orientation = JpegOrientation(path);
    return true;
}

PixelRows DecodeUprightPicture(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame,
                               const PictureLayout& layout, PictureSize target) {
    if (factory == nullptr || frame == nullptr || target.width <= 0 || target.height <= 0) {
        return nullptr;
    }
    // Scaled in the stored picture's axes, turned afterwards.
    const PictureSize scaled = OrientedSize(target, layout.orientation);
    IWICBitmapSource* input = frame;
    ComRef<IWICBitmapScaler> scaler;
    if (scaled.width != layout.stored.width || scaled.height != layout.stored.height) {
        if (FAILED(factory->CreateBitmapScaler(scaler.Put())) ||
            FAILED(scaler->Initialize(frame, static_cast<UINT>(scaled.width),
                                      static_cast<UINT>(scaled.height),
                                      WICBitmapInterpolationModeFant))) {
            return nullptr;
        }
        input = scaler.Get();
    }
    ComRef<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.Put())) ||
        FAILED(converter->Initialize(input, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                                     nullptr, 0.0, WICBitmapPaletteTypeCustom))) {
        return nullptr;
    }
    const uint64_t stride = static_cast<uint64_t>(scaled.width) * 4;
    const uint64_t bytes = stride * static_cast<uint64_t>(scaled.height);
    if (stride > UINT32_MAX || bytes > UINT32_MAX) return nullptr;
    g_decoded.fetch_add(1, std::memory_order_relaxed);
    std::shared_ptr<std::vector<unsigned char>> pixels;
    try {
        pixels = std::make_shared<std::vector<unsigned char>>(static_cast<size_t>(bytes));
        if (FAILED(converter->CopyPixels(nullptr, static_cast<UINT>(stride),
                                         static_cast<UINT>(bytes), pixels->data()))) {
            return nullptr;
        }
        if (layout.orientation != 1) *pixels = TurnUpright(*pixels, scaled, layout.orientation);
    } catch (const std::bad_alloc&) {
        return nullptr;  // too large for the address space: not shown
    }
    return pixels;
}

uint64_t DecodedPictureCount() { return g_decoded.load(std::memory_order_relaxed); }

}  // namespace tarn
