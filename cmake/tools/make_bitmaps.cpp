// Build-time tool: turns a text pixel-art file into the button picture and its mask, both as
// 16x16, 24-bit Windows bitmap files. The art file holds "#" comments, palette lines
// ("<char> RRGGBB") and then 16 grid rows of 16 characters; "." is the clear colour.
#include <array>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 16;

void put16(std::vector<unsigned char>& b, uint32_t v) { b.push_back(v & 0xff); b.push_back((v >> 8) & 0xff); }
void put32(std::vector<unsigned char>& b, uint32_t v) { put16(b, v & 0xffff); put16(b, v >> 16); }

bool writeBmp(const std::string& path, const std::vector<std::array<uint32_t, kSize>>& rows) {
    const uint32_t stride = (kSize * 3 + 3) & ~3u, imageSize = stride * kSize;
    std::vector<unsigned char> b;
    b.push_back('B'); b.push_back('M');
    put32(b, 14 + 40 + imageSize); put32(b, 0); put32(b, 14 + 40);
    put32(b, 40); put32(b, kSize); put32(b, kSize); put16(b, 1); put16(b, 24);
    put32(b, 0); put32(b, imageSize); put32(b, 2835); put32(b, 2835); put32(b, 0); put32(b, 0);
    for (int y = kSize - 1; y >= 0; --y) {  // bottom-up
        for (uint32_t rgb : rows[y]) { b.push_back(rgb & 0xff); b.push_back((rgb >> 8) & 0xff); b.push_back(rgb >> 16); }
        while ((b.size() - 54) % stride) b.push_back(0);
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: make_bitmaps <art> <picture.bmp> <mask.bmp>\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    std::map<char, uint32_t> palette;
    std::vector<std::string> grid;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (line.size() == 8 && line[1] == ' ') palette[line[0]] = uint32_t(std::stoul(line.substr(2), nullptr, 16));
        else grid.push_back(line);
    }
    if (grid.size() != kSize || !palette.count('.')) {
        std::cerr << "make_bitmaps: " << argv[1] << ": need 16 grid rows and a '.' colour\n";
        return 1;
    }
    std::vector<std::array<uint32_t, kSize>> picture(kSize), mask(kSize);
    for (int y = 0; y < kSize; ++y) {
        if (grid[y].size() != kSize) { std::cerr << "make_bitmaps: row " << y << " is not 16 wide\n"; return 1; }
        for (int x = 0; x < kSize; ++x) {
            const char c = grid[y][x];
            if (!palette.count(c)) { std::cerr << "make_bitmaps: no colour for '" << c << "'\n"; return 1; }
            picture[y][x] = palette[c];
            mask[y][x] = c == '.' ? 0xFFFFFF : 0x000000;  // white: clear, black: drawn
        }
    }
    return writeBmp(argv[2], picture) && writeBmp(argv[3], mask) ? 0 : 1;
}
