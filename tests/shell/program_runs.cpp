#include "shell/program_runs.h"

#include <png.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

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

}  // namespace fvt::test
