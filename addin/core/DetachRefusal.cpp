#include "addin/core/DetachRefusal.h"

#include "base/Ascii.h"

namespace addin {

namespace {

constexpr std::int32_t kMayModify = 0x1;  // MAPI_ACCESS_MODIFY

bool Equals(std::u16string_view a, std::u16string_view b) noexcept { return base::EqualsIgnoringAsciiCase(a, b); }

bool EndsWith(std::u16string_view text, std::u16string_view end) noexcept {
    return text.size() >= end.size() && Equals(text.substr(text.size() - end.size()), end);
}

// `base` itself or one of its subclasses ("base.anything").
bool IsClassOrSubclass(std::u16string_view messageClass, std::u16string_view base) noexcept {
    return Equals(messageClass.substr(0, base.size()), base) &&
           (messageClass.size() == base.size() || messageClass[base.size()] == u'.');
}

bool IsSignedOrEncrypted(std::u16string_view messageClass) noexcept {
    return EndsWith(messageClass, u".SMIME") || EndsWith(messageClass, u".SMIME.MultipartSigned") ||
           Equals(messageClass, u"IPM.Note.Secure") || Equals(messageClass, u"IPM.Note.Secure.Sign");
}

}  // namespace

std::optional<DetachRefusal> RefusalFor(std::u16string_view messageClass,
                                        const std::vector<std::u16string>& attachmentFileNames,
                                        std::optional<std::int32_t> access) noexcept {
    if (IsSignedOrEncrypted(messageClass)) return DetachRefusal::SignedOrEncrypted;
    for (const std::u16string& name : attachmentFileNames)
        if (Equals(name, u"message.rpmsg")) return DetachRefusal::RightsManaged;
    if (access && (*access & kMayModify) == 0) return DetachRefusal::ReadOnly;
    if (IsClassOrSubclass(messageClass, u"IPM.Schedule.Meeting.Request")) return DetachRefusal::MeetingRequest;
    if (IsClassOrSubclass(messageClass, u"IPM.Document")) return DetachRefusal::Document;
    return std::nullopt;
}

std::u16string_view RefusalText(DetachRefusal refusal) noexcept {
    switch (refusal) {
        case DetachRefusal::SignedOrEncrypted:
            return u"This item is signed or encrypted; changing it would break that, so its attachments stay in it.";
        case DetachRefusal::RightsManaged:
            return u"This item is protected by rights management, so its attachments stay in it.";
        case DetachRefusal::ReadOnly:
            return u"You do not have permission to change this item, so its attachments stay in it.";
        case DetachRefusal::MeetingRequest:
            return u"This is a meeting request you received; its attachments stay in it.";
        case DetachRefusal::Document:
            return u"This item is a document in a folder, not a message; its attachments stay in it.";
    }
    return u"This item cannot be changed, so its attachments stay in it.";
}

}  // namespace addin
