// The book's named references: its target records (the guide's "start", "toc" and the rest) and
// the names and ids of its markup that a '#' anchor may name. Running a reference goes to its
// text position or follows its link. What it asks of the page goes through ReferencesHost.
#pragma once

#include <cstdint>

class Resource;
class String;
class TokenSource;

class ReferencesHost {
public:
    // The book shown; null without one.
    virtual Resource* Book() = 0;
    // The laid-out page's token source; null without one.
    virtual TokenSource* PageSource() = 0;
    // The laid-out text page is shown (not a view over it).
    virtual bool TextPageShown() = 0;
    virtual bool GoToTextPosition(uint32_t position) = 0;
    virtual bool FollowLink(const String& link) = 0;

protected:
    ~ReferencesHost() = default;
};

class BookReferences {
public:
    explicit BookReferences(ReferencesHost& host) : host_(host) {}

    bool LookupReference(const char16_t* name, int32_t length, String& link);
    // A '#' name: a target record of the book (its link), a NAME or ID in the markup (its
    // text position), or nothing.
    enum AnchorTarget { kAnchorNone, kAnchorReference, kAnchorInText };
    AnchorTarget ResolveAnchorName(const String& anchor, String& link, uint32_t& position);
    // False only for a '#' name that neither the book's records nor its markup know.
    bool AnchorFound(const String& anchor);
    bool RunReference(const char16_t* name, int32_t length);
    bool RunReferenceLink(const String& link);
    // The book's guide reference n; false when the book has none.
    bool RunGuideEntry(uint32_t index);

private:
    ReferencesHost& host_;
};
