// The directory checks that keep extraction inside the temporary folder.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "package/package_builder.h"
#include "startup/package_directory.h"

namespace {

using tarn::test::Record;

PackageFault NameFault(const std::string& name) {
    const PackageEntry entry = Record(0, name);
    return CheckEntryName(entry.name);
}

TEST(PackageDirectory, EntryNamesThatStayInTheTemporaryFolderAreAccepted) {
    for (const char* name : {"stub.exe", "P1000.jpg", "a..b", "...", ".hidden", "my slide 1.jpg",
                             "\xC3\xA9t\xC3\xA9.jpg"}) {
        EXPECT_EQ(NameFault(name), PackageFault::None) << name;
    }
    EXPECT_EQ(NameFault(std::string(259, 'n')), PackageFault::None) << "259 bytes and the NUL fit";
}

TEST(PackageDirectory, EntryNamesThatLeaveTheFolderOrNameNoFileAreRefused) {
    EXPECT_EQ(NameFault(""), PackageFault::NameEmpty);
    EXPECT_EQ(NameFault("."), PackageFault::NameDots);
    EXPECT_EQ(NameFault(".."), PackageFault::NameDots);
    EXPECT_EQ(NameFault("../evil"), PackageFault::NameSeparator);
    EXPECT_EQ(NameFault("/etc/passwd"), PackageFault::NameSeparator);
    EXPECT_EQ(NameFault("sub/file"), PackageFault::NameSeparator);
    EXPECT_EQ(NameFault("..\\evil"), PackageFault::NameSeparator);
    EXPECT_EQ(NameFault("C:evil"), PackageFault::NameSeparator);
    EXPECT_EQ(NameFault("line\nCLEAN=0"), PackageFault::NameControl);
    EXPECT_EQ(NameFault("tab\tname"), PackageFault::NameControl);
    EXPECT_EQ(NameFault(std::string(260, 'n')), PackageFault::NameUnterminated);
}

TEST(PackageDirectory, CountsOutsideTwoToNinetyNineAreRefused) {
    const uint64_t big = 1u << 20;
    EXPECT_EQ(CheckPackageCount(2, big), PackageFault::None);
    EXPECT_EQ(CheckPackageCount(99, big), PackageFault::None);
    EXPECT_EQ(CheckPackageCount(100, big), PackageFault::TooManyEntries);
    EXPECT_EQ(CheckPackageCount(INT32_MAX, big), PackageFault::TooManyEntries);
    EXPECT_EQ(CheckPackageCount(1, big), PackageFault::TooFewEntries);
    EXPECT_EQ(CheckPackageCount(0, big), PackageFault::TooFewEntries);
    EXPECT_EQ(CheckPackageCount(-1, big), PackageFault::TooFewEntries);
    EXPECT_EQ(CheckPackageCount(INT32_MIN, big), PackageFault::TooFewEntries);
}

TEST(PackageDirectory, TheDirectoryMustLieWithinTheFile) {
    EXPECT_EQ(CheckPackageCount(2, 3), PackageFault::FileTooShort);
    EXPECT_EQ(CheckPackageCount(2, 0), PackageFault::FileTooShort);
    // Two records and the trailer take 532 bytes.
    EXPECT_EQ(CheckPackageCount(2, 531), PackageFault::DirectoryBeforeStart);
    EXPECT_EQ(CheckPackageCount(2, 532), PackageFault::None);
    EXPECT_EQ(PackageDirectoryOffset(2, 532), 0u);
    EXPECT_EQ(PackageDirectoryOffset(10, 542391), 539747u);
}

TEST(PackageDirectory, SizesMustFitBeforeTheDirectoryAndStayBelowTwoGiB) {
    PackageEntry entries[3] = {Record(100, "a"), Record(50, "b"), Record(0, "c")};
    int32_t faulty = -1;
    EXPECT_EQ(CheckPackageEntries(entries, 3, 150, &faulty), PackageFault::None);
    EXPECT_EQ(CheckPackageEntries(entries, 3, 149, &faulty), PackageFault::DataPastDirectory);
    EXPECT_EQ(faulty, 1);

    entries[2].size = 0x80000000u;
    EXPECT_EQ(CheckPackageEntries(entries, 3, UINT64_MAX, &faulty), PackageFault::EntryTooLarge);
    EXPECT_EQ(faulty, 2);
    entries[2].size = 0x7FFFFFFFu;
    EXPECT_EQ(CheckPackageEntries(entries, 3, 150 + 0x7FFFFFFFull, &faulty), PackageFault::None);

    // Sizes just below the limit still cannot add up past the directory.
    PackageEntry huge[3] = {Record(0x7FFFFFFFu, "a"), Record(0x7FFFFFFFu, "b"), Record(0x7FFFFFFFu, "c")};
    EXPECT_EQ(CheckPackageEntries(huge, 3, 0xFFFFFFFFull, &faulty), PackageFault::DataPastDirectory);
    EXPECT_EQ(faulty, 2);
}

TEST(PackageDirectory, ABadNameAnywhereIsReportedWithItsSlot) {
    PackageEntry entries[3] = {Record(1, "player"), Record(1, "show.ini"), Record(1, "../x")};
    int32_t faulty = -1;
    EXPECT_EQ(CheckPackageEntries(entries, 3, 3, &faulty), PackageFault::NameSeparator);
    EXPECT_EQ(faulty, 2);
}

}  // namespace
