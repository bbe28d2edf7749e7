#include "shell/program_runs.h"

#include <png.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>
#include <utility>

namespace fvt::test {

bool IsPng(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[8] = {};
    in.read(head, 8);
    return in && std::string(head + 1, 3) == "PNG";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string FirstLine(const std::string& path) {
    const std::vector<std::string> lines = ReadLines(path);
    return lines.empty() ? "(no lines)" : lines.front();
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> words;
    size_t at = 0;
    while (at < line.size()) {
        size_t end = line.find(' ', at);
        if (end == std::string::npos) end = line.size();
        if (end > at) words.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

std::vector<std::vector<std::string>> ReadPageTexts(const std::string& folder,
                                                    const std::string& name, int count) {
    std::vector<std::vector<std::string>> pages;
    for (int i = 0; i < count; ++i)
        pages.push_back(ReadLines(folder + name + std::to_string(i) + ".txt"));
    return pages;
}

namespace {
std::string WalkFile(const std::string& folder, int i) {
    char file[32];
    std::snprintf(file, sizeof file, "/p%03d.txt", i);
    return folder + file;
}
}  // namespace

std::string PageWalkSteps(const std::string& folder, const std::string& keyStep, int count) {
    std::string steps;
    for (int i = 0; i < count; ++i)
        steps += "pagetext " + WalkFile(folder, i) + "\n" + keyStep + "\nidle\n";
    return steps;
}

std::vector<std::vector<std::string>> ReadPageWalk(const std::string& folder, int count) {
    std::vector<std::vector<std::string>> pages;
    for (int i = 0; i < count; ++i) {
        std::vector<std::string> page = ReadLines(WalkFile(folder, i));
        if (!pages.empty() && page == pages.back()) break;
        pages.push_back(std::move(page));
    }
    return pages;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines) all += l + "\n";
    return all;
}

std::vector<std::string> ReadPageTextFiles(const std::vector<std::string>& files,
                                           std::vector<std::string>& empty) {
    std::vector<std::string> pages;
    for (const std::string& f : files) {
        pages.push_back(Joined(ReadLines(f)));
        if (pages.back().empty()) empty.push_back(f);
    }
    return pages;
}

HWND WaitForInstance() {
    for (int i = 0; i < 600; ++i) {
        if (HWND w = FindWindowW(u"Folivant Reader", nullptr)) return w;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

bool Picture::RowsDiffer(const Picture& other, int top, int bottom) const {
    if (width != other.width || height != other.height) return true;
    for (int y = std::max(top, 0); y < std::min(bottom, height); ++y)
        for (int x = 0; x < width; ++x)
            if (At(x, y) != other.At(x, y)) return true;
    return false;
}

Picture ReadPicture(const std::string& path) {
    Picture out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint32_t> pixels(static_cast<size_t>(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return out;
    }
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.pixels = std::move(pixels);
    return out;
}

namespace {

int Channel(uint32_t v, int shift) {
    return static_cast<int>(v >> shift & 0xFF);
}

// A screenshot's pixel (red in the low byte) against 0xRRGGBB, within the screen's depth.
bool NearColour(uint32_t pixel, uint32_t rgb) {
    return std::abs(Channel(pixel, 0) - Channel(rgb, 16)) <= 8 &&
           std::abs(Channel(pixel, 8) - Channel(rgb, 8)) <= 8 &&
           std::abs(Channel(pixel, 16) - Channel(rgb, 0)) <= 8;
}

bool DarkGrey(uint32_t pixel) {
    const int r = Channel(pixel, 0), g = Channel(pixel, 8), b = Channel(pixel, 16);
    return std::max({r, g, b}) < 110 && std::max({r, g, b}) - std::min({r, g, b}) < 40;
}

}  // namespace

std::vector<int> RowsCuttingText(const Picture& p, uint32_t rgb) {
    // The ground's extent along a row, when it shows there.
    auto groundIn = [&](int y, int& left, int& right) {
        left = p.width, right = -1;
        for (int x = 0; x < p.width; ++x)
            if (NearColour(p.At(x, y), rgb)) left = std::min(left, x), right = x;
        return right - left >= 8;
    };
    auto textOn = [&](int y) {
        int left = 0, right = 0;
        groundIn(y, left, right);
        for (int x = left; x <= right; ++x)
            if (DarkGrey(p.At(x, y))) return true;
        return false;
    };
    std::vector<int> rows;
    int left = 0, right = 0;
    for (int y = 0; y < p.height;) {
        if (!groundIn(y, left, right)) {
            ++y;
            continue;
        }
        int end = y;
        while (end + 1 < p.height && groundIn(end + 1, left, right)) ++end;
        if (textOn(y)) rows.push_back(y);
        if (end != y && textOn(end)) rows.push_back(end);
        y = end + 1;
    }
    return rows;
}

}  // namespace fvt::test
