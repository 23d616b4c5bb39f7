// Resources compiled into the program: bitmaps and icons found by numeric id.
//
// The build turns the pictures of resources/ into a table of byte arrays and
// hands it over with RegisterEmbeddedResources. LoadBitmapA, LoadIconA and
// LoadCursorA look ids up here and decode the bytes (Windows BMP, or an ICO
// file whose images are BMP pictures).
#pragma once

#include <cstddef>

namespace tarn {

struct EmbeddedResource {
    int id;
    const unsigned char* data;  // must stay valid for the life of the process
    size_t size;
};

// Adds `count` resources. A later registration of an id replaces the earlier
// one; registering the same table twice is harmless. Safe during static
// initialisation. Not for concurrent use with the loaders.
void RegisterEmbeddedResources(const EmbeddedResource* table, size_t count);

// The resource registered under `id`, or nullptr.
const EmbeddedResource* FindEmbeddedResource(int id);

// Forgets every registration (tests).
void ClearEmbeddedResources();

}  // namespace tarn
