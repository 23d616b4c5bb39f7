// How a clip's pictures reach the UI thread. The window system is only ever
// called on the UI thread, so a presenter thread that has a new picture
// posts a message to a hidden window of ours, naming the graph by its
// number; that window's procedure (UI thread) lets the graph take the
// picture and place it. A message for a graph that is gone finds no entry
// and is dropped.
#pragma once

#include <cstdint>
#include <functional>

namespace tarn::media {

// UI thread: `onPictures` runs (on the UI thread) for every announcement of
// graph `number` until Unregister.
void RegisterPictureReceiver(uint64_t number, std::function<void()> onPictures);
void UnregisterPictureReceiver(uint64_t number);
// Any thread: announces a new picture of graph `number`.
void AnnouncePicture(uint64_t number);

}  // namespace tarn::media
