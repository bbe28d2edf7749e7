// Where a link, a button or a titled element leads: a counted record of a kind and the texts
// and numbers that kind needs. Made by the style computation for A elements and titles, and by
// the pop-ups, lookups and annotations for their own links; carried out by the reader.
#pragma once

#include <cstdint>
#include <memory>

#include "core/ref_counted.h"
#include "core/segmented_array.h"
#include "bookfiles/index_table_handle.h"
#include "core/string.h"

class TokenSource;

enum LinkTargetKind : uint32_t {
    kLinkTitleOnly = 0,       // second text the title, name from NAME
    kLinkAddress = 1,         // text the URL (HREF)
    kLinkNamedEntry = 2,      // text the name, number n
    kLinkFilePosition = 3,    // number the file position (FILEPOS)
    kLinkScript = 4,          // text the script (ONCLICK)
    kLinkPair = 5,            // the two 16-bit values
    kLinkCoordinates = 6,     // the two 16-bit values and the number
    kLinkPairText = 7,        // the two 16-bit values and the text
    kLinkRecordRow = 8,       // a row of a record set: text and number
    kLinkTableSelection = 9,  // text, second text, number = column count, the columns
    kLinkIndexTarget = 10,    // short id "`" name, number, second text, name, object kind
    kLinkTableSelectionCompact = 11,
};

// A table selection keeps its columns as the book files' lookup matches (one record each).
static_assert(sizeof(LookupMatch) == 24);

class LinkTarget : public RefCounted {
public:
    LinkTarget() = default;

    // A new target for the start tag at the token source: NAME gives the name; a FILEPOS other
    // than -1 gives kind 3, otherwise HREF kind 1; ONCLICK gives kind 4 and wins. With none of
    // the three the target is released and left empty. False only when memory runs out.
    static bool FromElement(TokenSource& source, RefPtr<LinkTarget>& target);
    // Splits at the first grave accent: after = what follows it, before = what precedes it;
    // without one, after = the whole text and before is empty.
    static void SplitName(const String& text, String& after, String& before);

    // Copies every field (the columns too); false when memory runs out (then unchanged).
    bool Assign(const LinkTarget& other);
    // Same kind, texts, numbers and columns.
    bool Equals(const LinkTarget& other) const;
    // Kind 6: the 16-bit pair (object kind, method id) and the number.
    void SetCoordinates(uint16_t objectKind, uint16_t methodId, uint32_t number);
    // Kind 10: text = shortId "`" name, number = the entry, second text = the key text, name =
    // the headword, object kind = the language.
    bool SetKind10Target(const String& name, const String& shortId, const String& keyText,
                         const String& headword, uint32_t entryNumber, uint16_t language);
    // Kind 11 when compact, else 9: text, second text, number = count, and copies of count
    // matches from first (clipped to the matches there are). False when memory runs out.
    bool SetColumns(const SegArray<LookupMatch>& matches, int32_t first, int32_t count,
                    const String& text, const String& secondText, bool compact);

    const LookupMatch* Columns() const { return columns_.get(); }
    uint32_t ColumnCount() const { return columnCount_; }

    uint32_t kind = kLinkTitleOnly;
    String text;
    uint32_t number = 0;
    uint16_t objectKind = 0;
    uint16_t methodId = 0;
    String secondText;
    String name;

protected:
    ~LinkTarget() override;

private:
    bool CopyColumns(const LookupMatch* from, uint32_t count);

    std::unique_ptr<LookupMatch[]> columns_;
    uint32_t columnCount_ = 0;
};
