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
/// (Platform::PutInPlace) and is removed on every other way out; where the folder lets files be
/// made but not renamed, the platform makes `path` as a new, empty file and the host writes that
/// (an existing file is never written in place). The file is then marked as come from another
/// computer. True when `path` holds the attachment; false, with nothing of the add-in's left in
/// the folder, when it does not, and `reason` says why (the failure's text, or that the host wrote
/// no file), also told where tolerated failures are. Out of memory is let through, after the
/// clean-up. Every command that saves attachments as files writes each one through this function.
bool Write(host::Attachment& attachment, const std::u16string& path, Platform& platform, std::u16string& reason);

/// For a command that must never write over a file: writes `attachment` once, beside the first
/// path `next` gives, then gives the file that path while no entry has it (Platform::PlaceAsNewFile),
/// else the next path `next` gives, and so on; an empty path means none is left. Every path `next`
/// gives is in one folder. Returns the path that holds the attachment, marked as come from another
/// computer; empty on failure, with `reason` saying why and nothing of the add-in's left in the
/// folder, also told where tolerated failures are. Out of memory is let through, after the
/// clean-up. Where the folder lets files be made but not renamed, the first path is the new file.
/// Once written beside the folder's files, `same` (when given) may name a path in the folder that
/// already holds the same bytes: the written file is then removed and that path returned, the
/// folder as it was. Where `next` gives no path at first, the attachment is still written beside
/// `beside` (a path in the folder, taken or not) when both it and `same` are given: a folder whose
/// every name is taken may already hold the attachment.
std::u16string WriteAsNew(host::Attachment& attachment, Platform& platform,
                          const std::function<std::u16string()>& next, std::u16string& reason,
                          const std::function<std::u16string(const std::u16string& written)>& same = {},
                          const std::u16string& beside = {});

}  // namespace AttachmentFile

}  // namespace addin
