#include "addin/core/AttachmentFile.h"

#include <cstdint>
#include <exception>
#include <new>
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

// The reason a write failed, for the caller's message, and told where tolerated failures are told.
void SetReason(std::u16string& reason, int32_t status, const std::u16string& text, const base::Where& where) {
    reason = text.empty() ? u"error " + Hex(status) : text;
    base::ReportTolerated(status, reason, where);
}

constexpr char16_t kNoFile[] = u"the attachment's file was not written";

// Called in a handler: the failure in flight as the reason, told at `where`. Out of memory goes
// on to the caller, after the clean-up the handler did.
void SetReasonOfFailure(std::u16string& reason, const base::Where& where) {
    try {
        throw;
    } catch (const HostError& e) {
        SetReason(reason, e.status, e.text, where);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        SetReason(reason, HostStatus::Unexpected, kNoFile, where);
    }
}

}  // namespace

namespace AttachmentFile {

bool Write(host::Attachment& attachment, const std::u16string& path, Platform& platform, std::u16string& reason) {
    std::optional<std::u16string> temporary;
    // Without a file of the add-in's own, `path` is a new, empty file made for the host to write
    // (a folder that lets files be made but not renamed): it goes again on failure.
    std::optional<std::u16string> madeInPlace;
    try {
        temporary = platform.TemporaryPathFor(path);
        if (!temporary) madeInPlace = path;
        const std::u16string& written = temporary ? *temporary : path;
        attachment.SaveAsFile(written);
        // A host may report success without writing: nothing then takes the place of what the
        // user has there.
        if (platform.FileExists(written) != 1) {
            SetReason(reason, HostStatus::Fail, kNoFile, base::Where::Here());
            return false;
        }
        if (temporary) platform.PutInPlace(*temporary, path);
    } catch (...) {
        // What the host wrote, whole or broken off, goes; what the user had stays.
        if (temporary) (void)platform.RemoveFile(*temporary);
        if (madeInPlace) (void)platform.RemoveFile(*madeInPlace);
        SetReasonOfFailure(reason, base::Where::Here());
        return false;
    }
    // Marked before anything opens it, so the system warns before running what a stranger sent.
    (void)platform.MarkAsFromInternet(path);
    return true;
}

std::u16string WriteAsNew(host::Attachment& attachment, Platform& platform,
                          const std::function<std::u16string()>& next, std::u16string& reason,
                          const std::function<std::u16string(const std::u16string& written)>& same,
                          const std::u16string& beside) {
    constexpr char16_t kAllTaken[] = u"every name for it is taken in the folder";
    std::optional<std::u16string> temporary;
    std::optional<std::u16string> madeInPlace;
    try {
        std::u16string path = next();
        const bool onlyCompare = path.empty() && same && !beside.empty();
        if (path.empty() && !onlyCompare) {
            reason = kAllTaken;
            return {};
        }
        temporary = platform.TemporaryPathFor(onlyCompare ? beside : path);
        if (!temporary && onlyCompare) {
            reason = kAllTaken;
            return {};
        }
        // A folder that lets files be made but not renamed: `path` itself is the new file.
        if (!temporary) madeInPlace = path;
        const std::u16string written = temporary ? *temporary : path;
        attachment.SaveAsFile(written);
        if (platform.FileExists(written) != 1) {
            SetReason(reason, HostStatus::Fail, kNoFile, base::Where::Here());
            (void)platform.RemoveFile(written);
            return {};
        }
        // The bytes are only known once written: a file that already holds them is not written twice.
        // (A file made in place in a drop box cannot be taken back: it stays as written.)
        if (same && temporary) {
            if (std::u16string existing = same(*temporary); !existing.empty()) {
                (void)platform.RemoveFile(*temporary);
                return existing;
            }
        }
        if (onlyCompare) {
            reason = kAllTaken;
            (void)platform.RemoveFile(*temporary);
            return {};
        }
        // A name free when the folder was listed may have been taken since: the next one is tried.
        while (temporary && !platform.PlaceAsNewFile(*temporary, path)) {
            path = next();
            if (path.empty()) {
                reason = kAllTaken;
                (void)platform.RemoveFile(*temporary);
                return {};
            }
        }
        temporary.reset();
        madeInPlace.reset();
        (void)platform.MarkAsFromInternet(path);
        return path;
    } catch (...) {
        if (temporary) (void)platform.RemoveFile(*temporary);
        if (madeInPlace) (void)platform.RemoveFile(*madeInPlace);
        SetReasonOfFailure(reason, base::Where::Here());
    }
    return {};
}

}  // namespace AttachmentFile

}  // namespace addin
