// The registry over folders: opening keys by path, enumerating subkeys in
// byte order, and Win32's results.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "phone_fixture.h"
#include "platform/windows.h"

namespace {

constexpr char16_t providers[] = u"Software\\Microsoft\\Inbox\\SyncServiceProviders";
const std::string providersFolder = "registry/HKEY_LOCAL_MACHINE/Software/Microsoft/Inbox/SyncServiceProviders";

class Registry : public phonetest::PhoneTest {
 protected:
  void TearDown() override {
    EXPECT_EQ(platform::openRegistryKeyCount(), 0);
    PhoneTest::TearDown();
  }

  // Every subkey name by index from 0 until the enumeration fails, as a
  // caller lists them; last is that failure.
  static std::vector<std::u16string> subkeys(HKEY key, LONG* last = nullptr) {
    std::vector<std::u16string> found;
    for (DWORD index = 0;; ++index) {
      WCHAR name[128];
      DWORD size = 128;
      const LONG result = RegEnumKeyExW(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
      if (result != ERROR_SUCCESS) {
        if (last != nullptr) *last = result;
        return found;
      }
      found.emplace_back(name, size);
    }
  }
};

TEST_F(Registry, SubkeysComeInByteOrderOfTheirNames) {
  for (const char* name : {"b", "Zeta", "a", "B", "\xc3\xa4rger", "ActiveSync"})
    makeFolders(providersFolder + "/" + name);
  write(providersFolder + "/a-file", "not a key");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, providers, 0, 0, &key), ERROR_SUCCESS);
  ASSERT_NE(key, nullptr);
  LONG last = ERROR_SUCCESS;
  EXPECT_EQ(subkeys(key, &last),
            (std::vector<std::u16string>{u"ActiveSync", u"B", u"Zeta", u"a", u"b", u"\u00e4rger"}));
  EXPECT_EQ(last, static_cast<LONG>(ERROR_NO_MORE_ITEMS));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, NamesInAPathMatchIgnoringCase) {
  makeFolders(providersFolder + "/ActiveSync");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\microsoft\\INBOX\\syncserviceproviders", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys(key), (std::vector<std::u16string>{u"ActiveSync"}));
  // A subkey opens below an open key, and a single '\' may end the path.
  HKEY sync = nullptr;
  EXPECT_EQ(RegOpenKeyExW(key, u"activesync\\", 0, 0, &sync), ERROR_SUCCESS);
  EXPECT_EQ(subkeys(sync), std::vector<std::u16string>{});
  EXPECT_EQ(RegCloseKey(sync), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, TheExactSpellingWinsOverOneInOtherLetterCase) {
  makeFolders("registry/HKEY_LOCAL_MACHINE/Software/Inbox/one");
  makeFolders("registry/HKEY_LOCAL_MACHINE/Software/INBOX/two");
  makeFolders("registry/HKEY_LOCAL_MACHINE/Software/inbox/three");
  const struct {
    const char16_t* path;
    std::u16string subkey;
  } cases[] = {{u"Software\\inbox", u"three"}, {u"Software\\INBOX", u"two"}, {u"Software\\InBox", u"two"}};
  for (const auto& c : cases) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, c.path, 0, 0, &key), ERROR_SUCCESS);
    EXPECT_EQ(subkeys(key), std::vector<std::u16string>{c.subkey});
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  }
}

TEST_F(Registry, AMissingKeyIsNotFoundAndGivesNoKey) {
  makeFolders("registry/HKEY_LOCAL_MACHINE/Software");
  write("registry/HKEY_LOCAL_MACHINE/Software/Plain", "a file is no key");
  makeFolders("registry/outside");
  const char16_t* missing[] = {
      u"Software\\Microsoft",       u"Software\\Plain", u"Nothing\\At\\All", u"..\\..\\registry",
      u"Software\\..\\..\\outside", u"Software\\.",     u"Soft/ware"};
  for (const char16_t* path : missing) {
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, 0, &key), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(key, nullptr);
  }
  // Without any registry folder, a predefined key still opens and is empty.
  phonetest::fs::remove_all(path("registry"));
  HKEY root = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, nullptr, 0, 0, &root), ERROR_SUCCESS);
  LONG last = ERROR_SUCCESS;
  EXPECT_TRUE(subkeys(root, &last).empty());
  EXPECT_EQ(last, static_cast<LONG>(ERROR_NO_MORE_ITEMS));
  EXPECT_EQ(RegCloseKey(root), ERROR_SUCCESS);
  EXPECT_TRUE(subkeys(HKEY_CURRENT_USER).empty());
}

TEST_F(Registry, EmptyNamesInAPathAreBadPaths) {
  makeFolders("registry/HKEY_LOCAL_MACHINE/Software/Microsoft");
  for (const char16_t* path : {u"\\Software", u"Software\\\\Microsoft", u"Software\\Microsoft\\\\"}) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, 0, &key), static_cast<LONG>(ERROR_BAD_PATHNAME));
    EXPECT_EQ(key, nullptr);
  }
}

TEST_F(Registry, ANameThatDoesNotFitGivesMoreDataAndLeavesTheBuffer) {
  makeFolders(providersFolder + "/Sixsix");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, providers, 0, 0, &key), ERROR_SUCCESS);
  WCHAR name[8] = u"xxxxxxx";
  DWORD size = 6;  // the name's length, no room for the terminator
  EXPECT_EQ(RegEnumKeyExW(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), static_cast<LONG>(ERROR_MORE_DATA));
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(std::u16string(name), u"xxxxxxx");
  size = 7;
  WCHAR className[4] = u"abc";
  DWORD classSize = 4;
  FILETIME written{};
  EXPECT_EQ(RegEnumKeyExW(key, 0, name, &size, nullptr, className, &classSize, &written), ERROR_SUCCESS);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(std::u16string(name), u"Sixsix");
  EXPECT_EQ(classSize, 0u);
  EXPECT_EQ(className[0], 0);
  EXPECT_NE(written.dwHighDateTime, 0u);
  DWORD reserved = 0;
  EXPECT_EQ(RegEnumKeyExW(key, 0, name, &size, &reserved, nullptr, nullptr, nullptr),
            static_cast<LONG>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, AKeyThatIsNotOpenIsRefused) {
  makeFolders(providersFolder);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, providers, 0, 0, &key), ERROR_SUCCESS);
  EXPECT_EQ(platform::openRegistryKeyCount(), 1);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), static_cast<LONG>(ERROR_INVALID_HANDLE));
  WCHAR name[16];
  DWORD size = 16;
  EXPECT_EQ(RegEnumKeyExW(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
            static_cast<LONG>(ERROR_INVALID_HANDLE));
  HKEY sub = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExW(key, u"x", 0, 0, &sub), static_cast<LONG>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(sub, nullptr);
  EXPECT_EQ(RegOpenKeyExW(reinterpret_cast<HKEY>(0x12345), u"x", 0, 0, &sub), static_cast<LONG>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, providers, 1, 0, &sub), static_cast<LONG>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, providers, 0, 0, nullptr), static_cast<LONG>(ERROR_INVALID_PARAMETER));
}

TEST_F(Registry, AnEnumerationFromIndexZeroSeesTheKeyAsItIsNow) {
  makeFolders(providersFolder + "/One");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, providers, 0, 0, &key), ERROR_SUCCESS);
  EXPECT_EQ(subkeys(key), std::vector<std::u16string>{u"One"});
  makeFolders(providersFolder + "/Two");
  EXPECT_EQ(subkeys(key), (std::vector<std::u16string>{u"One", u"Two"}));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

}  // namespace
