// The library's COM objects: reference counting, property bags, property
// streams, and how the objects make one another.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cemapi/internal.h"

namespace cemapi {

// ---- Reference counting -----------------------------------------------------
template <class Interface>
class Object : public Interface {
 public:
  Object() { ++counters().liveObjects; }
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() { --counters().liveObjects; }

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!(iid == IID_IUnknown) && !answers(iid)) return E_NOINTERFACE;
    AddRef();
    *object = static_cast<Interface*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    if (references_ == 0) return 0;
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  // The interfaces besides IUnknown the object offers.
  virtual bool answers(REFIID iid) const = 0;

 private:
  ULONG references_ = 1;
};

// Holds one reference to an object for as long as it lives.
template <class Interface>
class Ref {
 public:
  Ref() = default;
  explicit Ref(Interface* object) : object_(object) {
    if (object_ != nullptr) object_->AddRef();
  }
  Ref(const Ref& other) : Ref(other.object_) {}
  Ref& operator=(const Ref&) = delete;
  ~Ref() {
    if (object_ != nullptr) object_->Release();
  }
  Interface* get() const { return object_; }
  Interface* operator->() const { return object_; }

 private:
  Interface* object_ = nullptr;
};

// ---- Properties ---------------------------------------------------------------
using Bytes = std::shared_ptr<std::vector<BYTE>>;

// One property's value. Texts are kept as their units' bytes (UTF-16 for
// PT_UNICODE, UTF-8 for PT_STRING8) so that a stream can write them; a text
// ends at its first null unit.
struct Value {
  ULONG type = PT_NULL;
  std::int64_t number = 0;  // PT_I2, PT_LONG, PT_BOOLEAN, PT_ERROR, PT_SYSTIME
  double real = 0;          // PT_DOUBLE
  Bytes bytes;              // PT_BINARY, PT_UNICODE, PT_STRING8
};

Value textValue(std::u16string_view text);
Value binaryValue(const void* data, std::size_t size);
Value longValue(LONG value);

class PropertyBag {
 public:
  // Copies a caller's value in: S_OK, or the problem's code.
  SCODE set(const SPropValue& value);
  void put(ULONG tag, Value value);
  // The value stored under the tag's identifier when its type serves the
  // tag (a text of either width serves both).
  const Value* find(ULONG tag) const;
  std::vector<ULONG> tags() const;
  // The bytes a stream on the property writes into: emptied or made when
  // create, else the stored ones; null when missing or not of a streamable
  // type (binary or text).
  Bytes streamBytes(ULONG tag, bool create);

  std::optional<std::u16string> text(ULONG tag) const;
  std::optional<LONG> number(ULONG tag) const;

 private:
  struct Stored {
    ULONG tag;
    Value value;
  };
  std::map<ULONG, Stored> byId_;
};

// The values of the tags (all values for null tags) packed into one MAPI
// buffer, for GetProps and table rows.
HRESULT packProps(const PropertyBag& bag, const SPropTagArray* tags, ULONG flags, ULONG* count, LPSPropValue* values);
// SetProps on a bag: the values that cannot be kept go into the problem
// array when the caller asks for one.
HRESULT setProps(PropertyBag& bag, ULONG count, const SPropValue* values, LPSPropProblemArray* problems);
// A caller's tag array, checked: nullopt when null or its count is 0 or
// too large.
std::optional<std::vector<ULONG>> tagsOf(const SPropTagArray* tags);

// ---- Objects with properties ----------------------------------------------------
class PropertyStream;

template <class Interface>
class PropObject : public Object<Interface> {
 public:
  explicit PropObject(const char* kind) : kind_(kind), bag_(std::make_shared<PropertyBag>()) {}

  HRESULT SaveChanges(ULONG) override {
    if (const auto f = fault("SaveChanges")) return *f;
    return S_OK;  // what is set is kept as it is set
  }
  HRESULT GetProps(LPSPropTagArray tags, ULONG flags, ULONG* count, LPSPropValue* values) override {
    if (count != nullptr) *count = 0;
    if (values != nullptr) *values = nullptr;
    if (const auto f = fault("GetProps")) return *f;
    return packProps(*bag_, tags, flags, count, values);
  }
  HRESULT OpenProperty(ULONG propTag, LPCIID iid, ULONG interfaceOptions, ULONG flags, LPUNKNOWN* object) override;
  HRESULT SetProps(ULONG count, LPSPropValue values, LPSPropProblemArray* problems) override {
    if (problems != nullptr) *problems = nullptr;
    if (const auto f = fault("SetProps")) return *f;
    if (!changeable()) return MAPI_E_NO_ACCESS;
    return setProps(*bag_, count, values, problems);
  }

  PropertyBag& bag() { return *bag_; }
  const std::shared_ptr<PropertyBag>& sharedBag() const { return bag_; }
  void shareBag(std::shared_ptr<PropertyBag> bag) { bag_ = std::move(bag); }

 protected:
  // False once the object may no longer change (a store; a sent message).
  virtual bool changeable() const { return true; }
  std::optional<HRESULT> fault(const char* method, HRESULT natural = MAPI_E_CALL_FAILED) const {
    return injectedFault(std::string(kind_) + "::" + method, natural);
  }

 private:
  const char* kind_;
  std::shared_ptr<PropertyBag> bag_;
};

// A stream over one property's bytes. It writes straight into the property,
// so what is written is kept whether or not the stream is committed.
class PropertyStream final : public Object<IStream> {
 public:
  PropertyStream(IUnknown* owner, Bytes bytes, bool writable);
  ~PropertyStream() override;
  HRESULT Read(void* buffer, ULONG size, ULONG* read) override;
  HRESULT Write(const void* buffer, ULONG size, ULONG* written) override;
  HRESULT Commit(DWORD commitFlags) override;

 protected:
  bool answers(REFIID iid) const override { return iid == IID_IStream || iid == IID_ISequentialStream; }

 private:
  IUnknown* owner_;
  Bytes bytes_;
  bool writable_;
  std::size_t position_ = 0;
};

template <class Interface>
HRESULT PropObject<Interface>::OpenProperty(ULONG propTag, LPCIID iid, ULONG, ULONG flags, LPUNKNOWN* object) {
  if (object == nullptr) return MAPI_E_INVALID_PARAMETER;
  *object = nullptr;
  if (const auto f = fault("OpenProperty")) return *f;
  if (iid != nullptr && !(*iid == IID_IStream) && !(*iid == IID_ISequentialStream) && !(*iid == IID_IUnknown)) {
    return MAPI_E_INTERFACE_NOT_SUPPORTED;
  }
  const bool modify = (flags & (MAPI_MODIFY | MAPI_CREATE)) != 0;
  if (modify && !changeable()) return MAPI_E_NO_ACCESS;
  const ULONG type = PROP_TYPE(propTag);
  if (type != PT_BINARY && type != PT_UNICODE && type != PT_STRING8) return MAPI_E_NO_SUPPORT;
  Bytes bytes = bag_->streamBytes(propTag, (flags & MAPI_CREATE) != 0);
  if (bytes == nullptr) return MAPI_E_NOT_FOUND;
  IStream* stream = new PropertyStream(this, std::move(bytes), modify);
  *object = stream;
  return S_OK;
}

// ---- Making objects -------------------------------------------------------------
LPMAPISESSION newSession();
// The store table of the folders in DEVICE/mail/.
HRESULT newStoreTable(IMAPISession* session, LPMAPITABLE* table);
// A store by its entry identifier; the default store for an empty one.
HRESULT openStore(IMAPISession* session, ULONG entryIdSize, const ENTRYID* entryId, LPMDB* store);
// A new message in a folder, delivered on submission into the Maildir.
LPMESSAGE newMessage(IMAPIFolder* folder, const std::string& maildir);

// What a submitted message holds, ready to be written.
struct OutgoingRecipient {
  LONG type = MAPI_TO;
  std::string address;
};
struct OutgoingAttachment {
  std::string fileName;
  Bytes data;
};
struct OutgoingMessage {
  std::vector<OutgoingRecipient> recipients;
  std::string subject;
  std::string body;
  std::vector<OutgoingAttachment> attachments;
  SYSTEMTIME date{};
};
// Writes the message into the Maildir's new/ (written in tmp/, then moved).
HRESULT deliver(const std::string& maildir, const OutgoingMessage& message);

}  // namespace cemapi
