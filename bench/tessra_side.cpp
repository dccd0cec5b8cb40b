#include "bench/tessra_side.h"

#include <cstdio>
#include <deque>
#include <filesystem>

#include "bench/clock.h"
#include "commands/catalogue.h"
#include "commands/dispatch.h"
#include "platform/emulator.h"
#include "platform/phone.h"
#include "platform/text.h"
#include "records/compare.h"
#include "resources/ids.h"
#include "shell/startup.h"
#include "storage/database.h"

namespace bench::tessra {

namespace {

using platform::Key;

HINSTANCE programInstance() { return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x400000)); }

// Keys waiting for a dialog of the command under way, and what showed
// when the program asked for a key nobody had queued.
std::deque<platform::KeyEvent> queuedKeys;
std::vector<std::string> surprises;

void queueKey(Key key, char16_t ch = 0) { queuedKeys.push_back(platform::KeyEvent{key, ch}); }

void command(std::uint16_t commandId) {
  SendMessageW(theDatabase().ui.mainWindow, WM_COMMAND, commandId, 0);
  platform::runPending();
}

void setText(HWND control, const std::u16string& text) {
  SetWindowTextW(control, text.c_str());
  platform::runPending();
}

// The file calls made while the object lives.
class FileCalls {
 public:
  FileCalls()
      : reads_(platform::fileOperationCount(platform::FileOp::Read)),
        writes_(platform::fileOperationCount(platform::FileOp::Write)) {}
  void into(Run& run) const {
    run.reads = platform::fileOperationCount(platform::FileOp::Read) - reads_;
    run.writes = platform::fileOperationCount(platform::FileOp::Write) - writes_;
  }

 private:
  int reads_;
  int writes_;
};

// The Pick Column dialog lists the items a sort can use, in layout order.
std::int32_t pickColumnRow(const Layout& layout, std::int32_t item) {
  std::int32_t row = 0;
  for (std::int32_t i = 0; i < item && i < layout.itemCount; ++i) {
    const auto kind = static_cast<ItemKind>(layout.items[i].kind);
    if (kind == ItemKind::Field || kind == ItemKind::PickList) ++row;
  }
  return row;
}

// The current record stands in sort order among its neighbours.
bool currentInOrder(Database& db) {
  Store& store = db.store;
  const std::int32_t entry = store.records.currentEntry;
  const std::int32_t key = static_cast<std::int32_t>(store.file.header.sortItem);
  if (entry < 0 || key < 0 || key >= store.layout.itemCount) return false;
  const FieldValue& value = store.layout.items[key].value;
  int result = 0;
  if (entry > 0 && (compareValue(store.file, value, store.records.index[entry - 1].keyPosition, result) != err::ok ||
                    result < 0))
    return false;
  const auto last = static_cast<std::int32_t>(store.file.header.recordCount) - 1;
  if (entry < last && (compareValue(store.file, value, store.records.index[entry + 1].keyPosition, result) !=
                           err::ok ||
                       result > 0))
    return false;
  return true;
}

std::u16string integerText(long long value) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld", value);
  return platform::fromUtf8(text);
}

void fillForm(Database& db, const Contact& c) {
  auto control = [&](std::int32_t item) { return db.ui.items[item].control; };
  setText(control(item::name), c.name);
  setText(control(item::city), c.city);
  setText(control(item::mobile), c.mobile);
  setText(control(item::visits), c.visits != 0 ? integerText(c.visits) : u"");
  char balance[32];
  std::snprintf(balance, sizeof balance, "%s%lld.%02lld", c.balanceCents < 0 ? "-" : "",
                std::llabs(c.balanceCents) / 100, std::llabs(c.balanceCents) % 100);
  setText(control(item::balance), c.balanceCents != 0 ? platform::fromUtf8(balance) : u"");
  SYSTEMTIME birthday{static_cast<WORD>(c.birthday.year), static_cast<WORD>(c.birthday.month), 0,
                      static_cast<WORD>(c.birthday.day), 0, 0, 0, 0};
  SendMessageW(control(item::birthday), DTM_SETSYSTEMTIME, c.birthday.year != 0 ? GDT_VALID : GDT_NONE,
               reinterpret_cast<LPARAM>(&birthday));
  SendMessageW(control(item::active), BM_SETCHECK, c.active ? BST_CHECKED : BST_UNCHECKED, 0);
  platform::runPending();
}

}  // namespace

Session::Session(const std::string& folder) : folder_(folder) {
  std::filesystem::create_directories(folder + "/device");
  platform::setProgramFolder(folder);
  platform::setDeviceRoot(folder + "/device");
  platform::setLocale("en_US");
  platform::setDecimalSeparatorOverride(std::nullopt);
  platform::setFixedLocalTime(SYSTEMTIME{2026, 1, 4, 15, 10, 30, 0, 0});
  platform::configureScreen(platform::ScreenConfig{});
  platform::setInputSource([]() -> std::optional<platform::KeyEvent> {
    if (!queuedKeys.empty()) {
      platform::KeyEvent key = queuedKeys.front();
      queuedKeys.pop_front();
      return key;
    }
    surprises.push_back(platform::renderScreen().text());
    return platform::KeyEvent{Key::Action, 0};
  });
  if (!registerMainClass(programInstance())) return;
  started_ = true;
  const HWND window = initialiseInstance(programInstance(), u"", SW_SHOW);
  platform::runPending();
  started_ = window != nullptr;
}

Session::~Session() {
  Database& db = theDatabase();
  if (db.ui.mainWindow != nullptr && IsWindow(db.ui.mainWindow)) DestroyWindow(db.ui.mainWindow);
  platform::runPending();
  releaseInstance(programInstance());
  unregisterMainClass(programInstance());
  platform::resetWindows();
  platform::setInputSource(nullptr);
}

std::vector<std::string> Session::takeSurprises() {
  std::vector<std::string> taken;
  taken.swap(surprises);
  return taken;
}

void Session::close() {
  queuedKeys.clear();
  listDatabases(theDatabase());
  platform::runPending();
}

Run Session::openList(const std::u16string& name) {
  Run run = listed(name);
  close();
  return run;
}

// Opens the database and leaves it on the ListView.
Run Session::listed(const std::u16string& name) {
  Run run;
  close();
  Database& db = theDatabase();
  const LRESULT row = SendMessageW(db.ui.listBox, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(name.c_str()));
  if (row < 0) return run;
  SendMessageW(db.ui.listBox, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
  const FileCalls calls;
  const Stopwatch watch;
  command(cmdOpen);
  run.ms = watch.ms();
  calls.into(run);
  run.ok = db.screen == Screen::ListView;
  run.result = static_cast<std::uint64_t>(SendMessageW(db.ui.listBox, LB_GETCOUNT, 0, 0));
  return run;
}

bool Session::openForm(const std::u16string& name) {
  if (!listed(name).ok) return false;
  command(cmdDone);
  return theDatabase().screen == Screen::FormView;
}

Run Session::sort(const std::u16string& name, std::int32_t item) {
  Run run;
  if (!openForm(name)) return run;
  Database& db = theDatabase();
  const Layout& layout = db.store.layout;
  const std::int32_t from = pickColumnRow(layout, static_cast<std::int32_t>(db.store.file.header.sortItem));
  const std::int32_t to = pickColumnRow(layout, item);
  for (std::int32_t k = from; k < to; ++k) queueKey(Key::Down);
  for (std::int32_t k = to; k < from; ++k) queueKey(Key::Up);
  queueKey(Key::SoftLeft);
  const FileCalls calls;
  const Stopwatch watch;
  command(cmdSort);
  run.ms = watch.ms();
  calls.into(run);
  run.ok = queuedKeys.empty();
  run.result = db.store.file.header.sortItem == static_cast<std::uint32_t>(item) && currentInOrder(db) ? 1 : 0;
  close();
  return run;
}

Run Session::search(const std::u16string& name, const std::vector<std::u16string>& probes) {
  Run run;
  if (!openForm(name) || probes.empty()) return run;
  Database& db = theDatabase();
  run.ok = true;
  double total = 0;
  for (const std::u16string& probe : probes) {
    // The dialog starts from the current key, selected: typing replaces it.
    for (char16_t c : probe) queueKey(Key::Char, c);
    queueKey(Key::SoftLeft);
    const std::vector<std::string> before = surprises;
    const FileCalls calls;
    const Stopwatch watch;
    command(cmdSearch);
    total += watch.ms();
    calls.into(run);
    // "Record not found" is the one message a search may answer with.
    const bool found = surprises.size() == before.size();
    if (found) ++run.result;
    if (!found) surprises.resize(before.size());
    run.ok = run.ok && queuedKeys.empty() && db.screen == Screen::FormView;
  }
  run.ms = total / static_cast<double>(probes.size());
  close();
  return run;
}

Run Session::searchButton(const std::u16string& name, std::int32_t item) {
  Run run;
  if (!openForm(name)) return run;
  Database& db = theDatabase();
  SetFocus(db.ui.items[item].control);
  platform::runPending();
  const FileCalls calls;
  const Stopwatch watch;
  platform::pressKey(platform::KeyEvent{Key::Action, 0});
  platform::runPending();
  run.ms = watch.ms();
  calls.into(run);
  run.ok = db.screen == Screen::FormView;
  run.result = db.store.records.includedCount;
  close();
  return run;
}

Run Session::rename(const std::u16string& name, std::uint32_t place, const std::vector<std::u16string>& names) {
  Run run;
  if (!listed(name).ok) return run;
  Database& db = theDatabase();
  SendMessageW(db.ui.listBox, LB_SETCURSEL, place, 0);
  command(cmdDone);
  if (db.screen != Screen::FormView || names.empty()) return run;
  run.ok = true;
  double total = 0;
  for (const std::u16string& next : names) {
    command(cmdEdit);
    setText(db.ui.items[item::name].control, next);
    const FileCalls calls;
    const Stopwatch watch;
    command(cmdDone);
    total += watch.ms();
    calls.into(run);
    const FieldValue& stored = db.store.layout.items[item::name].value;
    run.ok = run.ok && db.screen == Screen::FormView;
    if (run.ok && stored.payload.text.chars == next && currentInOrder(db)) ++run.result;
  }
  run.ms = total / static_cast<double>(names.size());
  close();
  return run;
}

Run Session::addEach(const std::u16string& name, const std::vector<Contact>& contacts) {
  Run run;
  if (!openForm(name)) return run;
  Database& db = theDatabase();
  const std::uint32_t before = db.store.file.header.recordCount;
  run.ok = true;
  const FileCalls calls;
  const Stopwatch watch;
  for (const Contact& c : contacts) {
    command(cmdNew);
    fillForm(db, c);
    command(cmdDone);
    run.ok = run.ok && db.screen == Screen::FormView;
  }
  run.ms = watch.ms();
  calls.into(run);
  run.result = db.store.file.header.recordCount - before;
  close();
  return run;
}

}  // namespace bench::tessra
