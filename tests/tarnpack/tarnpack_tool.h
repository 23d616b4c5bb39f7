// tarnpack run as authors run it, on files in a private folder: the
// fixture of the suites that drive the tool itself.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "package/child_process.h"
#include "package/package_builder.h"
#include "package/scratch_folder.h"
#include "startup/package.h"
#include "startup/package_files.h"

namespace tarn::test {

class TarnpackTool : public ::testing::Test {
protected:
    void SetUp() override {
        show_ = scratch_.root() + "/show";
        std::filesystem::create_directories(show_ + "/pics");
        std::filesystem::create_directories(scratch_.root() + "/elsewhere");
        output_ = scratch_.root() + "/out.run";
        log_ = scratch_.root() + "/tarnpack.log";
    }

    void Put(const std::string& path, const std::string& bytes) { WriteBytes(path, bytes); }

    // Runs tarnpack; the exit status, or -1. Its output goes to log_.
    int Run(const std::vector<std::string>& arguments, const std::string& folder = "") {
        std::vector<std::string> command{TARN_TARNPACK};
        command.insert(command.end(), arguments.begin(), arguments.end());
        if (folder.empty()) return RunToEnd(command, {}, log_);
        // From another current folder: through a shell, which changes it.
        std::string line = "cd '" + folder + "' && exec";
        for (const std::string& argument : command) line += " '" + argument + "'";
        return RunToEnd({"/bin/sh", "-c", line}, {}, log_);
    }
    std::string Output() { return Exists(log_) ? ReadBytes(log_) : ""; }

    int Create(const std::string& ini, const std::string& player = TARN_TEST_PLAYER) {
        return Run({"create", ini, "-o", output_, "--player", player});
    }

    // Extracts `package` with the player's own extraction, in the scratch
    // temporary folder.
    void ExtractWithPlayer(const std::string& package) {
        std::memset(&g_Show, 0, sizeof g_Show);
        ASSERT_EQ(ExtractPackageFrom(package.c_str()), 1);
    }
    std::string Extracted(const std::string& name) {
        return std::string(g_Show.TempFileDecorator) + "." + name;
    }

    // Nothing but what the test made (and the output, when expected).
    void ExpectNoLeftovers() {
        for (const auto& item : std::filesystem::directory_iterator(scratch_.root())) {
            EXPECT_EQ(item.path().string().find(".tarnpack-"), std::string::npos) << item.path();
        }
    }

    ScratchFolder scratch_;
    std::string show_;
    std::string output_;
    std::string log_;
};

}  // namespace tarn::test
