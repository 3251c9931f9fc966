#include "core/AttachmentFile.h"

#include <cstdint>
#include <exception>
#include <optional>

#include "base/HostError.h"
#include "core/Platform.h"
#include "core/host/Item.h"

namespace {

std::u16string Hex(int32_t status) {
    constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string text = u"0x";
    for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(static_cast<uint32_t>(status) >> shift) & 0xF];
    return text;
}

}  // namespace

namespace AttachmentFile {

bool Write(host::Attachment& attachment, const std::u16string& path, Platform& platform) noexcept {
    std::u16string ignored;
    return Write(attachment, path, platform, ignored);
}

bool Write(host::Attachment& attachment, const std::u16string& path, Platform& platform,
           std::u16string& reason) noexcept {
    constexpr char16_t kNoFile[] = u"the attachment's file was not written";
    std::optional<std::u16string> temporary;
    try {
        temporary = platform.TemporaryPathFor(path);
        if (temporary) {
            attachment.SaveAsFile(*temporary);
            // A host may report success without writing: nothing then takes the place of what the
            // user has there.
            if (platform.FileExists(*temporary) != 1) {
                reason = kNoFile;
                return false;
            }
            platform.PutInPlace(*temporary, path);
        } else {
            attachment.SaveAsFile(path);
            if (platform.FileExists(path) != 1) {
                reason = kNoFile;
                return false;
            }
        }
    } catch (const HostError& e) {
        if (temporary) (void)platform.RemoveFile(*temporary);
        try {
            reason = e.text.empty() ? u"error " + Hex(e.status) : e.text;
        } catch (const std::exception&) {
        }
        return false;
    } catch (const std::exception&) {
        // What the host wrote, whole or broken off, goes; what the user had stays.
        if (temporary) (void)platform.RemoveFile(*temporary);
        return false;
    }
    // Marked before anything opens it, so the system warns before running what a stranger sent.
    (void)platform.MarkAsFromInternet(path);
    return true;
}

}  // namespace AttachmentFile
