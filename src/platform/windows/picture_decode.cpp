#include "platform/windows/picture_decode.h"

#include <objbase.h>

#include <atomic>
#include <new>

namespace tarn {
namespace {

std::atomic<uint64_t> g_decoded{0};

}  // namespace

PictureSize FittedPictureSize(PictureSize source, PictureSize screen) {
    int64_t width = source.width;
    int64_t height = source.height;
    if (width > screen.width) {
        height = int64_t{screen.width} * height / width;
        width = screen.width;
    }
    if (height > screen.height) {
        width = int64_t{screen.height} * width / height;
        height = screen.height;
    }
    return PictureSize{static_cast<LONG>(width), static_cast<LONG>(height)};
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

PixelRows DecodeScaledPicture(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame,
                              PictureSize source, PictureSize target) {
    if (factory == nullptr || frame == nullptr || target.width <= 0 || target.height <= 0) {
        return nullptr;
    }
    IWICBitmapSource* input = frame;
    ComRef<IWICBitmapScaler> scaler;
    if (target.width != source.width || target.height != source.height) {
        if (FAILED(factory->CreateBitmapScaler(scaler.Put())) ||
            FAILED(scaler->Initialize(frame, static_cast<UINT>(target.width),
                                      static_cast<UINT>(target.height),
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
    const uint64_t stride = static_cast<uint64_t>(target.width) * 4;
    const uint64_t bytes = stride * static_cast<uint64_t>(target.height);
    if (stride > UINT32_MAX || bytes > UINT32_MAX) return nullptr;
    g_decoded.fetch_add(1, std::memory_order_relaxed);
    std::shared_ptr<std::vector<unsigned char>> pixels;
    try {
        pixels = std::make_shared<std::vector<unsigned char>>(static_cast<size_t>(bytes));
    } catch (const std::bad_alloc&) {
        return nullptr;  // too large for the address space: not shown
    }
    if (FAILED(converter->CopyPixels(nullptr, static_cast<UINT>(stride), static_cast<UINT>(bytes),
                                     pixels->data()))) {
        return nullptr;
    }
    return pixels;
}

uint64_t DecodedPictureCount() { return g_decoded.load(std::memory_order_relaxed); }

}  // namespace tarn
