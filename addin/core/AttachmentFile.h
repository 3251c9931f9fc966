#pragma once
// An attachment written to a file so that the path the user chose never holds a half-written file.
#include <functional>
#include <string>

namespace host {
class Attachment;
}  // namespace host

namespace addin {

class Platform;

namespace AttachmentFile {

/// Writes `attachment` to `path` so that `path` holds at every moment either what it held before,
/// whole, or the attachment, whole. The host writes a file of the add-in's own beside it
/// (Platform::TemporaryPathFor), which takes `path`'s place once the host reports it complete
/// (Platform::PutInPlace) and is removed on every other way out; where the folder takes no new
/// file but the existing one may be written, the host writes `path` itself. The file is then
/// marked as come from another computer. True when `path` holds the attachment; false, with
/// nothing of the add-in's left in the folder, when it does not. Every command that saves
/// attachments as files writes each one through this function.
bool Write(host::Attachment& attachment, const std::u16string& path, Platform& platform) noexcept;
/// The same, and on failure `reason` says why: the text of the failure, or that the host wrote no file.
bool Write(host::Attachment& attachment, const std::u16string& path, Platform& platform,
           std::u16string& reason) noexcept;

/// For a command that must never write over a file: writes `attachment` once, beside the first
/// path `next` gives, then gives the file that path while no entry has it (Platform::PlaceAsNewFile),
/// else the next path `next` gives, and so on; an empty path means none is left. Every path `next`
/// gives is in one folder. Returns the path that holds the attachment, marked as come from another
/// computer; empty on failure, with `reason` saying why and nothing of the add-in's left in the
/// folder. A folder that takes no new file fails: no existing file is written in place. Once
/// written, `same` (when given) may name a path in the folder that already holds the same bytes:
/// the written file is then removed and that path returned, the folder as it was.
std::u16string WriteAsNew(host::Attachment& attachment, Platform& platform,
                          const std::function<std::u16string()>& next, std::u16string& reason,
                          const std::function<std::u16string(const std::u16string& written)>& same = {}) noexcept;

}  // namespace AttachmentFile

}  // namespace addin
