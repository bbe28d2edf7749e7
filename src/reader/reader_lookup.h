// The look-up room's parts (dictionary_lookups.h): a dictionary opened through the document
// loader, the pop-ups that show look-up results with the dictionary book they point into, and
// what performs their links.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <string>

#include "core/ref_counted.h"
#include "core/string.h"
#include "reader/lookup.h"
#include "reader/reader_views.h"

class DataHandle;
class DictionaryCatalogue;
class HistoryTable;
class LinkTarget;
class Resource;

// A dictionary book opened through the loader with its default and key tables; the book and the
// table handles stay referenced until the last pointer goes.
struct LoadedDictionary final : DictionaryTables {
    LoadedDictionary() = default;
    LoadedDictionary(const LoadedDictionary&) = delete;
    LoadedDictionary& operator=(const LoadedDictionary&) = delete;
    ~LoadedDictionary() override;

    RefPtr<Resource> book;
    RefPtr<DataHandle> defaultHandle;
    RefPtr<DataHandle> keyHandle;
    String location;  // the book's location as a string
    String shortId;   // the book's short identifier
};

// A look-up pop-up: a text pop-up holding a reference to the dictionary book its links point
// into, so that they find the book in the loader's cache while it shows.
class LookupPopup final : public TextPopup {
public:
    LookupPopup(std::unique_ptr<TextPopup> inner, std::shared_ptr<DictionaryTables> book)
        : inner_(std::move(inner)), book_(std::move(book)) {}
    void KeepBook(std::shared_ptr<DictionaryTables> book) { book_ = std::move(book); }
    const DictionaryTables* Book() const { return book_.get(); }

    bool AddText(const String& text, uint32_t flags) override { return inner_->AddText(text, flags); }
    bool AddLink(const String& text, uint32_t flags, uint32_t objectKind, uint32_t method,
                 int32_t argument) override {
        return inner_->AddLink(text, flags, objectKind, method, argument);
    }
    bool ShowAt(const Rect& area, Point anchor, uint32_t placement) override {
        return inner_->ShowAt(area, anchor, placement);
    }
    void KeepClear(const Rect& box) override { inner_->KeepClear(box); }
    void Hide() override { inner_->Hide(); }
    bool AddTarget(const String& text, uint32_t flags, LinkTarget* target) override {
        return inner_->AddTarget(text, flags, target);
    }
    TextPopupWindow* PopupWindow() override { return inner_->PopupWindow(); }
    bool SetOnHidden(std::function<void()> call) override {
        return inner_->SetOnHidden(std::move(call));
    }

private:
    std::unique_ptr<TextPopup> inner_;
    std::shared_ptr<DictionaryTables> book_;
};

// What the look-up pages' links ask of the word list (the word-list window while it shows).
class WordListAdder {
public:
    // The add-to-word-list operation with the entry and the language mask; false when the
    // word was not added.
    virtual bool AddToWordList(const struct VocabularyEntry& entry, uint32_t languageMask) = 0;

protected:
    ~WordListAdder() = default;
};

namespace Lookup {

// The string resource of an id (empty when missing), and a string's characters.
String ResourceText(uint32_t id);
std::u16string Wide(const String& s);

// The manual-search link of a page: a script link (kind 4) that opens the dictionary's own
// index search for the word, with the text or "manual search".
bool ShowIndexSearchLink(TextPopup& page, const String& reference, const String& word,
                         const String& text);
// The tap pop-up's menu as (command, string id) pairs, in order.
struct TapItem {
    int32_t command;
    uint32_t stringId;
};
struct TapFacts {
    bool word = false;         // a word was tapped
    bool sideFile = false;     // the book has an annotation file
    bool range = false;        // the tap's range is not empty
    bool highlight = false;    // the range holds a highlight
    bool bookmark = false;     // a bookmark lies at the current page
    bool waitingLink = false;  // the document controller waits for a link target
    bool image = false;        // the range holds an image
};
std::vector<TapItem> TapMenu(const TapFacts& facts);
// The tapped word without the punctuation and quotes the page's text run carries around it.
String TrimPunctuation(const String& word);
// The command of a default tap action 1-8; 0 for others.
int32_t TapActionCommand(uint32_t action);

}  // namespace Lookup
