// Build-time tool: copies the first TYPELIB resource of a PE file (Wine's resource-only stdole2.tlb)
// to a raw "MSFT" type library that widl can import.
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Image {
    std::vector<unsigned char> bytes;

    uint16_t u16(size_t at) const { check(at, 2); return uint16_t(bytes[at] | bytes[at + 1] << 8); }
    uint32_t u32(size_t at) const { check(at, 4); return uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16; }
    void check(size_t at, size_t n) const {
        if (at + n > bytes.size() || at + n < at) throw std::runtime_error("truncated PE file");
    }
};

struct Section { uint32_t va, vsize, raw, rawSize; };

size_t rvaToOffset(const std::vector<Section>& sections, uint32_t rva) {
    for (const auto& s : sections)
        if (rva >= s.va && rva < s.va + std::max(s.vsize, s.rawSize)) return s.raw + (rva - s.va);
    throw std::runtime_error("RVA outside every section");
}

std::u16string resourceName(const Image& img, size_t rsrc, uint32_t nameField) {
    size_t at = rsrc + (nameField & 0x7fffffffu);
    std::u16string name(img.u16(at), u'\0');
    for (size_t i = 0; i < name.size(); ++i) name[i] = char16_t(img.u16(at + 2 + 2 * i));
    return name;
}

// Entry of a resource directory: returns the offset field of the first entry matching `type`
// (or of the first entry at all when `type` is empty).
std::optional<uint32_t> findEntry(const Image& img, size_t rsrc, size_t dir, const std::u16string& type) {
    const unsigned named = img.u16(dir + 12), ids = img.u16(dir + 14);
    for (unsigned i = 0; i < named + ids; ++i) {
        const size_t e = dir + 16 + 8 * i;
        const uint32_t nameField = img.u32(e), target = img.u32(e + 4);
        if (type.empty()) return target;
        if ((nameField & 0x80000000u) && resourceName(img, rsrc, nameField) == type) return target;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: extract_typelib <pe-file> <out.tlb>\n";
        return 2;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in) throw std::runtime_error("cannot open input");
        Image img{{std::istreambuf_iterator<char>(in), {}}};

        const uint32_t pe = img.u32(0x3c);
        if (img.u32(pe) != 0x00004550) throw std::runtime_error("not a PE file");
        const unsigned nSections = img.u16(pe + 6), optSize = img.u16(pe + 20);
        const size_t opt = pe + 24;
        const bool pe32plus = img.u16(opt) == 0x20b;
        const size_t dataDirs = opt + (pe32plus ? 112 : 96);
        const uint32_t rsrcRva = img.u32(dataDirs + 2 * 8);

        std::vector<Section> sections;
        for (unsigned i = 0; i < nSections; ++i) {
            const size_t s = opt + optSize + 40 * i;
            sections.push_back({img.u32(s + 12), img.u32(s + 8), img.u32(s + 20), img.u32(s + 16)});
        }
        const size_t rsrc = rvaToOffset(sections, rsrcRva);

        auto level = findEntry(img, rsrc, rsrc, u"TYPELIB");
        if (!level) throw std::runtime_error("no TYPELIB resource");
        // Type -> name -> language -> data entry; the upper bit marks a sub-directory.
        for (int depth = 0; depth < 2; ++depth) {
            if (!(*level & 0x80000000u)) throw std::runtime_error("malformed resource tree");
            level = findEntry(img, rsrc, rsrc + (*level & 0x7fffffffu), u"");
            if (!level) throw std::runtime_error("empty resource directory");
        }
        if (*level & 0x80000000u) throw std::runtime_error("malformed resource tree");
        const size_t entry = rsrc + *level;
        const size_t data = rvaToOffset(sections, img.u32(entry)), size = img.u32(entry + 4);
        img.check(data, size);
        if (std::memcmp(&img.bytes[data], "MSFT", 4) != 0) throw std::runtime_error("resource is not an MSFT type library");

        std::ofstream out(argv[2], std::ios::binary);
        out.write(reinterpret_cast<const char*>(&img.bytes[data]), std::streamsize(size));
        if (!out) throw std::runtime_error("cannot write output");
    } catch (const std::exception& e) {
        std::cerr << "extract_typelib: " << argv[1] << ": " << e.what() << '\n';
        return 1;
    }
    return 0;
}
