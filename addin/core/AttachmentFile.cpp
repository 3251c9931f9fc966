#include "addin/core/AttachmentFile.h"

#include <cstdint>
#include <exception>
#include <optional>

#include "addin/core/Platform.h"
#include "addin/core/host/Item.h"
#include "base/HostError.h"
#include "base/Tolerate.h"

namespace addin {

namespace {

std::u16string Hex(int32_t status) {
    constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string text = u"0x";
    for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(static_cast<uint32_t>(status) >> shift) & 0xF];
    return text;
}

void SetReason(std::u16string& reason, const HostError& e) noexcept {
    base::TolerateAll([&] { reason = e.text.empty() ? u"error " + Hex(e.status) : e.text; });
}

constexpr char16_t kNoFile[] = u"the attachment's file was not written";

}  // namespace

namespace AttachmentFile {

bool Write(host::Attachment& attachment, const std::u16string& path, Platform& platform) noexcept {
    std::u16string ignored;
    return Write(attachment, path, platform, ignored);
}

bool Write(host::Attachment& attachment, const std::u16string& path, Platform& platform,
           std::u16string& reason) noexcept {
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
        SetReason(reason, e);
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

std::u16string WriteAsNew(host::Attachment& attachment, Platform& platform,
                          const std::function<std::u16string()>& next, std::u16string& reason,
                          const std::function<std::u16string(const std::u16string& written)>& same) noexcept {
    constexpr char16_t kAllTaken[] = u"every name for it is taken in the folder";
    std::optional<std::u16string> temporary;
    try {
        std::u16string path = next();
        if (path.empty()) {
            reason = kAllTaken;
            return {};
        }
        temporary = platform.TemporaryPathFor(path);
        if (!temporary) {
            reason = u"the folder takes no new file";
            return {};
        }
        attachment.SaveAsFile(*temporary);
        if (platform.FileExists(*temporary) != 1) {
            reason = kNoFile;
            (void)platform.RemoveFile(*temporary);
            return {};
        }
        // The bytes are only known once written: a file that already holds them is not written twice.
        if (same) {
            if (std::u16string existing = same(*temporary); !existing.empty()) {
                (void)platform.RemoveFile(*temporary);
                return existing;
            }
        }
        // A name free when the folder was listed may have been taken since: the next one is tried.
        while (!platform.PlaceAsNewFile(*temporary, path)) {
            path = next();
            if (path.empty()) {
                reason = kAllTaken;
                (void)platform.RemoveFile(*temporary);
                return {};
            }
        }
        temporary.reset();
        (void)platform.MarkAsFromInternet(path);
        return path;
    } catch (const HostError& e) {
        if (temporary) (void)platform.RemoveFile(*temporary);
        SetReason(reason, e);
    } catch (const std::exception&) {
        if (temporary) (void)platform.RemoveFile(*temporary);
        reason = kNoFile;
    }
    return {};
}

}  // namespace AttachmentFile

}  // namespace addin
