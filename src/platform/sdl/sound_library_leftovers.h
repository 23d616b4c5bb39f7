// What the sound libraries leave in the temporary folder on the player's
// behalf.
//
// Without a runtime folder (XDG_RUNTIME_DIR) PulseAudio's client library,
// which SDL and ALSA's pulse plug-in load, makes a private folder
// "pulse-" and twelve letters in the temporary folder and links it from the
// user's PulseAudio settings folder, as "<machine id>-runtime", whether or
// not it then finds a sound server. A show leaves nothing in the temporary
// folder, so the player removes such a folder when it appeared while the
// player opened its sound device and is still empty: a server that uses it
// keeps its socket there.
#pragma once

#include <string>
#include <vector>

namespace tarn {

// Where to look.
struct SoundLibraryPlaces {
    std::string temporaryFolder;           // empty: the library makes nothing there
    std::vector<std::string> linkFolders;  // where its links to such folders are
};

// The places of the library's legacy runtime folder from the environment,
// as the library finds them: the temporary folder from TMPDIR, TMP, TEMP or
// TEMPDIR (else /tmp), the links in ~/.pulse and the settings folder
// (XDG_CONFIG_HOME or ~/.config) "/pulse". No temporary folder when
// PULSE_RUNTIME_PATH or XDG_RUNTIME_DIR is set: the library then uses that.
SoundLibraryPlaces PulseRuntimePlaces();

class SoundLibraryLeftovers {
public:
    // Notes the library's folders present in the temporary folder now.
    explicit SoundLibraryLeftovers(SoundLibraryPlaces places = PulseRuntimePlaces());

    // Removes the library's folders that appeared since, when they belong
    // to this user and are empty, and the links that lead to them. Folders
    // that were there before, others' and non-empty ones stay. Returns the
    // paths of the folders removed.
    std::vector<std::string> RemoveNewOnes() const;

private:
    SoundLibraryPlaces places_;
    std::vector<std::string> before_;
};

}  // namespace tarn
