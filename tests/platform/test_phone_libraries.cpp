// Dynamic libraries (LoadLibraryW, GetProcAddress, FreeLibrary) and COM's
// initialisation count.
#include <gtest/gtest.h>

#include <string>

#include "phone_fixture.h"
#include "platform/objbase.h"
#include "platform/windows.h"

namespace {

constexpr const char* mapiExports[] = {"MAPIInitialize", "MAPILogonEx", "MAPIAllocateBuffer", "MAPIFreeBuffer",
                                       "MAPIUninitialize"};

std::string executableFolder() { return phonetest::fs::read_symlink("/proc/self/exe").parent_path().string(); }

class Libraries : public phonetest::PhoneTest {
 protected:
  void TearDown() override {
    EXPECT_EQ(platform::loadedLibraryReferences(), 0);
    PhoneTest::TearDown();
  }
};

TEST_F(Libraries, CemapiDllIsTheMessagingLibraryBesideTheExecutable) {
  HMODULE module = LoadLibraryW(u"CEMAPI.DLL");
  ASSERT_NE(module, nullptr);
  for (const char* name : mapiExports) EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
  EXPECT_NE(GetProcAddressW(module, u"MAPILogonEx"), nullptr);
  // The same library by any spelling is the same module, counted.
  EXPECT_EQ(LoadLibraryW(u"cemapi.dll"), module);
  EXPECT_EQ(LoadLibraryW(u"\\Windows\\CeMapi.Dll"), module);
  EXPECT_EQ(platform::loadedLibraryReferences(), 3);
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_NE(GetProcAddress(module, "MAPIInitialize"), nullptr);
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_FALSE(FreeLibrary(module));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetProcAddress(module, "MAPIInitialize"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(Libraries, OnlyTheLibrarysOwnEntryPointsAreExports) {
  HMODULE module = LoadLibraryW(u"CEMAPI.DLL");
  ASSERT_NE(module, nullptr);
  // Defined by libraries it uses, or not at all.
  for (const char* name : {"malloc", "g_mime_init", "MAPIOpenLocalFormat", "mapiinitialize"}) {
    EXPECT_EQ(GetProcAddress(module, name), nullptr) << name;
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  }
  EXPECT_EQ(GetProcAddress(module, reinterpret_cast<LPCSTR>(std::uintptr_t{1})), nullptr);  // an ordinal
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(Libraries, AMissingLibraryOrExportIsReported) {
  EXPECT_EQ(LoadLibraryW(u"NOSUCH.DLL"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(LoadLibraryW(u""), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

  // A phone without the messaging library.
  makeFolders("lib");
  platform::setLibraryFolder(path("lib").string());
  EXPECT_EQ(LoadLibraryW(u"CEMAPI.DLL"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

  // One whose file is no library.
  write("lib/libcemapi.so", "not a shared object");
  EXPECT_EQ(LoadLibraryW(u"CEMAPI.DLL"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);

  // One whose library lacks MAPIUninitialize.
  phonetest::fs::copy_file(executableFolder() + "/libcemapi_partial.so", path("lib/libcemapi.so"),
                           phonetest::fs::copy_options::overwrite_existing);
  HMODULE module = LoadLibraryW(u"CEMAPI.DLL");
  ASSERT_NE(module, nullptr);
  for (const char* name : mapiExports) {
    const bool missing = std::string(name) == "MAPIUninitialize";
    EXPECT_EQ(GetProcAddress(module, name) == nullptr, missing) << name;
  }
  EXPECT_TRUE(FreeLibrary(module));
}

class Com : public ::testing::Test {
 protected:
  void SetUp() override { platform::resetComCounts(); }
  void TearDown() override { platform::resetComCounts(); }
};

TEST_F(Com, EveryInitialisationIsCountedUntilItIsBalanced) {
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
  EXPECT_EQ(platform::comInitializeDepth(), 2);
  CoUninitialize();
  EXPECT_EQ(platform::comInitializeDepth(), 1);
  CoUninitialize();
  EXPECT_EQ(platform::comInitializeDepth(), 0);
  EXPECT_EQ(platform::comUnbalancedUninitializeCount(), 0);
  CoUninitialize();
  EXPECT_EQ(platform::comInitializeDepth(), 0);
  EXPECT_EQ(platform::comUnbalancedUninitializeCount(), 1);
}

TEST_F(Com, AFailedInitialisationNeedsNoBalance) {
  int reserved = 0;
  EXPECT_EQ(CoInitializeEx(&reserved, COINIT_MULTITHREADED), E_INVALIDARG);
  platform::failNextCoInitializeEx(E_OUTOFMEMORY);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), E_OUTOFMEMORY);
  EXPECT_EQ(platform::comInitializeDepth(), 0);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  EXPECT_EQ(platform::comInitializeDepth(), 1);
  CoUninitialize();
  EXPECT_EQ(platform::comInitializeDepth(), 0);
}

}  // namespace
