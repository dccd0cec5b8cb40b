// A submitted message as an Internet message (composed with GMime) and its
// delivery into a Maildir.
#include <fcntl.h>
#include <gmime/gmime.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "cemapi/objects.h"

namespace cemapi {

namespace {

// Holds one reference to a GObject.
template <typename T>
class GObjectRef {
 public:
  explicit GObjectRef(T* object) : object_(object) {}
  GObjectRef(const GObjectRef&) = delete;
  GObjectRef& operator=(const GObjectRef&) = delete;
  ~GObjectRef() {
    if (object_ != nullptr) g_object_unref(object_);
  }
  T* get() const { return object_; }

 private:
  T* object_;
};

bool hasControlCharacter(std::string_view text) {
  for (const unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// A header holds one line: line breaks and other control characters in a
// subject become spaces.
std::string oneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return line;
}

// The name a recipient sees: the file name without any folder, without
// control characters.
std::string attachmentName(std::string_view name) {
  const auto slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  std::string clean(name);
  for (char& c : clean) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
  }
  return clean.empty() ? std::string("attachment") : clean;
}

GMimeAddressType addressTypeOf(LONG type) {
  switch (type) {
    case MAPI_CC:
      return GMIME_ADDRESS_TYPE_CC;
    case MAPI_BCC:
      return GMIME_ADDRESS_TYPE_BCC;
    default:
      return GMIME_ADDRESS_TYPE_TO;
  }
}

GMimeDataWrapper* contentOf(const void* data, std::size_t size) {
  GObjectRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(static_cast<const char*>(data), size));
  return g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT);
}

// The recipients' addresses added to the message; MAPI_E_NO_RECIPIENTS
// when none has an address, MAPI_E_INVALID_PARAMETER for one that would
// break the header.
HRESULT addRecipients(GMimeMessage* message, const std::vector<OutgoingRecipient>& recipients) {
  int added = 0;
  for (const OutgoingRecipient& recipient : recipients) {
    const std::string_view address = trimmed(recipient.address);
    // A recipient without an address (a trailing ';') cannot be written.
    if (address.empty()) continue;
    if (hasControlCharacter(address)) return MAPI_E_INVALID_PARAMETER;
    const std::string text(address);
    InternetAddressList* list = g_mime_message_get_addresses(message, addressTypeOf(recipient.type));
    GObjectRef<InternetAddress> mailbox(internet_address_mailbox_new(nullptr, text.c_str()));
    internet_address_list_add(list, mailbox.get());
    ++added;
  }
  return added > 0 ? S_OK : MAPI_E_NO_RECIPIENTS;
}

std::string hostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == 0) return "localhost";
  // Maildir names keep '/' and ':' out of the host part.
  std::string host;
  for (const char* p = name; *p != 0; ++p) {
    if (*p == '/') {
      host += "\\057";
    } else if (*p == ':') {
      host += "\\072";
    } else {
      host += *p;
    }
  }
  return host;
}

// The host part of a Message-Id: the host's name as far as it is a domain
// name's letters, digits, '-' and '.'.
std::string messageIdHost() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) name[0] = 0;
  std::string host;
  for (const char* p = name; *p != 0; ++p) {
    const char c = *p;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.') host += c;
  }
  while (!host.empty() && host.front() == '.') host.erase(host.begin());
  while (!host.empty() && host.back() == '.') host.pop_back();
  return host.empty() ? std::string("localhost") : host;
}

// A Maildir file name no other delivery uses: the time, the process, a
// counter, the host.
std::string uniqueName() {
  static std::atomic<unsigned long> deliveries{0};
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  char name[128];
  std::snprintf(name, sizeof name, "%lld.M%ldP%dQ%lu.", static_cast<long long>(now.tv_sec), now.tv_nsec / 1000,
                static_cast<int>(::getpid()), ++deliveries);
  return name + hostName();
}

bool makeFolder(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST; }

// Moves the written file into new/ without replacing anything there.
int moveWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

GMimeMessage* compose(const OutgoingMessage& out, HRESULT* result) {
  GMimeMessage* message = g_mime_message_new(TRUE);
  *result = addRecipients(message, out.recipients);
  if (FAILED(*result)) {
    g_object_unref(message);
    return nullptr;
  }
  g_mime_message_set_subject(message, oneLine(out.subject).c_str(), "utf-8");
  GDateTime* date = g_date_time_new_local(out.date.wYear, out.date.wMonth, out.date.wDay, out.date.wHour,
                                          out.date.wMinute, out.date.wSecond);
  if (date == nullptr) date = g_date_time_new_now_local();
  g_mime_message_set_date(message, date);
  g_date_time_unref(date);
  char* id = g_mime_utils_generate_message_id(messageIdHost().c_str());
  g_mime_message_set_message_id(message, id);
  g_free(id);

  GObjectRef<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));

  GObjectRef<GMimeTextPart> body(g_mime_text_part_new_with_subtype("plain"));
  {
    GObjectRef<GMimeDataWrapper> content(contentOf(out.body.data(), out.body.size()));
    g_mime_part_set_content(GMIME_PART(body.get()), content.get());
  }
  g_mime_object_set_content_type_parameter(GMIME_OBJECT(body.get()), "charset", "utf-8");
  g_mime_part_set_content_encoding(GMIME_PART(body.get()), g_mime_part_get_best_content_encoding(
                                                               GMIME_PART(body.get()), GMIME_ENCODING_CONSTRAINT_7BIT));
  g_mime_multipart_add(mixed.get(), GMIME_OBJECT(body.get()));

  for (const OutgoingAttachment& attachment : out.attachments) {
    GObjectRef<GMimePart> part(g_mime_part_new_with_type("application", "octet-stream"));
    GObjectRef<GMimeDataWrapper> content(contentOf(attachment.data->data(), attachment.data->size()));
    g_mime_part_set_content(part.get(), content.get());
    g_mime_part_set_content_encoding(part.get(), GMIME_CONTENT_ENCODING_BASE64);
    g_mime_part_set_filename(part.get(), attachmentName(attachment.fileName).c_str());
    g_mime_multipart_add(mixed.get(), GMIME_OBJECT(part.get()));
  }
  g_mime_message_set_mime_part(message, GMIME_OBJECT(mixed.get()));
  g_mime_object_set_header(GMIME_OBJECT(message), "MIME-Version", "1.0", nullptr);
  return message;
}

}  // namespace

HRESULT deliver(const std::string& maildir, const OutgoingMessage& out) {
  HRESULT result = S_OK;
  GObjectRef<GMimeMessage> message(compose(out, &result));
  if (message.get() == nullptr) return result;

  const std::string tmp = maildir + "/tmp";
  const std::string fresh = maildir + "/new";
  if (!makeFolder(maildir + "/tmp") || !makeFolder(fresh) || !makeFolder(maildir + "/cur")) return MAPI_E_DISK_ERROR;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = uniqueName();
    const std::string written = tmp + "/" + name;
    const int fd = ::open(written.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return MAPI_E_DISK_ERROR;
    }
    bool ok = false;
    {
      GObjectRef<GMimeStream> stream(g_mime_stream_fs_new(fd));  // closes fd when released
      ok = g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), nullptr, stream.get()) >= 0 &&
           g_mime_stream_flush(stream.get()) == 0 && ::fsync(fd) == 0;
    }
    if (!ok) {
      ::unlink(written.c_str());
      return MAPI_E_NOT_ENOUGH_DISK;
    }
    const int moved = moveWithoutReplacing(written, fresh + "/" + name);
    if (moved == 0) return S_OK;
    ::unlink(written.c_str());
    if (moved != EEXIST) return MAPI_E_DISK_ERROR;
  }
  return MAPI_E_DISK_ERROR;
}

}  // namespace cemapi
