// The program's bitmaps and icon, compiled in from resources/.
#pragma once

// Hands the embedded bitmaps and the icon to the window system so that
// LoadBitmapA and LoadIconA find them by id. Safe to call more than once.
// On Linux it is defined in the source that the build generates from
// resources/; on Windows the resources are the executable's own and the
// platform's definition does nothing.
void EnsureResourcesRegistered();
