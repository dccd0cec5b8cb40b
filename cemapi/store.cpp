// The session, the store table, message stores and their Outbox folder.
//
// Every folder DEVICE/mail/NAME/ is a store named NAME. Its Outbox is
// DEVICE/mail/NAME/Outbox/, a Maildir; the default store is "ActiveSync",
// made with its Outbox when it is missing.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cemapi/objects.h"

namespace cemapi {

namespace {

constexpr char defaultStoreName[] = "ActiveSync";
constexpr char outboxName[] = "Outbox";
// Entry identifiers: four flag bytes, a mark of what they name, the name.
constexpr char storeMark[] = "TSQS";
constexpr char folderMark[] = "TSQF";
constexpr std::size_t markSize = 4;
constexpr std::size_t maxNameBytes = 255;
// How many entries of DEVICE/mail/ a listing reads.
constexpr int maxListed = 10000;

bool isFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool makeFolder(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST; }

bool isStoreName(std::string_view name) {
  return !name.empty() && name.size() <= maxNameBytes && name != "." && name != ".." &&
         name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::optional<std::string> mailFolder() {
  const auto root = deviceRoot();
  if (!root) return std::nullopt;
  return *root + "/mail";
}

// The stores' names in byte order.
std::vector<std::string> storeNames(const std::string& mail) {
  std::vector<std::string> names;
  DIR* listing = ::opendir(mail.c_str());
  if (listing == nullptr) return names;
  for (int read = 0; read < maxListed; ++read) {
    const dirent* entry = ::readdir(listing);
    if (entry == nullptr) break;
    const std::string name = entry->d_name;
    if (isStoreName(name) && isFolder(mail + "/" + name)) names.push_back(name);
  }
  ::closedir(listing);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<BYTE> entryId(const char* mark, std::string_view name) {
  std::vector<BYTE> id;
  id.reserve(4 + markSize + name.size());
  id.assign(4, 0);
  for (std::size_t i = 0; i < markSize; ++i) id.push_back(static_cast<BYTE>(mark[i]));
  for (const char c : name) id.push_back(static_cast<BYTE>(c));
  return id;
}

// The name an entry identifier of this kind carries, or nullopt.
std::optional<std::string> nameIn(const ENTRYID* id, ULONG size, const char* mark) {
  if (id == nullptr || size < 4 + markSize || size > 4 + markSize + maxNameBytes) return std::nullopt;
  const auto* bytes = reinterpret_cast<const BYTE*>(id);
  if (std::memcmp(bytes + 4, mark, markSize) != 0) return std::nullopt;
  std::string name(reinterpret_cast<const char*>(bytes) + 4 + markSize, size - 4 - markSize);
  if (!isStoreName(name)) return std::nullopt;
  return name;
}

// ---- The Outbox -------------------------------------------------------------------
class Folder final : public PropObject<IMAPIFolder> {
 public:
  Folder(IMsgStore* store, std::string maildir, bool writable)
      : PropObject("IMAPIFolder"), store_(store), maildir_(std::move(maildir)), writable_(writable) {
    bag().put(PR_DISPLAY_NAME_W, textValue(u"Outbox"));
    const std::vector<BYTE> id = entryId(folderMark, outboxName);
    bag().put(PR_ENTRYID, binaryValue(id.data(), id.size()));
  }

  HRESULT CreateMessage(LPCIID iid, ULONG, LPMESSAGE* message) override {
    if (message == nullptr) return MAPI_E_INVALID_PARAMETER;
    *message = nullptr;
    if (const auto f = injectedFault("IMAPIFolder::CreateMessage")) return *f;
    if (iid != nullptr && !(*iid == IID_IMessage) && !(*iid == IID_IMAPIProp)) return MAPI_E_INTERFACE_NOT_SUPPORTED;
    if (!writable_) return MAPI_E_NO_ACCESS;
    *message = newMessage(this, maildir_);
    return S_OK;
  }

 protected:
  bool answers(REFIID iid) const override {
    return iid == IID_IMAPIFolder || iid == IID_IMAPIContainer || iid == IID_IMAPIProp;
  }
  bool changeable() const override { return false; }

 private:
  Ref<IMsgStore> store_;
  std::string maildir_;
  bool writable_;
};

// ---- Stores -------------------------------------------------------------------------
class Store final : public PropObject<IMsgStore> {
 public:
  Store(IMAPISession* session, const std::string& mail, const std::string& name)
      : PropObject("IMsgStore"), session_(session), folder_(mail + "/" + name) {
    bag().put(PR_DISPLAY_NAME_W, textValue(fromUtf8(name)));
    const std::vector<BYTE> id = entryId(storeMark, name);
    bag().put(PR_ENTRYID, binaryValue(id.data(), id.size()));
    // A store without an Outbox folder lacks the property.
    if (isFolder(outbox())) {
      const std::vector<BYTE> outboxId = entryId(folderMark, outboxName);
      bag().put(PR_CE_IPM_OUTBOX_ENTRYID, binaryValue(outboxId.data(), outboxId.size()));
    }
  }

  HRESULT OpenEntry(ULONG entryIdSize, LPENTRYID entryIdBytes, LPCIID iid, ULONG flags, ULONG* objectType,
                    LPUNKNOWN* object) override {
    if (objectType != nullptr) *objectType = 0;
    if (object == nullptr) return MAPI_E_INVALID_PARAMETER;
    *object = nullptr;
    if (const auto f = injectedFault("IMsgStore::OpenEntry")) return *f;
    if (entryIdSize != 0 && entryIdBytes == nullptr) return MAPI_E_INVALID_PARAMETER;
    if (iid != nullptr && !(*iid == IID_IMAPIFolder) && !(*iid == IID_IMAPIContainer) && !(*iid == IID_IMAPIProp)) {
      return MAPI_E_INTERFACE_NOT_SUPPORTED;
    }
    const auto name = nameIn(entryIdBytes, entryIdSize, folderMark);
    if (!name) return MAPI_E_INVALID_ENTRYID;
    if (*name != outboxName || !isFolder(outbox())) return MAPI_E_NOT_FOUND;
    const bool writable = (flags & (MAPI_MODIFY | MAPI_BEST_ACCESS)) != 0;
    IMAPIFolder* folder = new Folder(this, outbox(), writable);
    *object = folder;
    if (objectType != nullptr) *objectType = MAPI_FOLDER;
    return S_OK;
  }

 protected:
  bool answers(REFIID iid) const override { return iid == IID_IMsgStore || iid == IID_IMAPIProp; }
  bool changeable() const override { return false; }

 private:
  std::string outbox() const { return folder_ + "/" + outboxName; }

  Ref<IMAPISession> session_;
  std::string folder_;
};

// ---- The store table ----------------------------------------------------------------
class StoreTable final : public Object<IMAPITable> {
 public:
  StoreTable(IMAPISession* session, const std::string& mail) : session_(session) {
    for (const std::string& name : storeNames(mail)) {
      auto bag = std::make_shared<PropertyBag>();
      bag->put(PR_DISPLAY_NAME_W, textValue(fromUtf8(name)));
      const std::vector<BYTE> id = entryId(storeMark, name);
      bag->put(PR_ENTRYID, binaryValue(id.data(), id.size()));
      rows_.push_back(std::move(bag));
    }
  }

  HRESULT SetColumns(LPSPropTagArray columns, ULONG) override {
    if (const auto f = injectedFault("IMAPITable::SetColumns")) return *f;
    auto checked = tagsOf(columns);
    if (!checked) return MAPI_E_INVALID_PARAMETER;
    columns_ = std::move(*checked);
    return S_OK;
  }

  HRESULT QueryRows(LONG rowCount, ULONG, LPSRowSet* rows) override {
    if (rows == nullptr) return MAPI_E_INVALID_PARAMETER;
    *rows = nullptr;
    if (const auto f = injectedFault("IMAPITable::QueryRows")) return *f;
    if (rowCount <= 0) return MAPI_E_INVALID_PARAMETER;
    const std::size_t left = rows_.size() - cursor_;
    const std::size_t n = std::min<std::size_t>(left, static_cast<std::size_t>(rowCount));
    auto* set = static_cast<SRowSet*>(allocateBuffer(CbNewSRowSet(static_cast<ULONG>(n))));
    if (set == nullptr) return MAPI_E_NOT_ENOUGH_MEMORY;
    set->cRows = 0;
    std::vector<ULONG> columns = columns_;
    SPropTagArray* tags = nullptr;
    std::vector<BYTE> tagBlock(CbNewSPropTagArray(static_cast<ULONG>(columns.size())));
    tags = reinterpret_cast<SPropTagArray*>(tagBlock.data());
    tags->cValues = static_cast<ULONG>(columns.size());
    std::memcpy(tags->aulPropTag, columns.data(), columns.size() * sizeof(ULONG));
    for (std::size_t i = 0; i < n; ++i) {
      SRow& row = set->aRow[i];
      row.ulAdrEntryPad = 0;
      row.cValues = 0;
      row.lpProps = nullptr;
      const HRESULT packed = packProps(*rows_[cursor_ + i], tags, MAPI_UNICODE, &row.cValues, &row.lpProps);
      if (FAILED(packed)) {
        for (std::size_t done = 0; done < i; ++done) MAPIFreeBuffer(set->aRow[done].lpProps);
        MAPIFreeBuffer(set);
        return packed;
      }
      set->cRows = static_cast<ULONG>(i + 1);
    }
    cursor_ += n;
    *rows = set;
    return S_OK;
  }

 protected:
  bool answers(REFIID iid) const override { return iid == IID_IMAPITable; }

 private:
  Ref<IMAPISession> session_;
  std::vector<std::shared_ptr<PropertyBag>> rows_;
  std::vector<ULONG> columns_{PR_DISPLAY_NAME_W, PR_ENTRYID};
  std::size_t cursor_ = 0;
};

// ---- The session ----------------------------------------------------------------------
class Session final : public Object<IMAPISession> {
 public:
  HRESULT GetMsgStoresTable(ULONG, LPMAPITABLE* table) override {
    if (table == nullptr) return MAPI_E_INVALID_PARAMETER;
    *table = nullptr;
    if (const auto f = injectedFault("IMAPISession::GetMsgStoresTable")) return *f;
    return newStoreTable(this, table);
  }

  HRESULT OpenMsgStore(ULONG_PTR, ULONG entryIdSize, LPENTRYID entryIdBytes, LPCIID iid, ULONG, LPMDB* store) override {
    if (store == nullptr) return MAPI_E_INVALID_PARAMETER;
    *store = nullptr;
    if (const auto f = injectedFault("IMAPISession::OpenMsgStore")) return *f;
    if (iid != nullptr && !(*iid == IID_IMsgStore) && !(*iid == IID_IMAPIProp)) return MAPI_E_INTERFACE_NOT_SUPPORTED;
    return openStore(this, entryIdSize, entryIdBytes, store);
  }

  HRESULT Logoff(ULONG_PTR, ULONG, ULONG) override { return S_OK; }

 protected:
  bool answers(REFIID iid) const override { return iid == IID_IMAPISession; }
};

}  // namespace

LPMAPISESSION newSession() { return new Session; }

HRESULT newStoreTable(IMAPISession* session, LPMAPITABLE* table) {
  const auto mail = mailFolder();
  if (!mail) return MAPI_E_CALL_FAILED;
  *table = new StoreTable(session, *mail);
  return S_OK;
}

HRESULT openStore(IMAPISession* session, ULONG entryIdSize, const ENTRYID* entryIdBytes, LPMDB* store) {
  const auto mail = mailFolder();
  if (!mail) return MAPI_E_CALL_FAILED;
  if (entryIdSize == 0) {
    // The default store: a folder of that name in any letter case, else a
    // new one; either way with its Outbox.
    std::string name = defaultStoreName;
    for (const std::string& existing : storeNames(*mail)) {
      if (sameNameIgnoringCase(existing, defaultStoreName)) {
        name = existing;
        break;
      }
    }
    const std::string folder = *mail + "/" + name;
    const std::string outbox = folder + "/" + outboxName;
    if (!makeFolder(*mail) || !makeFolder(folder) || !makeFolder(outbox) || !makeFolder(outbox + "/tmp") ||
        !makeFolder(outbox + "/new") || !makeFolder(outbox + "/cur")) {
      return MAPI_E_DISK_ERROR;
    }
    *store = new Store(session, *mail, name);
    return S_OK;
  }
  if (entryIdBytes == nullptr) return MAPI_E_INVALID_PARAMETER;
  const auto name = nameIn(entryIdBytes, entryIdSize, storeMark);
  if (!name) return MAPI_E_INVALID_ENTRYID;
  if (!isFolder(*mail + "/" + *name)) return MAPI_E_NOT_FOUND;
  *store = new Store(session, *mail, *name);
  return S_OK;
}

}  // namespace cemapi
