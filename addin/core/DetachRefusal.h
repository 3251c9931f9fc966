#pragma once
// Which items the add-in must not change to take their attachments out: changing them would break
// a signature or a protection, or the user may not change them, or the item is no message.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace addin {

enum class DetachRefusal {
    SignedOrEncrypted,
    RightsManaged,
    ReadOnly,
    MeetingRequest,
    Document,
};

/// The reason an item is refused, from its message class (compared without regard to ASCII case),
/// its attachments' file names and its access value (PR_ACCESS, when the host gives one); nothing
/// when the item may be changed. The first reason that applies, in the enumeration's order.
std::optional<DetachRefusal> RefusalFor(std::u16string_view messageClass,
                                        const std::vector<std::u16string>& attachmentFileNames,
                                        std::optional<std::int32_t> access) noexcept;

/// The reason as one line for the user.
std::u16string_view RefusalText(DetachRefusal refusal) noexcept;

}  // namespace addin
