// The installed player's folder from the registry, with its acceptance
// rules, and the default paths it gives the show record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32.h"
#include "platform/windows/installed_paths.h"
#include "show/show_record.h"

namespace {

using tarn::ReadInstallationFolder;

constexpr const char* kTestKey = "Software\\TarnPlayerTests\\Installation";

class Installation : public ::testing::Test {
protected:
    void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey); }

    void Store(DWORD type, const void* data, DWORD bytes) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, tarn::kInstallationValue, 0, type,
                                 static_cast<const BYTE*>(data), bytes),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void StoreText(DWORD type, const std::string& text) {
        Store(type, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }
    std::string Read(bool* accepted) {
        char folder[SHOW_PATH_BYTES];
        std::memset(folder, 'x', sizeof folder);
        *accepted = ReadInstallationFolder(HKEY_CURRENT_USER, kTestKey, folder, sizeof folder);
        return folder;
    }
};

TEST_F(Installation, AStringValueIsTakenUnchanged) {
    StoreText(REG_SZ, "D:\\Show\\");
    bool accepted = false;
    EXPECT_EQ(Read(&accepted), "D:\\Show\\");
    EXPECT_TRUE(accepted);
}

TEST_F(Installation, OtherTypesEmptyTextAndAbsentValuesAreRefused) {
    bool accepted = true;
    EXPECT_EQ(Read(&accepted), "");  // no value: the key is made empty
    EXPECT_FALSE(accepted);

    StoreText(REG_EXPAND_SZ, "%ProgramFiles%\\Show");
    EXPECT_EQ(Read(&accepted), "");
    EXPECT_FALSE(accepted);

    StoreText(REG_SZ, "");
    EXPECT_EQ(Read(&accepted), "");
    EXPECT_FALSE(accepted);

    const DWORD number = 7;
    Store(REG_DWORD, &number, sizeof number);
    EXPECT_EQ(Read(&accepted), "");
    EXPECT_FALSE(accepted);
}

TEST_F(Installation, TheValueMustFitThePathLimit) {
    bool accepted = false;
    const std::string longest(MAX_PATH - 1, 'd');
    StoreText(REG_SZ, longest);
    EXPECT_EQ(Read(&accepted), longest);
    EXPECT_TRUE(accepted);

    StoreText(REG_SZ, std::string(MAX_PATH, 'd'));
    EXPECT_EQ(Read(&accepted), "");
    EXPECT_FALSE(accepted);

    // MAX_PATH characters stored without their NUL fill the buffer exactly.
    const std::string unterminated(MAX_PATH, 'u');
    Store(REG_SZ, unterminated.data(), MAX_PATH);
    EXPECT_EQ(Read(&accepted), "");
    EXPECT_FALSE(accepted);
}

TEST(LoadDefaultPathsFromRegistry, TheInstalledFolderGetsAForwardSlashAndTheNames) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, tarn::kInstallationKey, 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char folder[] = "D:\\Show";
    RegSetValueExA(key, tarn::kInstallationValue, 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(folder), sizeof folder);
    LoadDefaultPaths();
    RegDeleteValueA(key, tarn::kInstallationValue);
    RegCloseKey(key);
    EXPECT_STREQ(g_Show.PlayerPath, "D:\\Show/TarnPlayer.exe");
    EXPECT_STREQ(g_Show.ShowDescriptionPath, "D:\\Show/TarnPlayer.ini");

    // Without the value the player's own folder stands in.
    LoadDefaultPaths();
    char executable[MAX_PATH];
    GetModuleFileNameA(nullptr, executable, sizeof executable);
    std::string own(executable);
    own.resize(own.find_last_of("\\/"));
    EXPECT_EQ(std::string(g_Show.PlayerPath), own + "/TarnPlayer.exe");
}

}  // namespace
