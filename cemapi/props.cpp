// Property values, their packing into MAPI buffers, and property streams.
#include <cstring>

#include "cemapi/objects.h"

namespace cemapi {

namespace {

bool isText(ULONG type) { return type == PT_UNICODE || type == PT_STRING8; }

std::size_t boundedLength(const char16_t* text) {
  std::size_t length = 0;
  while (length <= maxTextUnits && text[length] != 0) ++length;
  return length;
}
std::size_t boundedLength(const char* text) {
  std::size_t length = 0;
  while (length <= maxTextUnits && text[length] != 0) ++length;
  return length;
}

// A text value's units up to its first null unit.
std::u16string unitsOf(const Value& value) {
  std::u16string units;
  if (value.bytes == nullptr) return units;
  const std::vector<BYTE>& bytes = *value.bytes;
  if (value.type == PT_STRING8) {
    std::string_view chars(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    chars = chars.substr(0, chars.find('\0'));
    return fromUtf8(chars);
  }
  units.resize(bytes.size() / 2);
  if (!units.empty()) std::memcpy(units.data(), bytes.data(), units.size() * 2);
  const auto end = units.find(u'\0');
  if (end != std::u16string::npos) units.resize(end);
  return units;
}

constexpr std::size_t aligned(std::size_t size) { return (size + 7) & ~std::size_t{7}; }

// One value to pack: the SPropValue and the bytes its pointer points at.
struct Packed {
  SPropValue value{};
  std::vector<BYTE> data;
};

Packed errorValue(ULONG tag, SCODE error) {
  Packed p;
  p.value.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(tag));
  p.value.Value.err = error;
  return p;
}

Packed packValue(ULONG requested, const Value& stored, ULONG flags) {
  ULONG type = PROP_TYPE(requested);
  if (type == PT_UNSPECIFIED) {
    type = isText(stored.type) ? ((flags & MAPI_UNICODE) != 0 ? PT_UNICODE : PT_STRING8) : stored.type;
  }
  Packed p;
  p.value.ulPropTag = PROP_TAG(type, PROP_ID(requested));
  switch (type) {
    case PT_I2:
      p.value.Value.i = static_cast<short>(stored.number);
      break;
    case PT_LONG:
      p.value.Value.l = static_cast<LONG>(stored.number);
      break;
    case PT_BOOLEAN:
      p.value.Value.b = static_cast<unsigned short>(stored.number != 0);
      break;
    case PT_ERROR:
      p.value.Value.err = static_cast<SCODE>(stored.number);
      break;
    case PT_DOUBLE:
      p.value.Value.dbl = stored.real;
      break;
    case PT_SYSTIME: {
      const auto ticks = static_cast<std::uint64_t>(stored.number);
      p.value.Value.ft = FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
      break;
    }
    case PT_BINARY:
      if (stored.bytes != nullptr) p.data = *stored.bytes;
      break;
    case PT_UNICODE: {
      const std::u16string units = unitsOf(stored);
      p.data.resize((units.size() + 1) * 2, 0);
      std::memcpy(p.data.data(), units.c_str(), p.data.size());
      break;
    }
    case PT_STRING8: {
      const std::string chars = toUtf8(unitsOf(stored));
      p.data.assign(chars.begin(), chars.end());
      p.data.push_back(0);
      break;
    }
    default:
      return errorValue(requested, MAPI_E_NOT_FOUND);
  }
  return p;
}

// Copies the packed values into one buffer and points each at its bytes.
HRESULT emit(std::vector<Packed>& packed, LPSPropValue* values) {
  std::size_t size = aligned(packed.size() * sizeof(SPropValue));
  for (const Packed& p : packed) size += aligned(p.data.size());
  auto* block = static_cast<BYTE*>(allocateBuffer(size));
  if (block == nullptr) return MAPI_E_NOT_ENOUGH_MEMORY;
  auto* out = reinterpret_cast<SPropValue*>(block);
  BYTE* data = block + aligned(packed.size() * sizeof(SPropValue));
  for (std::size_t i = 0; i < packed.size(); ++i) {
    out[i] = packed[i].value;
    const std::vector<BYTE>& bytes = packed[i].data;
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    switch (PROP_TYPE(out[i].ulPropTag)) {
      case PT_BINARY:
        out[i].Value.bin.cb = static_cast<ULONG>(bytes.size());
        out[i].Value.bin.lpb = data;
        break;
      case PT_UNICODE:
        out[i].Value.lpszW = reinterpret_cast<LPWSTR>(data);
        break;
      case PT_STRING8:
        out[i].Value.lpszA = reinterpret_cast<LPSTR>(data);
        break;
      default:
        break;
    }
    data += aligned(bytes.size());
  }
  *values = out;
  return S_OK;
}

}  // namespace

Value textValue(std::u16string_view text) {
  Value v;
  v.type = PT_UNICODE;
  v.bytes = std::make_shared<std::vector<BYTE>>(text.size() * 2);
  if (!text.empty()) std::memcpy(v.bytes->data(), text.data(), text.size() * 2);
  return v;
}

Value binaryValue(const void* data, std::size_t size) {
  Value v;
  v.type = PT_BINARY;
  const auto* bytes = static_cast<const BYTE*>(data);
  v.bytes = std::make_shared<std::vector<BYTE>>(bytes, bytes + size);
  return v;
}

Value longValue(LONG value) {
  Value v;
  v.type = PT_LONG;
  v.number = value;
  return v;
}

SCODE PropertyBag::set(const SPropValue& value) {
  const ULONG type = PROP_TYPE(value.ulPropTag);
  Value v;
  v.type = type;
  switch (type) {
    case PT_I2:
      v.number = value.Value.i;
      break;
    case PT_LONG:
      v.number = value.Value.l;
      break;
    case PT_BOOLEAN:
      v.number = value.Value.b != 0;
      break;
    case PT_DOUBLE:
      v.real = value.Value.dbl;
      break;
    case PT_SYSTIME:
      v.number = static_cast<std::int64_t>((static_cast<std::uint64_t>(value.Value.ft.dwHighDateTime) << 32) |
                                           value.Value.ft.dwLowDateTime);
      break;
    case PT_BINARY:
      if (value.Value.bin.cb > maxValueBytes) return MAPI_E_NOT_ENOUGH_MEMORY;
      if (value.Value.bin.cb != 0 && value.Value.bin.lpb == nullptr) return MAPI_E_BAD_VALUE;
      v = binaryValue(value.Value.bin.lpb, value.Value.bin.cb);
      break;
    case PT_UNICODE: {
      if (value.Value.lpszW == nullptr) return MAPI_E_BAD_VALUE;
      const std::size_t length = boundedLength(value.Value.lpszW);
      if (length > maxTextUnits) return MAPI_E_STRING_TOO_LONG;
      v = textValue(std::u16string_view(value.Value.lpszW, length));
      break;
    }
    case PT_STRING8: {
      if (value.Value.lpszA == nullptr) return MAPI_E_BAD_VALUE;
      const std::size_t length = boundedLength(value.Value.lpszA);
      if (length > maxTextUnits) return MAPI_E_STRING_TOO_LONG;
      v.bytes = std::make_shared<std::vector<BYTE>>(value.Value.lpszA, value.Value.lpszA + length);
      break;
    }
    case PT_UNSPECIFIED:
    case PT_NULL:
    case PT_ERROR:
      return MAPI_E_INVALID_TYPE;
    default:
      return MAPI_E_TYPE_NO_SUPPORT;
  }
  put(value.ulPropTag, std::move(v));
  return S_OK;
}

void PropertyBag::put(ULONG tag, Value value) { byId_[PROP_ID(tag)] = Stored{tag, std::move(value)}; }

const Value* PropertyBag::find(ULONG tag) const {
  const auto it = byId_.find(PROP_ID(tag));
  if (it == byId_.end()) return nullptr;
  const ULONG wanted = PROP_TYPE(tag);
  const ULONG stored = it->second.value.type;
  if (wanted == PT_UNSPECIFIED || wanted == stored || (isText(wanted) && isText(stored))) return &it->second.value;
  return nullptr;
}

std::vector<ULONG> PropertyBag::tags() const {
  std::vector<ULONG> all;
  for (const auto& [id, stored] : byId_) all.push_back(stored.tag);
  return all;
}

Bytes PropertyBag::streamBytes(ULONG tag, bool create) {
  const ULONG type = PROP_TYPE(tag);
  if (type != PT_BINARY && !isText(type)) return nullptr;
  const auto it = byId_.find(PROP_ID(tag));
  if (create) {
    Value v;
    v.type = type;
    v.bytes = std::make_shared<std::vector<BYTE>>();
    Bytes bytes = v.bytes;
    put(tag, std::move(v));
    return bytes;
  }
  if (it == byId_.end() || it->second.value.type != type || it->second.value.bytes == nullptr) return nullptr;
  return it->second.value.bytes;
}

std::optional<std::u16string> PropertyBag::text(ULONG tag) const {
  const Value* v = find(CHANGE_PROP_TYPE(tag, PT_UNICODE));
  if (v == nullptr) return std::nullopt;
  return unitsOf(*v);
}

std::optional<LONG> PropertyBag::number(ULONG tag) const {
  const Value* v = find(tag);
  if (v == nullptr || (v->type != PT_LONG && v->type != PT_I2)) return std::nullopt;
  return static_cast<LONG>(v->number);
}

std::optional<std::vector<ULONG>> tagsOf(const SPropTagArray* tags) {
  if (tags == nullptr || tags->cValues == 0 || tags->cValues > maxValues) return std::nullopt;
  return std::vector<ULONG>(tags->aulPropTag, tags->aulPropTag + tags->cValues);
}

HRESULT packProps(const PropertyBag& bag, const SPropTagArray* tags, ULONG flags, ULONG* count, LPSPropValue* values) {
  if (count == nullptr || values == nullptr) return MAPI_E_INVALID_PARAMETER;
  std::vector<ULONG> wanted;
  if (tags == nullptr) {
    wanted = bag.tags();
  } else {
    auto checked = tagsOf(tags);
    if (!checked) return MAPI_E_INVALID_PARAMETER;
    wanted = std::move(*checked);
  }
  std::vector<Packed> packed;
  packed.reserve(wanted.size());
  bool errors = false;
  for (const ULONG tag : wanted) {
    const Value* stored = bag.find(tag);
    if (stored == nullptr) {
      packed.push_back(errorValue(tag, MAPI_E_NOT_FOUND));
      errors = true;
      continue;
    }
    packed.push_back(packValue(tag, *stored, flags));
    if (PROP_TYPE(packed.back().value.ulPropTag) == PT_ERROR) errors = true;
  }
  const HRESULT result = emit(packed, values);
  if (FAILED(result)) return result;
  *count = static_cast<ULONG>(packed.size());
  return errors ? MAPI_W_ERRORS_RETURNED : S_OK;
}

HRESULT setProps(PropertyBag& bag, ULONG count, const SPropValue* values, LPSPropProblemArray* problems) {
  if (count == 0 || values == nullptr || count > maxValues) return MAPI_E_INVALID_PARAMETER;
  std::vector<SPropProblem> found;
  for (ULONG i = 0; i < count; ++i) {
    const SCODE problem = bag.set(values[i]);
    if (problem != S_OK) found.push_back(SPropProblem{i, values[i].ulPropTag, problem});
  }
  if (problems != nullptr && !found.empty()) {
    const std::size_t size = offsetof(SPropProblemArray, aProblem) + found.size() * sizeof(SPropProblem);
    auto* array = static_cast<SPropProblemArray*>(allocateBuffer(size));
    if (array == nullptr) return MAPI_E_NOT_ENOUGH_MEMORY;
    array->cProblem = static_cast<ULONG>(found.size());
    std::memcpy(array->aProblem, found.data(), found.size() * sizeof(SPropProblem));
    *problems = array;
  }
  return S_OK;
}

PropertyStream::PropertyStream(IUnknown* owner, Bytes bytes, bool writable)
    : owner_(owner), bytes_(std::move(bytes)), writable_(writable) {
  owner_->AddRef();
}

PropertyStream::~PropertyStream() { owner_->Release(); }

HRESULT PropertyStream::Read(void* buffer, ULONG size, ULONG* read) {
  if (read != nullptr) *read = 0;
  if (const auto f = injectedFault("IStream::Read")) return *f;
  if (buffer == nullptr && size != 0) return STG_E_INVALIDPOINTER;
  const std::size_t available = position_ < bytes_->size() ? bytes_->size() - position_ : 0;
  const std::size_t n = size < available ? size : available;
  if (n != 0) std::memcpy(buffer, bytes_->data() + position_, n);
  position_ += n;
  if (read != nullptr) *read = static_cast<ULONG>(n);
  return S_OK;
}

HRESULT PropertyStream::Write(const void* buffer, ULONG size, ULONG* written) {
  if (written != nullptr) *written = 0;
  if (const auto f = injectedFault("IStream::Write", STG_E_WRITEFAULT)) return *f;
  if (!writable_) return STG_E_ACCESSDENIED;
  if (buffer == nullptr && size != 0) return STG_E_INVALIDPOINTER;
  if (size > maxValueBytes || position_ > maxValueBytes - size) return STG_E_MEDIUMFULL;
  if (bytes_->size() < position_ + size) bytes_->resize(position_ + size);
  if (size != 0) std::memcpy(bytes_->data() + position_, buffer, size);
  position_ += size;
  if (written != nullptr) *written = size;
  return S_OK;
}

HRESULT PropertyStream::Commit(DWORD) {
  if (const auto f = injectedFault("IStream::Commit")) return *f;
  return S_OK;
}

}  // namespace cemapi
