// Clips and sounds opened ahead of the slide that plays them. Building a
// filter graph for a clip (its splitter and decoders) takes a good part of a
// second on a slow machine; done at the slide change, it would hold the
// clip's first picture back by as much. So the files the player hints are
// built soon after the change before theirs, once the message loop is idle
// (the picture just shown has been painted), on the user-interface thread
// that owns the renderers' windows. They are cued at their change: a
// renderer draws the picture it is cued on only in a window that is shown.
//
// Two files at most are prepared: the slide file hinted last (the player
// hints the next slide's last) and the sound hinted last (the next slide's);
// graphs of files hinted earlier are let go. A prepared graph holds its file
// open: ReleasePreparedClips lets every one go, and must run before the
// show's files are deleted.
#pragma once

#include <dshow.h>

#include <string>

#include "platform/windows/com_ref.h"

namespace tarn {

// What a file is prepared as: each kind keeps the one hinted last.
enum class ClipKind { Slide, Sound };

// Wants `path` prepared: once this thread's message loop runs its timers,
// unless it is a still picture (prepared_pictures.h) or no file.
void PrepareClip(const std::wstring& path, ClipKind kind);

// The graph built for `path` from the unchanged file, rendered and
// stopped; nothing when none is ready. The graph is the caller's from now on.
ComRef<::IGraphBuilder> TakePreparedClip(const std::wstring& path);

// Lets every prepared graph go, and forgets what was wanted.
void ReleasePreparedClips();

// For tests: prepares what is wanted at once, rather than from the loop;
// and whether a graph for `path` is ready.
void PrepareWantedClipsNow();
bool ClipIsPrepared(const std::wstring& path);

}  // namespace tarn
