#include "core/AttachmentFile.h"

#include <exception>
#include <optional>

#include "core/Platform.h"
#include "core/host/Item.h"

namespace AttachmentFile {

bool Write(host::Attachment& attachment, const std::u16string& path, Platform& platform) noexcept {
    std::optional<std::u16string> temporary;
    try {
        temporary = platform.TemporaryPathFor(path);
        if (temporary) {
            attachment.SaveAsFile(*temporary);
            // A host may report success without writing: nothing then takes the place of what the
            // user has there.
            if (platform.FileExists(*temporary) != 1) return false;
            platform.PutInPlace(*temporary, path);
        } else {
            attachment.SaveAsFile(path);
            if (platform.FileExists(path) != 1) return false;
        }
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
