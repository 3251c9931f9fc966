#pragma once
// The block at the top of an item's body that links the files its attachments were saved to: one
// line per file, written, found and taken out again so that every byte of the body outside the
// block stays as it was. HTML and plain bodies are the host's UTF-16 text, RTF bodies its bytes.
//
// A line counts as ours only while it reads exactly as we wrote it; a line the user changed is
// left alone (and keeps the block).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace addin {

/// A file an attachment was saved to, as its line in the body shows it.
struct DetachedFile {
    std::u16string displayName;  ///< the attachment's display name: the link's text
    std::u16string path;         ///< the saved file's full path (a UNC path for a network drive)
    std::uint64_t size = 0;      ///< in bytes
};

namespace DetachBlock {

/// The two kinds of body held as text.
enum class TextFormat { Plain, Html };

/// A line of the block read back. The size is the text shown ("12 KB"): the bytes are the record's.
struct ListedFile {
    std::u16string displayName;  ///< as shown: control and formatting characters are shown as "_"
    std::u16string path;         ///< as the link names it (FileUri::ToPath)
    std::u16string sizeText;
};

struct Listing {
    bool hasBlock = false;
    /// The lines in the form Add writes, in the block's order. A line whose text alone was changed
    /// (another name, another size) keeps that form: only the file it was written for tells, as
    /// Remove has it.
    std::vector<ListedFile> files;
    std::size_t edited = 0;  ///< lines of the block out of that form
};

enum class Outcome {
    Removed,       ///< the file's line is gone (and the block with it when it was the last line)
    Edited,        ///< a line links the file but no longer reads as written: left alone
    NotFound,      ///< no line links the file (or there is no block)
};

template <class Body>
struct Removal {
    Outcome outcome = Outcome::NotFound;
    Body body;  ///< the body after the removal; unchanged unless Removed
};

/// `body` with a line for each file: appended to the block where there is one, else in a new block
/// at the top (HTML: right after the body's start tag, or at the very start without one; plain: at
/// the very start). A file whose line the block already holds is not added twice. Nothing when a
/// path cannot be written as a link (FileUri::FromPath): then no file is added.
std::optional<std::u16string> Add(TextFormat format, std::u16string_view body, const std::vector<DetachedFile>& files);
/// The same for an RTF body: the block is its own group after the document's header (the font,
/// colour and style tables and the like). Nothing too when the bytes are no RTF document.
std::optional<std::string> AddRtf(std::string_view body, const std::vector<DetachedFile>& files);

Listing List(TextFormat format, std::u16string_view body);
Listing ListRtf(std::string_view body);

/// Takes out the line of `file`: the line found by the file's link, and taken out only where it
/// reads exactly as Add wrote it for `file`. The block goes with its last line.
Removal<std::u16string> Remove(TextFormat format, std::u16string_view body, const DetachedFile& file);
Removal<std::string> RemoveRtf(std::string_view body, const DetachedFile& file);

}  // namespace DetachBlock

}  // namespace addin
