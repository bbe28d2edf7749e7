#include "library_ui/library_dialogs.h"

#include <algorithm>
#include <string>

#include "core/resources.h"
#include "core/text.h"
#include "library/library.h"
#include "library/library_book.h"

namespace {

constexpr uint32_t kDefaultListName = 5432;

Text ToText(const std::u16string& s) {
    Text t;
    t.FromWide(s.data(), static_cast<int32_t>(s.size()));
    return t;
}

std::u16string Wide(const Text& t) {
    const char16_t* w = t.WideCStr();
    return w ? std::u16string(w) : std::u16string();
}

}  // namespace

namespace ReadingListNames {

std::u16string DefaultName(const std::vector<std::u16string>& taken) {
    const char16_t* s = LoadResString(kDefaultListName);
    std::u16string base = s ? s : u"My Reading list";
    auto isTaken = [&taken](const std::u16string& name) {
        return std::find(taken.begin(), taken.end(), name) != taken.end();
    };
    if (!isTaken(base)) return base;
    for (uint32_t n = 1;; ++n) {
        std::string digits = std::to_string(n);
        std::u16string candidate = base + u" " + std::u16string(digits.begin(), digits.end());
        if (!isTaken(candidate)) return candidate;
    }
}

std::vector<std::u16string> GlobalLists(const Library& library) {
    std::vector<std::u16string> out;
    for (int32_t i = 0; i < library.GetCategoryCount(); ++i) {
        Text name;
        if (library.GetCategory(i, name)) out.push_back(Wide(name));
    }
    return out;
}

}  // namespace ReadingListNames

bool RatingEditor::FromMenu(uint32_t command) {
    for (uint32_t r = 0; r <= kMaxRating; ++r) {
        if (kMenuItems[r] == command) {
            rating_ = r;
            return true;
        }
    }
    return false;
}

bool RatingEditor::Step(int32_t step) {
    int64_t next = static_cast<int64_t>(rating_) + step;
    if (next < 0 || next > kMaxRating) return false;
    rating_ = static_cast<uint32_t>(next);
    return true;
}

bool RatingEditor::FromTap(int32_t x, int32_t stripLeft, int32_t iconSize) {
    if (iconSize <= 0) return false;
    if (x < stripLeft) {
        rating_ = 0;
        return true;
    }
    int64_t cell = (static_cast<int64_t>(x) - stripLeft) / iconSize + 1;
    if (cell > kMaxRating) return false;
    rating_ = static_cast<uint32_t>(cell);
    return true;
}

bool RatingEditor::Save(LibraryBook& book) const { return book.SetRating(rating_); }

namespace BookReadingLists {

std::vector<ReadingListRow> Rows(const Library& library, const LibraryBook& book) {
    std::vector<ReadingListRow> rows;
    for (auto& name : ReadingListNames::GlobalLists(library))
        rows.push_back({name, book.HasCategory(ToText(name))});
    return rows;
}

bool Commit(LibraryBook& book, const std::vector<ReadingListRow>& rows) {
    // Only the names shown change: a list the book holds that is not a global list stays.
    for (const auto& row : rows) {
        Text name = ToText(row.name);
        if (row.checked && !book.HasCategory(name)) book.AddCategory(name, false);
        if (!row.checked && book.HasCategory(name)) book.RemoveCategory(name, false);
    }
    return book.SaveCategories();
}

bool EndNewRow(LibraryBook& book, const Library& library, const char16_t* text) {
    if (!text || !*text) return false;
    Text name = ToText(text);
    if (library.HasCategory(name)) return false;
    return book.AddCategory(name, true);
}

}  // namespace BookReadingLists

std::u16string ReadingListsEditor::NewName() const {
    return ReadingListNames::DefaultName(library_ ? ReadingListNames::GlobalLists(*library_)
                                                  : std::vector<std::u16string>{});
}

ReadingListsEditor::Result ReadingListsEditor::EndNewRow(const std::u16string& defaultName,
                                                         const char16_t* text) {
    if (!library_) return Result::kFailed;
    std::u16string name = text && *text ? std::u16string(text) : defaultName;
    Text t = ToText(name);
    if (library_->HasCategory(t)) return Result::kDropped;
    return library_->CreateCategory(t) ? Result::kCreated : Result::kFailed;
}

ReadingListsEditor::Result ReadingListsEditor::EndRename(const std::u16string& oldName,
                                                         const char16_t* text,
                                                         const std::function<bool()>& confirmMerge) {
    if (!library_) return Result::kFailed;
    if (!text || !*text) return Result::kCancelled;
    std::u16string name = text;
    // The list's own name again: nothing to do (a merge into itself would delete it).
    if (name == oldName) return Result::kUnchanged;
    Text from = ToText(oldName), to = ToText(name);
    if (library_->HasCategory(to)) {
        if (!confirmMerge || !confirmMerge()) return Result::kCancelled;
        return library_->MergeCategory(from, to) ? Result::kMerged : Result::kFailed;
    }
    return library_->RenameCategory(from, to) ? Result::kRenamed : Result::kFailed;
}

ReadingListsEditor::Result ReadingListsEditor::Remove(const std::u16string& name,
                                                      const std::function<bool()>& confirm) {
    if (!library_) return Result::kFailed;
    if (!confirm || !confirm()) return Result::kCancelled;
    return library_->DeleteCategory(ToText(name)) ? Result::kDropped : Result::kFailed;
}
