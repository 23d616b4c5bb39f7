// The three things tarnpack does. Each writes its report to `out`, its
// errors to `err`, and returns the exit code.
#pragma once

#include <ostream>
#include <string>

#include "folder_show.h"

namespace tarnpack {

struct CreateOptions {
    // A show description written by the author; when empty, the show is
    // made from `folderShow`'s inputs, and written to `writeIni` too when
    // that is set.
    std::string showPath;
    FolderShowOptions folderShow;
    std::string writeIni;
    std::string outputPath;
    std::string playerPath;  // the player to pack
    bool showProgress = false;
    bool keepJpeg = false;  // progressive JPEGs stay progressive
};

int Create(const CreateOptions& options, std::ostream& out, std::ostream& err);
int List(const std::string& packagePath, std::ostream& out, std::ostream& err);
int Verify(const std::string& packagePath, std::ostream& out, std::ostream& err);

}  // namespace tarnpack
