// What the document model needs of the page layout engine, which sits above it: the engine is
// made and wired through a factory that the layout installs, and objects laid out inline in a
// page share one abstract base.
#pragma once

#include <cstdint>

#include "core/geometry.h"

class DocumentSource;
class GraphicsContext;
class Node;
class PageLayout;
class Searcher;
class String;
class TokenSource;

// Answers a book page layout asks of its book: whether its source is split over several text
// records, and the document key compared with the book id stored in its side file.
class BookLayoutTraits {
public:
    virtual ~BookLayoutTraits() = default;
    virtual bool SourceFlag() = 0;
    virtual uint32_t DocumentKey() = 0;
    // True when the key changes with the document's content rather than naming the document
    // (a file's key holds its size): a side file under an older key is still this document's.
    virtual bool KeyFollowsContent() { return false; }
};

class LayoutEngineFactory {
public:
    virtual ~LayoutEngineFactory() = default;
    // A new page layout engine; with traits, one for a book (it keeps the traits).
    virtual PageLayout* CreatePageLayout(BookLayoutTraits* traits) = 0;
    virtual void SetSource(PageLayout* layout, TokenSource* source) = 0;
    // Switches off the display option that plain-text books and some book types do without.
    virtual void SetPlainTextOption(PageLayout* layout, bool on) = 0;
    // Clears and deletes a layout.
    virtual void DestroyPageLayout(PageLayout* layout) = 0;
    // A plain or indexed text searcher attached to the document.
    virtual Searcher* CreateSearcher(DocumentSource* document, bool indexed) = 0;

    // Installs the layout's factory (null takes it away): content resources then make their
    // layouts, and their searchers, through it.
    static void Install(LayoutEngineFactory* factory);
    // The installed factory; null until then (resources then make no layout and no searcher).
    static inline LayoutEngineFactory* installed = nullptr;

    // The common end of a resource's CreateLayout: the token source is attached to the document
    // and, when a layout is asked for, one is made over it (with traits for a book; the layout
    // keeps them), its display option switched off when displayOption is false. False, with
    // the token source and traits deleted and both outputs null, when no layout can be made.
    static bool FinishLayout(TokenSource* made, DocumentSource* document, BookLayoutTraits* traits,
                             bool displayOption, TokenSource*& source, PageLayout** layout);
    // A resource's DestroyLayout: the layout goes first, then the token source.
    static void DestroyLayout(TokenSource* source, PageLayout* layout);
};

// What a tapped inline object asks of the reader: to open a location (a picture shown
// reduced opens whole). The document controller implements it.
class InlineObjectHost {
public:
    virtual bool OpenLink(const String& location) = 0;

protected:
    ~InlineObjectHost() = default;
};

// An object laid out inline in a page: a picture, an icon or a form control. Reference-counted.
class InlineObject {
public:
    InlineObject() = default;
    InlineObject(const InlineObject&) = delete;
    InlineObject& operator=(const InlineObject&) = delete;

    void AddRef() { ++refCount_; }
    void Release() {
        if (refCount_ > 1) {
            --refCount_;
            return;
        }
        refCount_ = 0;
        delete this;
    }

    virtual ~InlineObject() = default;
    virtual bool Draw(GraphicsContext* gc, const Rect& area, const Rect* clip) = 0;
    // By default the simple measure, with flag B, the baseline offset and the minimum extent
    // cleared.
    virtual bool Measure(Size& size, uint8_t& flagA, GraphicsContext* /*gc*/, uint8_t& flagB,
                         uint32_t& baseline, Size& minimum) {
        flagB = 0;
        baseline = 0;
        minimum = Size{};
        return MeasureSimple(size, flagA);
    }
    virtual bool MeasureSimple(Size& size, uint8_t& flagA) = 0;
    virtual void SetStyle(const uint8_t* /*style3*/) {}
    // Form controls take their rectangle and colour here.
    virtual void SetRect(const Rect& /*rect*/, uint32_t /*colour*/) {}
    virtual bool IsControl() { return false; }
    virtual Node* GetNode() { return nullptr; }
    // A control that draws itself over the page shows only this part of its rectangle (where a
    // scrolled table's view holds it) and takes taps there only; null: the whole of it. False
    // when it cannot show a part.
    virtual bool ShowPart(const Rect* part) { return part == nullptr; }
    virtual bool GetScriptHandles(uint32_t& first, uint32_t& /*second*/) {
        first = 0;
        return true;
    }
    virtual uint32_t GetText(String* /*out*/) { return 0; }
    virtual void FireEvent(uint32_t /*eventId*/, uint32_t /*argument*/) {}
    // Non-zero: drawn in the page drawing's second pass, after the block's other objects.
    virtual uint32_t DrawsLate() { return 0; }

    // Pictures: the size fitted into the box, keeping the proportions.
    virtual void FitSize(Size& /*size*/) {}
    // The size it is shown at; true when it is shown reduced.
    virtual bool SetDisplay(const Size& /*size*/, bool /*decoded*/) { return false; }
    virtual bool IsScaledDown() { return false; }
    // A tap: a reduced picture opens whole through the host.
    virtual void Activate(InlineObjectHost* /*host*/) {}
    // The picture's own location as text; false for none or an internal one. out may be null.
    virtual bool GetLocationText(String* /*out*/) { return false; }
    // The picture kind is JPEG.
    virtual bool IsJpeg() { return false; }

    uint32_t RefCount() const { return refCount_; }

private:
    uint32_t refCount_ = 1;
};
