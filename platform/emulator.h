// The emulated phone itself, as front-ends and tests see it: its screen, its
// clock and locale, its folders, the keys a user presses, and faults that
// tests inject into the file layer. App code never includes this header.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace platform {

// ---- Clock and locale ---------------------------------------------------------
// A fixed local time for GetLocalTime (tests, the headless driver); nullopt
// returns to the real clock.
void setFixedLocalTime(std::optional<SYSTEMTIME> time);
// The phone's locale as an ICU id ("en_US", "de_DE"); empty: the user's
// locale from the environment (LC_ALL, LC_NUMERIC/LC_TIME, LANG).
void setLocale(const std::string& icuLocaleId);
// Overrides the decimal separator the locale gives (0: no override; u"" as
// an explicit override means "unavailable").
void setDecimalSeparatorOverride(std::optional<std::u16string> separator);

// ---- Folders -------------------------------------------------------------------
// The program folder: where GetModuleFileNameW says the program lies. By
// default the executable's folder, or TESSRA_HOME when set.
void setProgramFolder(const std::string& folder);
std::string programFolderUtf8();
// The phone's root folder for the platform's own files (TESSRA_DEVICE, by
// default $XDG_DATA_HOME/tessra or ~/.local/share/tessra). Created on demand.
void setDeviceRoot(const std::string& folder);
std::string deviceRoot();

// ---- File faults (tests) ---------------------------------------------------------
// A fault makes the call fail as a failing device would: CreateFileW with
// ERROR_ACCESS_DENIED, ReadFile with ERROR_READ_FAULT, WriteFile,
// SetEndOfFile and CopyFileW (each one Write) with ERROR_WRITE_FAULT,
// SetFilePointer with ERROR_SEEK.
enum class FileOp { Open, Read, Write, Seek };
// Makes the operation of kind op fail after `skip` more successful ones
// (skip 0: the next one fails). Every armed fault fires once.
void failFileOperation(FileOp op, int skip);
void clearFileFaults();
// How many operations of a kind ran since the last clear (for tests that
// sweep a fault over every write of an operation).
int fileOperationCount(FileOp op);
// How many armed faults fired since the last clear: a sweep that arms a
// fault past the operation's last call sees 0 and knows it is done.
int fileFaultsFired();

// ---- Write recording (tests) ---------------------------------------------------
// Every change the file layer makes to a file's bytes while recording, in
// the order it made them, so that a test can replay any prefix of an
// operation's writes on a copy of the file it started from, as if the
// power had gone after them. Only what reached the file is recorded: a
// write that an injected fault refused is not.
struct RecordedWrite {
  enum class Kind {
    Write,   // bytes written at offset
    Resize,  // the file cut or extended (with zeros) to the length offset
  };
  Kind kind = Kind::Write;
  std::string path;  // the file as it was opened, as a host path
  std::uint64_t offset = 0;
  std::vector<std::uint8_t> bytes;
};
void startRecordingWrites();
// What was recorded since the start; recording ends.
std::vector<RecordedWrite> stopRecordingWrites();

// ---- Message boxes (tests) --------------------------------------------------------
// The text of every message box shown since the last clear, in order: how
// often a failure was reported, whatever keys answered the boxes.
const std::vector<std::u16string>& messageBoxesShown();
void clearMessageBoxesShown();

// ---- Phone services (tests) ------------------------------------------------------
// Where LoadLibraryW looks for libraries; empty: the folder of the running
// executable (where the build puts libcemapi.so).
void setLibraryFolder(const std::string& folder);
// References LoadLibraryW gave out that FreeLibrary has not taken back.
int loadedLibraryReferences();
// CoInitializeEx calls not yet balanced by CoUninitialize, and the
// CoUninitialize calls that had none to balance.
int comInitializeDepth();
int comUnbalancedUninitializeCount();
void resetComCounts();
// Makes the next CoInitializeEx fail with result (a failure needs no
// CoUninitialize).
void failNextCoInitializeEx(HRESULT result);
// Registry keys and SMS handles open now.
int openRegistryKeyCount();
int openSmsHandleCount();
// Waits until every call handler (TESSRA_TEL_HANDLER) started so far has
// ended, so that a test can look at what it did.
void waitForCallHandlers();

}  // namespace platform
