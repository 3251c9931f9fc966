#pragma once
// Internal to ActionManager's files: which attachments of an item the host's own list shows.
#include <optional>
#include <string>
#include <variant>

#include "addin/core/ActionManager.h"
#include "addin/core/host/Item.h"
#include "base/HostError.h"
#include "base/Tolerate.h"

namespace addin {

namespace detail {

// The MAPI properties the host's own attachment list goes by (version 12 on, PropertyAccessor).
inline constexpr char16_t kHidden[] = u"http://schemas.microsoft.com/mapi/proptag/0x7FFE000B";     // PR_ATTACHMENT_HIDDEN
inline constexpr char16_t kContentId[] = u"http://schemas.microsoft.com/mapi/proptag/0x3712001F";  // PR_ATTACH_CONTENT_ID

inline bool Contains(const std::u16string& text, const std::u16string& part) {
    return text.find(part) != std::u16string::npos;
}

}  // namespace detail

/// The attachments of one item as the user sees them in the host's own list. From version 12 an
/// inline picture of an HTML body is an attachment in the object model that the list does not
/// show: it is hidden, or its content id is referenced as "cid:" by the body. Earlier hosts cannot
/// be asked, and every attachment counts. A property that cannot be read counts as absent: an
/// attachment is rather offered once too often than kept from the user.
class ActionManager::Shown {
public:
    Shown(host::Item& item, int16_t hostMajor) : item_(item), canTell_(hostMajor >= 12) {}

    /// A by-value attachment the user sees.
    bool Saveable(host::Attachment& attachment) {
        return attachment.Type() == host::AttachmentType::ByValue && !(canTell_ && Inline(attachment));
    }

private:
    bool Inline(host::Attachment& attachment) {
        bool inlined = false;
        base::Tolerate([&] {
            const auto properties = attachment.PropertyAccessor();
            if (!properties) return;
            if (const auto hidden = Property(*properties, detail::kHidden); auto* b = std::get_if<bool>(&hidden))
                if (*b) {
                    inlined = true;
                    return;
                }
            const auto id = Property(*properties, detail::kContentId);
            const auto* text = std::get_if<std::u16string>(&id);
            if (text && !text->empty()) inlined = detail::Contains(Body(), u"cid:" + *text);
        });
        return inlined;
    }
    // A property the attachment does not have is the host's ordinary answer (MAPI_E_NOT_FOUND),
    // not a failure; any other failure of one property also counts as its absence.
    static host::PropertyValue Property(host::PropertyAccessor& properties, const char16_t* name) {
        try {
            return properties.GetProperty(name);
        } catch (const HostError& e) {
            if (e.status != HostStatus::NotFound) base::ReportTolerated(e.status, e.text, base::Where::Here());
        }
        return {};
    }
    // Read once per item, and only for an attachment with a content id.
    const std::u16string& Body() {
        if (!body_) {
            body_.emplace();
            base::Tolerate([&] { *body_ = item_.HTMLBody(); });
        }
        return *body_;
    }

    host::Item& item_;
    const bool canTell_;
    std::optional<std::u16string> body_;
};

}  // namespace addin
