// Messages and their attachments: everything set on them is kept until the
// message is submitted, when it is delivered as one Internet message.
#include <cstring>

#include "cemapi/objects.h"

namespace cemapi {

namespace {

class Message;

class Attachment final : public PropObject<IAttach> {
 public:
  Attachment(IMessage* message, std::shared_ptr<PropertyBag> bag, const bool* sent)
      : PropObject("IAttach"), message_(message), sent_(sent) {
    shareBag(std::move(bag));
  }

 protected:
  bool answers(REFIID iid) const override { return iid == IID_IAttachment || iid == IID_IMAPIProp; }
  bool changeable() const override { return !*sent_; }

 private:
  Ref<IMessage> message_;  // keeps the message, and so sent_, alive
  const bool* sent_;
};

std::optional<std::string> textOf(const PropertyBag& bag, ULONG tag) {
  const auto text = bag.text(tag);
  if (!text) return std::nullopt;
  return toUtf8(*text);
}

class Message final : public PropObject<IMessage> {
 public:
  Message(IMAPIFolder* folder, std::string maildir)
      : PropObject("IMessage"), folder_(folder), maildir_(std::move(maildir)) {}

  HRESULT CreateAttach(LPCIID iid, ULONG, ULONG* attachmentNumber, LPATTACH* attach) override {
    if (attachmentNumber != nullptr) *attachmentNumber = 0;
    if (attach == nullptr) return MAPI_E_INVALID_PARAMETER;
    *attach = nullptr;
    if (const auto f = fault("CreateAttach")) return *f;
    if (iid != nullptr && !(*iid == IID_IAttachment) && !(*iid == IID_IMAPIProp)) {
      return MAPI_E_INTERFACE_NOT_SUPPORTED;
    }
    if (sent_) return MAPI_E_SUBMITTED;
    if (attachments_.size() >= maxValues) return MAPI_E_TABLE_TOO_BIG;
    auto bag = std::make_shared<PropertyBag>();
    const auto number = static_cast<ULONG>(attachments_.size());
    bag->put(PR_ATTACH_NUM, longValue(static_cast<LONG>(number)));
    attachments_.push_back(bag);
    *attach = new Attachment(this, std::move(bag), &sent_);
    if (attachmentNumber != nullptr) *attachmentNumber = number;
    return S_OK;
  }

  HRESULT ModifyRecipients(ULONG flags, LPADRLIST entries) override {
    if (const auto f = fault("ModifyRecipients")) return *f;
    if (sent_) return MAPI_E_SUBMITTED;
    if ((flags & ~(MODRECIP_ADD | MODRECIP_MODIFY | MODRECIP_REMOVE)) != 0) return MAPI_E_UNKNOWN_FLAGS;
    if ((flags & (MODRECIP_MODIFY | MODRECIP_REMOVE)) != 0) return MAPI_E_NO_SUPPORT;
    if (entries == nullptr) return MAPI_E_INVALID_PARAMETER;
    if (entries->cEntries > maxRecipients) return MAPI_E_TABLE_TOO_BIG;
    // All entries or none: a bad one leaves the recipients as they were.
    std::vector<PropertyBag> added;
    for (ULONG i = 0; i < entries->cEntries; ++i) {
      const ADRENTRY& entry = entries->aEntries[i];
      if (entry.cValues > maxValues || (entry.cValues != 0 && entry.rgPropVals == nullptr)) {
        return MAPI_E_INVALID_PARAMETER;
      }
      PropertyBag recipient;
      for (ULONG v = 0; v < entry.cValues; ++v) {
        const SCODE problem = recipient.set(entry.rgPropVals[v]);
        if (problem != S_OK) return problem;
      }
      added.push_back(std::move(recipient));
    }
    if ((flags & MODRECIP_ADD) == 0) recipients_.clear();
    if (recipients_.size() + added.size() > maxRecipients) return MAPI_E_TABLE_TOO_BIG;
    for (PropertyBag& recipient : added) recipients_.push_back(std::move(recipient));
    return S_OK;
  }

  HRESULT SubmitMessage(ULONG) override {
    if (const auto f = fault("SubmitMessage")) return *f;
    if (sent_) return MAPI_E_SUBMITTED;
    OutgoingMessage out;
    for (const PropertyBag& recipient : recipients_) {
      OutgoingRecipient r;
      r.type = recipient.number(PR_RECIPIENT_TYPE).value_or(MAPI_TO);
      r.address = textOf(recipient, PR_EMAIL_ADDRESS_W).value_or("");
      out.recipients.push_back(std::move(r));
    }
    out.subject = textOf(bag(), PR_SUBJECT_W).value_or("");
    out.body = textOf(bag(), PR_BODY_W).value_or("");
    for (const auto& attachment : attachments_) {
      if (attachment->number(PR_ATTACH_METHOD).value_or(ATTACH_BY_VALUE) != ATTACH_BY_VALUE) continue;
      OutgoingAttachment a;
      a.fileName = textOf(*attachment, PR_ATTACH_LONG_FILENAME_W)
                       .value_or(textOf(*attachment, PR_ATTACH_FILENAME_W).value_or(""));
      const Value* data = attachment->find(PR_ATTACH_DATA_BIN);
      a.data = data != nullptr && data->bytes != nullptr ? data->bytes : std::make_shared<std::vector<BYTE>>();
      out.attachments.push_back(std::move(a));
    }
    out.date = localTime();
    const HRESULT delivered = deliver(maildir_, out);
    if (FAILED(delivered)) return delivered;
    sent_ = true;
    const LONG flags = bag().number(PR_MESSAGE_FLAGS).value_or(0);
    bag().put(PR_MESSAGE_FLAGS, longValue((flags | MSGFLAG_SUBMIT) & ~MSGFLAG_UNSENT));
    return S_OK;
  }

 protected:
  bool answers(REFIID iid) const override { return iid == IID_IMessage || iid == IID_IMAPIProp; }
  bool changeable() const override { return !sent_; }

 private:
  Ref<IMAPIFolder> folder_;
  std::string maildir_;
  std::vector<PropertyBag> recipients_;
  std::vector<std::shared_ptr<PropertyBag>> attachments_;
  bool sent_ = false;
};

}  // namespace

LPMESSAGE newMessage(IMAPIFolder* folder, const std::string& maildir) { return new Message(folder, maildir); }

}  // namespace cemapi
