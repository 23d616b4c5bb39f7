// Entry names for the files of a show: the file's own name where it can be
// one, made safe and distinct from every name already given.
#pragma once

#include <set>
#include <string>

namespace tarnpack {

class EntryNamer {
public:
    // A name for a file called `fileName`, never given before (letter case
    // aside, so that extraction on a case-blind system keeps them apart).
    // Characters a name or a show description cannot hold become '_'.
    std::string Claim(const std::string& fileName);

private:
    bool Taken(const std::string& name) const;
    std::set<std::string> taken_;  // lower-case forms
};

// `fileName` with every character that cannot stand in an entry name, or
// that the show description would not give back as it is, replaced by '_'.
std::string SafeEntryName(const std::string& fileName);

}  // namespace tarnpack
