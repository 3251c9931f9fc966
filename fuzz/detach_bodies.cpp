// The saved files' links, block and record on any input: a path's link reads back as the same
// link; a block added to any body lists its file and leaves the body byte for byte when taken out
// again; a record reads back what was written, and any text reads without harm.
#include "addin/core/DetachBlock.h"
#include "addin/core/DetachRecord.h"
#include "addin/core/FileUri.h"
#include "fuzz/FuzzSupport.h"

using namespace addin;

namespace {

std::string Bytes(const std::u16string& text) {
    std::string bytes;
    for (char16_t c : text) bytes += static_cast<char>(c);
    return bytes;
}

void CheckBlock(DetachBlock::TextFormat format, const std::u16string& body, const DetachedFile& file) {
    using fuzz::Check;
    (void)DetachBlock::List(format, body);
    (void)DetachBlock::Remove(format, body, file);
    const auto added = DetachBlock::Add(format, body, {file});
    Check(added.has_value() == FileUri::FromPath(file.path).has_value(), "a text body takes every file with a link");
    if (!added || *added == body) return;
    const auto listing = DetachBlock::List(format, *added);
    Check(listing.hasBlock && !listing.files.empty(), "the block lists the file added");
    const auto removal = DetachBlock::Remove(format, *added, file);
    Check(removal.outcome == DetachBlock::Outcome::Removed, "the file's line comes out");
    Check(removal.body == body, "the body comes back byte for byte");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using fuzz::Check;
    const std::vector<std::u16string> lines = fuzz::Lines(data, size);
    const std::u16string& path = lines[0];
    if (const auto uri = FileUri::FromPath(path)) {
        for (char c : *uri) Check(c > 0x20 && c < 0x7F, "a link is printable ASCII");
        const auto back = FileUri::ToPath(*uri);
        Check(back.has_value(), "a link reads back");
        Check(back && FileUri::FromPath(*back) == uri, "the path read back has the same link");
    }
    if (const auto read = FileUri::ToPath(Bytes(path))) Check(FileUri::FromPath(*read).has_value(), "a path read has a link");

    const DetachedFile file{lines.size() > 1 ? lines[1] : u"name", path, size};
    std::u16string body;
    for (std::size_t i = 2; i < lines.size(); ++i) body += (i > 2 ? u"\r\n" : u"") + lines[i];
    CheckBlock(DetachBlock::TextFormat::Html, body, file);
    CheckBlock(DetachBlock::TextFormat::Plain, body, file);

    const std::string rtf(reinterpret_cast<const char*>(data), size);
    (void)DetachBlock::ListRtf(rtf);
    // The input is the document here, so the file is one with a link whatever the first line holds.
    const DetachedFile rtfFile{file.displayName, u"C:\\Saved\\n.txt", size};
    if (const auto added = DetachBlock::AddRtf(rtf, {rtfFile}); added && *added != rtf) {
        Check(!DetachBlock::ListRtf(*added).files.empty(), "the RTF block lists the file added");
        Check(DetachBlock::RemoveRtf(*added, rtfFile).body == rtf, "the RTF body comes back byte for byte");
    }

    const auto decoded = DetachRecord::Decode(body);
    Check(decoded.known || decoded.entries.empty(), "an unknown record gives nothing");
    const auto encoded = DetachRecord::Encode(decoded.entries, {});
    Check(DetachRecord::Decode(encoded.text).entries == decoded.entries, "entries read are written back the same");
    return 0;
}
