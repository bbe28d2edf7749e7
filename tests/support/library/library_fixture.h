// An emulated device with a storage card, the application's paths and a catalogue host, and
// helpers that put books, text files and side files on it. Everything is built in code.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "bookfiles/annotation_file.h"
#include "bookfiles/configuration_store.h"
#include "core/file.h"
#include "core/text.h"
#include "library/library.h"
#include "paths/app_paths.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"

namespace fvt::test {

inline Text Dev(const std::u16string& s) {
    Text t;
    t.FromWide(s.data(), static_cast<int32_t>(s.size()));
    return t;
}

inline std::u16string Wide(const Text& t) {
    String s;
    t.ToWide(s);
    return std::u16string(s.Data(), static_cast<size_t>(s.Length()));
}

// The catalogue's host: the paths, side files the test marks as open, and trial opens.
class TestLibraryHost : public LibraryHost {
public:
    const AppPaths* Paths() const override { return paths; }
    AnnotationFile* FindOpenSideFile(const Text&) override {
        if (openSideFile) openSideFile->AddRef();
        return openSideFile;
    }
    bool TestOpenBook(const Text&, uint8_t) override { return opens; }

    const AppPaths* paths = nullptr;
    AnnotationFile* openSideFile = nullptr;
    bool opens = true;
};

class LibraryDevice {
public:
    explicit LibraryDevice(const std::string& profile = "cards = Storage Card\n")
        : device_(profile) {
        if (!device_.ok()) return;
        std::filesystem::create_directories(device_.Host("Windows"));
        std::filesystem::create_directories(device_.Host("storage/eBooks"));
        ok_ = AppPaths::Create(nullptr, paths_) == 0;
        host.paths = paths_.get();
    }
    bool ok() const { return ok_; }
    const TempDevice& device() const { return device_; }
    const AppPaths* paths() const { return paths_.get(); }

    // A book file at a host-relative path ("eBooks/a.prc", "Storage Card/eBooks/b.prc").
    void PutBytes(const std::string& relative, const Bytes& bytes) const {
        device_.WriteHost(relative, std::string(bytes.begin(), bytes.end()));
    }
    void PutBook(const std::string& relative, BookBuilder book) const {
        PutBytes(relative, book.Build());
    }
    void PutText(const std::string& relative, const std::string& text = "text") const {
        device_.WriteHost(relative, text);
    }
    bool Exists(const std::string& relative) const { return device_.HostExists(relative); }

    // A side file for the book at a device path, written with the values given.
    static bool PutSideFile(const std::string& bookPath, uint32_t bookId, uint32_t readMinutes,
                            uint32_t rating, const std::u16string& title = {},
                            const std::u16string& lists = {}) {
        AnnotationFile* f = new AnnotationFile;
        bool ok = f->OpenOrCreate(bookPath, "Side", 4, 0, 1, 1) == 0;
        ok = ok && f->SetBookId(bookId) == 0 && f->SetReadingTime(readMinutes) == 0 &&
             f->SetRating(rating) == 0;
        if (ok && !title.empty())
            ok = f->SetTitle(title.data(), static_cast<uint32_t>(title.size())) == 0;
        if (ok && !lists.empty())
            ok = f->SetCategories(lists.data(), static_cast<uint32_t>(lists.size())) == 0;
        ok = ok && f->Flush() == 0;
        f->Release();
        return ok;
    }

    TestLibraryHost host;

private:
    TempDevice device_;
    std::unique_ptr<AppPaths> paths_;
    bool ok_ = false;
};

// A FOLV book with a title, type and identifier.
inline BookBuilder MakeBook(const std::string& fullName, uint32_t type = 1,
                            uint32_t uniqueId = 0x12345678) {
    BookBuilder b;
    b.text = ToBytes("Some text of the book.");
    b.fullName = fullName;
    b.type = type;
    b.uniqueId = uniqueId;
    b.databaseName = "DB " + fullName;
    return b;
}

}  // namespace fvt::test
