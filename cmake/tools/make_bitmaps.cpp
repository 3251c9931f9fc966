// Build-time tool: turns a text pixel-art file into Windows bitmap files.
//   make_bitmaps <art> <picture.bmp> <mask.bmp>
//       a 24-bit picture and its mask (black where a pixel is drawn, white where "." leaves it clear)
//   make_bitmaps --alpha <art> <picture.bmp> <picture.png>
//       a 32-bit picture whose alpha channel is the transparency (drawn pixels opaque, "." fully
//       clear and black, so it reads the same premultiplied or not), and the same image as a PNG
// The art file holds "#" comments, palette lines ("<char> RRGGBB") and then a square grid of rows.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

struct Image {
    int size = 0;
    std::vector<uint32_t> rgb;  // row by row, top row first
    std::vector<bool> drawn;
};

void put16(Bytes& b, uint32_t v) { b.push_back(v & 0xff); b.push_back((v >> 8) & 0xff); }
void put32(Bytes& b, uint32_t v) { put16(b, v & 0xffff); put16(b, v >> 16); }
void putBig32(Bytes& b, uint32_t v) { for (int s = 24; s >= 0; s -= 8) b.push_back((v >> s) & 0xff); }

bool writeFile(const std::string& path, const Bytes& b) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return bool(out);
}

// A bottom-up BITMAPINFOHEADER bitmap, 24 or 32 bits per pixel, BI_RGB.
bool writeBmp(const std::string& path, const Image& image, int bits, bool mask) {
    const uint32_t n = uint32_t(image.size);
    const uint32_t stride = (n * uint32_t(bits / 8) + 3) & ~3u, imageSize = stride * n;
    Bytes b;
    b.push_back('B'); b.push_back('M');
    put32(b, 14 + 40 + imageSize); put32(b, 0); put32(b, 14 + 40);
    put32(b, 40); put32(b, n); put32(b, n); put16(b, 1); put16(b, uint32_t(bits));
    put32(b, 0); put32(b, imageSize); put32(b, 2835); put32(b, 2835); put32(b, 0); put32(b, 0);
    for (int y = image.size - 1; y >= 0; --y) {
        for (int x = 0; x < image.size; ++x) {
            const size_t i = size_t(y) * n + size_t(x);
            uint32_t rgb = mask ? (image.drawn[i] ? 0x000000 : 0xFFFFFF) : image.rgb[i];
            if (bits == 32 && !image.drawn[i]) rgb = 0;
            b.push_back(rgb & 0xff); b.push_back((rgb >> 8) & 0xff); b.push_back((rgb >> 16) & 0xff);
            if (bits == 32) b.push_back(image.drawn[i] ? 0xff : 0x00);
        }
        while ((b.size() - 54) % stride) b.push_back(0);
    }
    return writeFile(path, b);
}

uint32_t crc32(const unsigned char* data, size_t length, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void chunk(Bytes& png, const char* type, const Bytes& data) {
    putBig32(png, uint32_t(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    putBig32(png, crc32(body.data(), body.size()));
}

// An RGBA PNG; the pixel data is a zlib stream of stored (uncompressed) deflate blocks.
bool writePng(const std::string& path, const Image& image) {
    Bytes raw;
    for (int y = 0; y < image.size; ++y) {
        raw.push_back(0);  // filter: none
        for (int x = 0; x < image.size; ++x) {
            const size_t i = size_t(y) * size_t(image.size) + size_t(x);
            const uint32_t rgb = image.drawn[i] ? image.rgb[i] : 0;
            raw.push_back((rgb >> 16) & 0xff); raw.push_back((rgb >> 8) & 0xff); raw.push_back(rgb & 0xff);
            raw.push_back(image.drawn[i] ? 0xff : 0x00);
        }
    }
    Bytes z{0x78, 0x01};
    size_t at = 0;
    do {
        const size_t len = std::min<size_t>(raw.size() - at, 65535);
        z.push_back(at + len == raw.size() ? 1 : 0);  // the last block says so
        put16(z, uint32_t(len)); put16(z, uint32_t(~len & 0xffff));
        z.insert(z.end(), raw.begin() + long(at), raw.begin() + long(at + len));
        at += len;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) { a = (a + c) % 65521; b = (b + a) % 65521; }
    putBig32(z, (b << 16) | a);

    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    Bytes header;
    putBig32(header, uint32_t(image.size)); putBig32(header, uint32_t(image.size));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter set, no interlace
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", {});
    return writeFile(path, png);
}

bool readArt(const char* path, Image& image) {
    std::ifstream in(path);
    std::map<char, uint32_t> palette;
    std::vector<std::string> grid;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (line.size() == 8 && line[1] == ' ') palette[line[0]] = uint32_t(std::stoul(line.substr(2), nullptr, 16));
        else grid.push_back(line);
    }
    if (grid.empty() || !palette.count('.')) {
        std::cerr << "make_bitmaps: " << path << ": need grid rows and a '.' colour\n";
        return false;
    }
    image.size = int(grid.size());
    for (size_t y = 0; y < grid.size(); ++y) {
        if (grid[y].size() != grid.size()) {
            std::cerr << "make_bitmaps: " << path << ": row " << y << " is not " << grid.size() << " wide\n";
            return false;
        }
        for (char c : grid[y]) {
            if (!palette.count(c)) { std::cerr << "make_bitmaps: no colour for '" << c << "'\n"; return false; }
            image.rgb.push_back(palette[c]);
            image.drawn.push_back(c != '.');
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool alpha = argc == 5 && std::string(argv[1]) == "--alpha";
    if (argc != 4 && !alpha) {
        std::cerr << "usage: make_bitmaps <art> <picture.bmp> <mask.bmp>\n"
                     "       make_bitmaps --alpha <art> <picture.bmp> <picture.png>\n";
        return 2;
    }
    Image image;
    if (!readArt(argv[alpha ? 2 : 1], image)) return 1;
    if (alpha) return writeBmp(argv[3], image, 32, false) && writePng(argv[4], image) ? 0 : 1;
    return writeBmp(argv[2], image, 24, false) && writeBmp(argv[3], image, 24, true) ? 0 : 1;
}
