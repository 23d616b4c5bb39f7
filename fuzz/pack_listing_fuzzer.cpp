// Arbitrary bytes as a package handed to tarnpack's listing, and the same
// bytes, line by line, as file names for tarnpack's entry names.
//
// The listing must agree with an independent reading of the format: a
// listing without fault lists every entry where the format puts it, within
// the file and before the directory, and every sound package lists without
// fault. Entry names made from any file name must be names extraction
// accepts, distinct without regard to case, and come back unchanged from a
// show description. The same bytes as an EXIF block give no date or a
// well-formed one, read within the block; as file names, the natural order
// is a strict weak order.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "entry_names.h"
#include "exif_date.h"
#include "media_kind.h"
#include "package_listing.h"
#include "platform/kernel/profile_text.h"
#include "startup/package_directory.h"
#include "support/fuzz_folder.h"
#include "support/package_model.h"

namespace {

void CheckListing(std::string_view input) {
    std::istringstream in{std::string(input)};
    const tarnpack::PackageListing listing = tarnpack::ReadPackageListing(in);
    const tarn::fuzz::PackageModel model = tarn::fuzz::ReadPackageModel(input);
    FUZZ_CHECK(!tarnpack::DescribeFault(listing).empty(), "a fault without words");

    if (listing.fault != PackageFault::None) {
        FUZZ_CHECK(listing.entries.empty(), "a listing with a fault lists entries");
        FUZZ_CHECK(!tarn::fuzz::MustBeAccepted(model), "a sound package was listed with a fault");
        return;
    }
    FUZZ_CHECK(model.hasDirectory && model.dataFit, "a package that does not fit was listed");
    FUZZ_CHECK(listing.fileLength == input.size(), "the listing measured another file length");
    FUZZ_CHECK(listing.count == static_cast<int32_t>(model.entries.size()) &&
                   listing.entries.size() == model.entries.size(),
               "the listing has another number of entries");
    FUZZ_CHECK(listing.directoryOffset == model.directoryOffset, "the directory is elsewhere");
    uint64_t end = 0;
    for (size_t i = 0; i < listing.entries.size(); ++i) {
        const tarnpack::ListedEntry& listed = listing.entries[i];
        const tarn::fuzz::ModelEntry& entry = model.entries[i];
        FUZZ_CHECK(listed.name == entry.name && listed.size == entry.size && listed.offset == entry.offset,
                   "a listed entry differs from the directory record");
        FUZZ_CHECK(listed.offset + listed.size <= listing.directoryOffset,
                   "a listed entry runs into the directory");
        end = listed.offset + listed.size;
    }
    FUZZ_CHECK(listing.dataEnd == end, "the data end elsewhere");
}

void CheckEntryNames(std::string_view input) {
    tarnpack::EntryNamer namer;
    std::set<std::string> given;
    size_t start = 0;
    for (int line = 0; start <= input.size() && line < 64; ++line) {
        size_t end = input.find('\n', start);
        if (end == std::string_view::npos) end = input.size();
        // A file name: at most 255 bytes, without a folder part or a NUL.
        std::string fileName(input.substr(start, std::min<size_t>(end - start, 200)));
        fileName.resize(std::strlen(fileName.c_str()));
        start = end + 1;

        const std::string name = namer.Claim(fileName);
        char record[PACKAGE_NAME_BYTES] = {};
        FUZZ_CHECK(name.size() < sizeof record, "an entry name does not fit its record");
        std::memcpy(record, name.data(), name.size());
        FUZZ_CHECK(CheckEntryName(record) == PackageFault::None, "an entry name extraction refuses");

        std::string lower = name;
        for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        FUZZ_CHECK(given.insert(lower).second, "two files got the same entry name");

        // The extracted file's path, as the rewritten show description holds it.
        const std::string path = "/tmp/KTZ1A2B.tmp." + name;
        FUZZ_CHECK(tarn::profile::IsWritableValue(path), "an entry's path cannot be written");
        const std::string text = tarn::profile::SetValue("", "SLIDES", "Image1000", path);
        const auto back = tarn::profile::FindValue(text, "SLIDES", "Image1000");
        FUZZ_CHECK(back && *back == path, "an entry's path comes back changed from a show description");
    }
}

void CheckExifDate(std::string_view input) {
    // A copy of exactly the input's size: a read past it is reported.
    const std::vector<unsigned char> block(input.begin(), input.end());
    const std::string date = tarnpack::ExifDateFromTiff(block.data(), block.size());
    FUZZ_CHECK(date.empty() || (date.size() == 19 && date[4] == ':' && date[10] == ' '),
               "an EXIF date of another form");
}

void CheckNaturalOrder(std::string_view input) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= input.size() && names.size() < 16) {
        size_t end = input.find('\n', start);
        if (end == std::string_view::npos) end = input.size();
        names.emplace_back(input.substr(start, end - start));
        start = end + 1;
    }
    for (const std::string& a : names) {
        FUZZ_CHECK(!tarnpack::NaturalLess(a, a), "a name before itself");
        for (const std::string& b : names) {
            const bool before = tarnpack::NaturalLess(a, b), after = tarnpack::NaturalLess(b, a);
            FUZZ_CHECK(!(before && after), "two names each before the other");
            FUZZ_CHECK(before || after || a == b, "two different names in no order");
            for (const std::string& c : names) {
                if (before && tarnpack::NaturalLess(b, c)) {
                    FUZZ_CHECK(tarnpack::NaturalLess(a, c), "the natural order is not transitive");
                }
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckListing(input);
    CheckEntryNames(input);
    CheckExifDate(input);
    CheckNaturalOrder(input);
    return 0;
}
