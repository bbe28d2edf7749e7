// A location names everything the reader can show: a file on the device, a page inside a book
// file, or one of the reader's own "oeb:" pages. It is a value type over the database value
// record (text, prefix length, kind, resource id) plus an anchor.
#pragma once

#include <cstdint>
#include <vector>

#include "core/string.h"
#include "database/db_value.h"

class Text;

class Location : public DbValue {
public:
    enum Kind : uint32_t {
        kInternal = 0,
        kFile = 1,
        kFileInContainer = 2,
        kFileByType = 3,
        kRedirect = 4,
        kDatabase = 5,
        kBuiltInPage = 8,
        kEmptyKind = 9,
    };

    Location() = default;

    uint32_t Kind() const { return type; }
    void SetKind(uint32_t k) { type = k; }
    uint32_t ResourceId() const { return number1; }
    uint32_t PrefixLength() const { return flags; }
    const String& GetText() const { return text; }
    const String& Anchor() const { return anchor; }

    // Parsing and resolving; a failure leaves the location as it was.
    bool Parse(const String& source, bool alreadyEncoded);
    bool ParseText(const Text& source);
    bool ParseInContainer(const String& source, uint32_t prefixLength);
    // Without a base: the anchor is taken from the text, which is parsed as encoded.
    bool Resolve(const String& source, const Location* base);
    bool ResolveAgainst(const String& source, const Location& base);
    bool ParseChild(const String& source, const Location& base, String& out);
    // "?name=" + the database file stem of the name; kind 5.
    bool SetDatabaseName(const String& name);
    bool ResolveRelative(const Location& relative);
    static bool IsAbsoluteFor(const Location& relative, uint32_t baseKind);

    // Formatting. With full false: cut at the first '?' and percent-decoded (the file name).
    bool ToString(String& out, bool full) const;
    bool ToFileName(Text& out) const;
    bool ToStringWithAnchor(String& out) const;
    bool GetPrefix(String& out) const;

    // Queries on any text.
    static bool GetQuery(const String& s, String& out, bool withMark);
    static bool GetParams(const String& s, std::vector<uint32_t>& ids, std::vector<String>& values);
    static bool GetAnchorPart(const String& s, String& out);
    static bool GetFullAnchor(const String& s, String& out);
    static bool HasAnchor(const String& s);
    static bool HasDollar(const String& s);
    static bool HasPositionAnchor(const String& s);
    static bool GetDollarValue(const String& s, int64_t& value);
    static int64_t GetAnchorPosition(const String& s);

    bool GetQuery(String& out, bool withMark) const { return GetQuery(text, out, withMark); }
    bool GetParams(std::vector<uint32_t>& ids, std::vector<String>& values) const {
        return GetParams(text, ids, values);
    }
    bool GetAnnotationCategory(uint32_t& out) const;
    // The anchor queries look at the anchor (the location's text never holds one).
    bool HasAnchor() const { return HasAnchor(anchor); }
    bool HasDollar() const { return HasDollar(anchor); }
    bool HasPositionAnchor() const { return HasPositionAnchor(anchor); }
    bool GetDollarValue(int64_t& value) const { return GetDollarValue(anchor, value); }
    int64_t GetAnchorPosition() const { return GetAnchorPosition(anchor); }
    bool GetAnchorPart(String& out) const { return GetAnchorPart(anchor, out); }
    bool GetFullAnchor(String& out) const { return GetFullAnchor(anchor, out); }

    bool SetDollarAnchor(uint32_t n);
    bool SetPositionAnchor(uint32_t n);
    bool SetEoAnchor(const String& value);
    void SetAnchor(const String& a) { anchor.Assign(a); }

    bool IsFileKind() const { return type == kFile || type == kFileInContainer || type == kFileByType; }
    bool IsInternal() const { return type == kInternal || type == kFileInContainer; }
    bool IsBuiltInPage() const { return type == kBuiltInPage; }
    // "oeb:fvt_iconlib": the program's own icons, the icon's resource id in the "$" anchor.
    static constexpr uint32_t kIconLibraryId = 6;
    bool IsIconLibrary() const { return type == kInternal && number1 == kIconLibraryId; }
    // The icon id of an icon-library location; -1 for any other location, or an anchor
    // that is no icon id.
    int32_t IconId() const;

    // -1, 0 or 1; the anchor and prefix length take no part. File paths compare '/' and '\\'
    // as the same separator (a book reached through either spelling is one place).
    static int Compare(const Location& a, const Location& b);
    static int CompareWithAnchor(const Location& a, const Location& b, const String& anchor);
    static bool EqualsString(const Location& a, const Location& b, const String& anchor) {
        return CompareWithAnchor(a, b, anchor) == 0;
    }

    bool MakeBookmarksLocation(const Location* base, Text& name, Text& category);
    using Producer = bool (*)(void* argument, Text& out);
    bool ParseFromProducer(Producer producer, void* argument);

    void CopyFrom(const Location& other);
    // Back to the empty value (kind 9), the anchor released with the rest.
    void Clear() {
        Init();
        anchor.Release();
    }

    // Where the anchor of a text starts: its first '$' or '#' (the length when neither).
    static int32_t AnchorStart(const String& s);

    String anchor;

private:
    bool ParseInto(const String& source, bool alreadyEncoded);
};
