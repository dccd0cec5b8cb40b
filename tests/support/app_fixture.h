// Runs the whole program in process on an emulated phone: a fresh program
// folder, a fixed clock and locale, the MainWindow started as the phone would
// start it, and keys pressed one at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/phone.h"
#include "platform/windows.h"
#include "storage/database.h"
#include "storage/writer.h"

namespace apptest {

class App {
 public:
  App();
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  const std::string& home() const { return home_; }
  // Writes a database into the program folder; returns its path.
  std::string writeDatabase(const std::string& name, const DatabaseImage& image);
  std::vector<std::uint8_t> fileBytes(const std::string& name) const;

  // Starts the program with a command line (empty: the Catalogue).
  // False when start-up produced no window.
  bool start(const std::u16string& commandLine = u"");
  // Starts on a database of the program folder, opened from the command line.
  bool open(const std::string& name);

  Database& db();
  HWND mainWindow();
  // Sends a command as a menu item or soft key would.
  void command(std::uint16_t commandId);
  void press(platform::Key key, char16_t ch = 0);
  void type(const std::u16string& text);
  std::string screen();

  // Keys for the moments the program waits for input inside a command (a
  // message box, a dialog). When none is queued, the screen is kept in
  // prompts() and the action key answers.
  void queueKey(platform::Key key, char16_t ch = 0);
  // A queued key with something done first on the dialog that waits (the
  // parent of the focused control): filling in its boxes, say.
  void queueStep(std::function<void(HWND dialog)> act, platform::Key key);
  const std::vector<std::string>& prompts() const { return prompts_; }
  // The screen at every wait for a key, queued or not (what a dialog showed
  // before the queued keys answered it).
  const std::vector<std::string>& waits() const { return waits_; }
  std::string lastPrompt() const { return prompts_.empty() ? std::string() : prompts_.back(); }

  // The form's control of an item.
  HWND control(int item);
  void setText(int item, const std::u16string& text);
  std::u16string text(int item);

 private:
  std::string home_;
  bool started_ = false;
  struct Step {
    platform::KeyEvent key;
    std::function<void(HWND)> act;
  };
  std::vector<Step> queued_;
  std::vector<std::string> prompts_;
  std::vector<std::string> waits_;
};

// The DataHeader as it stands in a file's bytes, with the data area's start.
struct StoredHeader {
  std::uint32_t dataBase = 0;
  DataHeader header;
};
StoredHeader readStoredHeader(const std::vector<std::uint8_t>& file, const DatabaseImage& image);

// Reads one u32 / u16 of a file at dataBase + position.
std::uint32_t u32At(const std::vector<std::uint8_t>& file, std::uint32_t offset);

// The FieldEntries of the record at position: (position, fieldId, type) in
// chain order; stops at 64 entries.
struct StoredEntry {
  Position position;
  std::uint16_t fieldId;
  std::uint8_t valueType;
  std::vector<std::uint8_t> payload;
};
std::vector<StoredEntry> recordEntries(const std::vector<std::uint8_t>& file, std::uint32_t dataBase,
                                       Position record);
// The record positions of the chain from firstRecord.
std::vector<Position> recordChain(const std::vector<std::uint8_t>& file, std::uint32_t dataBase);

// Runs `tsq check` on a copy of the bytes (the program holds its file
// locked): "sound", or the tool's report.
std::string tsqCheck(const std::vector<std::uint8_t>& file);

}  // namespace apptest
