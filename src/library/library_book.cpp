#include "library/library_book.h"

#include <algorithm>

#include "bookfiles/annotation_file.h"
#include "bookfiles/database_file.h"
#include "core/code_pages.h"
#include "document/location/file_type.h"
#include "core/file.h"
#include "core/letter_order.h"
#include "library/library.h"
#include "library/library_text.h"
#include "paths/app_paths.h"

namespace {

using library_text::Wide;

// True when another book file in the folder has the same name before its extension, and so
// the same side file.
bool SideFileShared(const Text& bookPath) {
    std::u16string path = Wide(bookPath);
    size_t slash = path.find_last_of(u'\\');
    size_t dot = path.find_last_of(u'.');
    bool hasExtension = dot != std::u16string::npos && (slash == std::u16string::npos || dot > slash);
    std::u16string stem = hasExtension ? path.substr(0, dot + 1) : path + u".";
    TextList extensions;
    ListOpenableExtensions(extensions);
    for (int32_t i = 0; i < extensions.Count(); ++i) {
        Text other;
        other.FromWide(stem.data(), static_cast<int32_t>(stem.size()));
        other.AppendText(LibraryBook::ToUtf16(extensions[i]));
        if (!other.EqualsDefault(bookPath) && Files::Exists(other)) return true;
    }
    return false;
}

uint32_t ByteReversed(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

}  // namespace

LibraryBook::LibraryBook(Library* owner, const Text& path) : owner_(owner) {
    SetPath(path);
}

Text LibraryBook::ToUtf16(const Text& text) {
    Text out(text);
    if (out.CodePage() != CodePages::kUtf16) out.ConvertTo(CodePages::kUtf16);
    return out;
}

bool LibraryBook::SetPath(const Text& path) {
    path_ = ToUtf16(path);
    return true;
}

const std::u32string& LibraryBook::TitleOrderKey() const {
    if (titleKey_.empty()) titleKey_ = LetterOrderKey(title_);
    return titleKey_;
}

const std::u32string& LibraryBook::AuthorOrderKey() const {
    if (authorKey_.empty()) authorKey_ = LetterOrderKey(author_);
    return authorKey_;
}

int LibraryBook::ComparePaths(const LibraryBook& a, const LibraryBook& b) {
    const Text& x = a.path_;
    const Text& y = b.path_;
    if (x.CodePage() != CodePages::kUtf16 || y.CodePage() != CodePages::kUtf16)
        return x.Compare(y, true);
    // UTF-16 units in the order of the code points they make: surrogates above the rest of the
    // basic plane.
    auto rank = [](const uint8_t* at) {
        uint32_t u = at[0] | (at[1] << 8);
        if (u >= 0xD800) u = u >= 0xE000 ? u - 0x800 : u + 0x2000;
        return u;
    };
    const int32_t n = x.ByteLength() / 2, m = y.ByteLength() / 2;
    const uint8_t* p = x.Bytes();
    const uint8_t* q = y.Bytes();
    for (int32_t i = 0; i < n && i < m; ++i, p += 2, q += 2) {
        if (p[0] == q[0] && p[1] == q[1]) continue;
        return rank(p) < rank(q) ? -1 : 1;
    }
    return n < m ? -1 : n > m ? 1 : 0;
}

std::string LibraryBook::PathUtf8() const {
    return library_text::Utf8Path(path_);
}

bool LibraryBook::SideFilePath(Text& out, bool* exists, FolderListing* listing) const {
    std::string side;
    out.Clear();
    // The existence test costs a look-up on the device: only when asked.
    if (!AnnotationFile::PathForBook(PathUtf8(), &side, exists, false, listing)) return false;
    return out.AssignUtf8(side.data(), side.size());
}

RefPtr<AnnotationFile> LibraryBook::OpenSideFile(bool existingOnly) {
    LibraryHost* host = owner_ ? owner_->GetOwner() : nullptr;
    if (host) {
        if (AnnotationFile* shared = host->FindOpenSideFile(path_))
            return RefPtr<AnnotationFile>::Adopt(shared);
    }
    std::string path = PathUtf8();
    if (path.empty()) return {};
    // While the catalogue walks its folders, their listing says which side files exist: a
    // missing one is not asked for (the device would list the whole folder to say so).
    FolderListing* listing = existingOnly && owner_ ? owner_->Listing() : nullptr;
    if (listing) {
        Text sidePath;
        bool exists = false;
        if (!SideFilePath(sidePath, &exists, listing) || !exists) return {};
    }
    auto side = RefPtr<AnnotationFile>::Adopt(new AnnotationFile());
    int rc;
    if (existingOnly) {
        // Reading only: a missing file stays missing and a damaged one stays where it is.
        rc = side->OpenExisting(path, true, listing);
    } else {
        Text name;
        name.FromString(databaseName_);
        name.ConvertTo(CodePages::kWindows1252);
        rc = side->OpenOrCreate(path, reinterpret_cast<const char*>(name.Bytes()),
                                static_cast<size_t>(name.ByteLength()), false, true, true);
    }
    if (rc != 0) return {};
    return side;
}

template <typename Fn>
bool LibraryBook::WriteSideFile(Fn fn) {
    RefPtr<AnnotationFile> side = OpenSideFile(false);
    if (!side) return false;
    // A write counts only once it is on the disk.
    return !side->IsReadOnly() && fn(side.Get()) == 0 && side->Flush() == 0;
}

bool LibraryBook::SetTitle(const Text& title, bool save) {
    Text wide = ToUtf16(title);
    if (save) {
        std::u16string w = Wide(wide);
        if (!WriteSideFile([&](AnnotationFile* f) {
                return f->SetTitle(w.data(), static_cast<uint32_t>(w.size()));
            }))
            return false;
    }
    title_ = wide;
    titleKey_.clear();
    return true;
}

bool LibraryBook::SetAuthor(const Text& author) {
    Text wide = ToUtf16(author);
    std::u16string w = Wide(wide);
    if (!WriteSideFile([&](AnnotationFile* f) {
            return f->SetAuthor(w.data(), static_cast<uint32_t>(w.size()));
        }))
        return false;
    author_ = wide;
    authorKey_.clear();
    return true;
}

bool LibraryBook::SetRating(uint32_t rating) {
    if (rating > kMaxRating) return false;
    if (!WriteSideFile([&](AnnotationFile* f) { return f->SetRating(rating); })) return false;
    rating_ = rating;
    return true;
}

bool LibraryBook::GetCategory(int32_t i, Text& out) const {
    const Text* name = categories_.Get(i);
    if (!name) return false;
    out = *name;
    return true;
}

bool LibraryBook::HasCategory(const Text& name) const {
    Text wide = ToUtf16(name);
    for (int32_t i = 0; i < categories_.Count(); ++i)
        if (categories_[i].Equals(wide, false, true)) return true;
    return false;
}

bool LibraryBook::AddCategory(const Text& name, bool save) {
    if (name.IsEmpty() || HasCategory(name)) return false;
    if (owner_) owner_->RegisterCategory(name);
    if (categories_.Append(ToUtf16(name)) < 0) return false;
    if (!save) return true;
    if (SaveCategories()) return true;
    categories_.Remove(categories_.Count() - 1, 1);
    return false;
}

bool LibraryBook::RemoveCategory(const Text& name, bool save) {
    Text wide = ToUtf16(name);
    int32_t count = categories_.Count();
    for (int32_t i = 0; i < count; ++i) {
        if (!categories_[i].Equals(wide, false, true)) continue;
        TextSegArray before(categories_);
        if (i != count - 1) categories_[i] = categories_[count - 1];
        categories_.Remove(count - 1, 1);
        if (!save || SaveCategories()) return true;
        categories_ = before;
        return false;
    }
    return false;
}

bool LibraryBook::ClearCategories(bool save) {
    TextSegArray before(categories_);
    categories_.Clear();
    if (!save || SaveCategories()) return true;
    categories_ = before;
    return false;
}

Text LibraryBook::JoinCategories() const {
    Text joined(CodePages::kUtf16);
    for (int32_t i = 0; i < categories_.Count(); ++i) {
        if (i > 0) joined.AppendCodePoint(0);
        joined.AppendText(categories_[i]);
    }
    return joined;
}

void LibraryBook::LoadCategories(const char16_t* text, uint32_t length) {
    categories_.Clear();
    uint32_t start = 0;
    for (uint32_t i = 0; i <= length; ++i) {
        if (i < length && text[i] != 0) continue;
        if (i > start) {
            Text name;
            name.FromWide(text + start, static_cast<int32_t>(i - start));
            if (!HasCategory(name)) categories_.Append(name);
        }
        start = i + 1;
    }
}

bool LibraryBook::SaveCategories() {
    std::u16string joined = Wide(JoinCategories());
    return WriteSideFile([&](AnnotationFile* f) {
        uint32_t n = 0;
        const char16_t* stored = f->GetCategories(&n);
        std::u16string old = stored ? std::u16string(stored, n) : std::u16string();
        if (stored && old == joined) return 0;
        return f->SetCategories(joined.data(), static_cast<uint32_t>(joined.size()));
    });
}

bool LibraryBook::LoadSideFileInfo() {
    // The book file's own values first, so that a book without a side file is still known
    // unchanged at the next start.
    uint32_t size = 0;
    if (Files::Exists(path_, &size)) fileSize_ = size;
    if (uint32_t t = FileTimeUnixSeconds(path_)) fileTime_ = t;

    RefPtr<AnnotationFile> side = OpenSideFile(true);
    if (!side) return false;
    Text sidePath;
    bool exists = false;
    if (SideFilePath(sidePath, &exists, owner_ ? owner_->Listing() : nullptr) && exists) {
        if (uint32_t t = FileTimeUnixSeconds(sidePath)) sideFileTime_ = t;
    }
    uint32_t n = 0;
    const char16_t* lists = side->GetCategories(&n);
    LoadCategories(lists ? lists : u"", lists ? n : 0);

    uint64_t seconds = static_cast<uint64_t>(side->GetReadingTime()) * 60;
    lastRead_ = static_cast<uint32_t>(std::min<uint64_t>(seconds, 0xFFFFFFFFu));
    // A side file copied from another book does not lend its dates. Text and HTML files have no
    // identifier (their side file holds a key of its own), so the test does not apply to them.
    uint32_t id = side->GetBookId();
    if (uniqueId_ != kUnknownId && id != uniqueId_ && id != ByteReversed(uniqueId_)) lastRead_ = 0;

    uint32_t rating = side->GetRating();
    rating_ = rating <= kMaxRating ? rating : 0;
    const char16_t* text = side->GetAuthor(&n);
    if (text && n > 0) author_.FromWide(text, static_cast<int32_t>(n));
    text = side->GetTitle(&n);
    if (text && n > 0) title_.FromWide(text, static_cast<int32_t>(n));
    titleKey_.clear();
    authorKey_.clear();
    return true;
}

bool LibraryBook::TestOpen(uint8_t flag) {
    LibraryHost* host = owner_ ? owner_->GetOwner() : nullptr;
    openable_ = host && host->TestOpenBook(path_, flag) ? 1 : 0;
    return true;
}

bool LibraryBook::DeleteFiles(BookReleaser* releaser, DeleteFailure* why) {
    if (why) *why = DeleteFailure::kInUse;
    if (releaser && !releaser->ReleaseBook(path_)) return false;
    if (why) *why = DeleteFailure::kNotRemoved;
    std::string path = PathUtf8();
    if (path.empty() || !DatabaseFile::Remove(path.c_str())) return false;
    if (why) *why = DeleteFailure::kNone;
    std::string side;
    bool exists = false;
    if (AnnotationFile::PathForBook(path, &side, &exists) && exists && !SideFileShared(path_))
        AnnotationFile::Delete(side);
    // The checkpoints kept for the book's far jumps go with it.
    Text kept;
    if (AppPaths::KeptCheckpointsFile(path_, kept) && Files::Exists(kept))
        DatabaseFile::Remove(library_text::Utf8Path(kept).c_str());
    present_ = 0;
    return true;
}
