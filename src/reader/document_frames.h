// The frames of a controller's window. After every open and page move the frameset that
// applies at the page start is asked for, and the frames are rebuilt when it changed; without
// one the window has the single frame "_main". The other frames show the same book from their
// own text positions, each through a controller of its own (a frame controller), whose window
// part paints its page in the frame and holds its page view element. The link-focus keys move
// from frame to frame. Key-handler nodes name the links the hardware keys run.
//
// Each controller has one of these: the window's own controller holds the frame set, a frame
// controller only its place in its frame. What it asks of its controller's page goes through
// FramePage.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/geometry.h"
#include "core/ref_counted.h"
#include "core/string.h"
#include "document_upper/frames/frame.h"
#include "reader/frame_sets.h"

class AreaArray;
class BookDocumentController;
class DocumentFrames;
class DrawingSurface;
class LinkTarget;
class Resource;
class TokenSource;
class Widget;

// The book's key handlers (links named by their NAME attribute, collected with the frame set).
class BookKeyHandlers {
public:
    // Runs the action of the first handler of that name; false when the book has none.
    virtual bool RunKeyHandler(const String& name) = 0;

protected:
    ~BookKeyHandlers() = default;
};

class FramePage {
public:
    // The link areas of the text page shown; null without a laid-out text page.
    virtual AreaArray* PageLinkAreas() = 0;
    // Selects mark n of the page; the page takes the keys, or loses the focus for n < 0.
    virtual void SelectPageMark(int32_t n) = 0;
    // Selects the page's first (last) link and gives the page the keys; false when it has none.
    virtual bool FocusPageLink(bool forward) = 0;
    virtual bool PageHasKeys() = 0;
    // The height the page needs at that width (at most the height given).
    virtual int32_t FitPageHeight(int32_t width, int32_t height) = 0;
    // Lays the page out anew in r, from the same text.
    virtual void LayOutPageIn(const Rect& r) = 0;
    virtual void PaintPage() = 0;
    virtual bool GoFirstPage() = 0;
    // The page start; -1 without one.
    virtual int32_t PageStart() = 0;
    virtual bool TextPageShown() = 0;
    virtual Resource* Book() = 0;
    // The built-in page shown (its resource id), 0 for a book.
    virtual uint32_t BuiltInPageId() = 0;
    // The token source of the page, for the key handlers.
    virtual TokenSource* PageSource() = 0;
    // The window's surface when the page is drawn on it, and its client area (area left as it
    // is before the window has a size); null outside a window.
    virtual DrawingSurface* WindowSurface(Rect& area) = 0;
    // The viewport of the page.
    virtual Rect Viewport() = 0;
    // The unit of frame sizes: the settings' font size.
    virtual int32_t UnitSize() = 0;
    // A controller for another frame, with this one's window, settings and loader, its frames
    // owned by `owner` (this page's frames).
    virtual std::unique_ptr<BookDocumentController> MakeFrameController(DocumentFrames& owner) = 0;
    // Shows the book of this page in a frame controller from a position; false when it failed
    // (the frame controller is left without a book).
    virtual bool ShowInFrame(BookDocumentController& frame, uint32_t position) = 0;
    virtual void Shutdown() = 0;

protected:
    ~FramePage() = default;
};

class DocumentFrames final : private FrameSetHost, private FrameSetController, private FrameViews {
public:
    explicit DocumentFrames(FramePage& page);
    ~DocumentFrames();
    DocumentFrames(const DocumentFrames&) = delete;
    DocumentFrames& operator=(const DocumentFrames&) = delete;

    // A frame controller of `owner`'s window, whose own controller is `controller`; `frame` 1,
    // spares' options as the frame set gives.
    void SetOwner(DocumentFrames* owner, BookDocumentController* controller) {
        owner_ = owner;
        ownerController_ = controller;
        frameFlag_ = owner ? 1 : 0;
    }
    // On a frame controller: the window's own controller; null on that one.
    BookDocumentController* OwnerController() const { return ownerController_; }
    bool IsFrame() const { return frameFlag_ != 0; }
    // Frames beside "_main": the window's own page takes its frame's rectangle.
    bool Framed() const { return framed_; }
    // The area the frames share.
    const Rect& PageArea() const { return pageArea_; }
    // The text position a frame controller's frame begins at; 0 on the window's own.
    uint32_t Position() const { return position_; }
    // The window part a frame holds (made on first use); null when none can be made.
    Widget* Part();
    Node* PartIfMade() const;
    Frame& Root();

    // Rebuilds the frames when the frameset at the page start changed; true when it did.
    bool Update();
    // A new document: the frameset is asked for again.
    void Forget() { lastFramesetPosition_ = -1; }
    void LayOutFrames(const Rect& area);
    // Takes every frame down and shuts the frame controllers down (the single "_main" next).
    void Close();
    // The frame set goes (the controller shuts down).
    void Destroy();
    // Frame controllers taken out while they may still run: freed at the next navigation.
    void FreeRetired();

    size_t ControllerCount() const { return children_.size(); }
    BookDocumentController* ControllerAt(size_t i) const;
    // The frame of that name; null when none (or no frame set) has it.
    Node* FindFrame(const String& name);
    // The frame controller whose frame holds a leaf of the frame set; null when none (the
    // window's own page is no frame controller's).
    BookDocumentController* ControllerOfLeaf(const Node* leaf);
    // The frame controller whose page has the keys; null when the window's own page has them.
    BookDocumentController* FocusedFrame();
    // Moves the link focus to the next frame (in frame order) whose page shows a link: its
    // first link forward, its last backward; false when no frame that way has one. Restarting
    // looks from the first (last) frame on.
    bool MoveFocus(bool forward, bool restart);
    // On a frame controller: whether it shows its owner's book.
    bool ShowsOwnerBook() { return ShowsOwnerDocument(); }

    const std::vector<RefPtr<LinkTarget>>& KeyLinks() const { return keyLinks_; }
    const std::vector<String>& KeyTexts() const { return keyTexts_; }
    void ClearKeyHandlers();
    // Handlers set from outside run in place of the book's own.
    void SetKeyHandlers(BookKeyHandlers* handlers) { keyHandlers_ = handlers; }
    BookKeyHandlers* KeyHandlers() const { return keyHandlers_; }
    // The handler name of hardware key 0-13; null past them.
    static const char16_t* HardwareKeyName(uint32_t index);

private:
    struct Child {
        std::unique_ptr<BookDocumentController> controller;
        DocumentFrames* frames = nullptr;
    };
    Child* ChildOf(const FrameSetController* controller);
    Child* ChildOfLeaf(const Node* leaf);
    DocumentFrames* FramesOfLeaf(const Node* leaf);
    void PlaceInFrame(const Rect& r);
    class WindowPartNode;

    // FrameSetHost (the window's own controller).
    Node* OwnWindowPart() override;
    void SetOwnFrameOptions() override;
    FrameSetController* CreateFrameController() override;
    bool OpenFrameDocument(FrameSetController* controller, uint32_t position) override;
    void ReleaseFrameController(FrameSetController* controller) override;
    void CollectKeyHandlers(uint32_t position) override;
    // FrameSetController (a frame controller).
    Node* WindowPart() override;
    bool ShowsOwnerDocument() override;
    bool GetFramePosition(uint32_t& position) override;
    bool GoFirstPage() override;
    void SetFrameOptions(uint8_t frameFlag, uint8_t option) override;
    // FrameViews: the link areas of the pages in the leaves, and a page's height.
    int32_t CountLinkAreas(Node* leaf) override;
    void SelectMark(Node* leaf, int32_t n) override;
    int32_t NextLinkArea(Node* leaf, int32_t from) override;
    int32_t PreviousLinkArea(Node* leaf, int32_t from) override;
    int32_t QueryLayoutRange(Node* leaf, int32_t width, int32_t height) override;

    FramePage& page_;
    DocumentFrames* owner_ = nullptr;
    BookDocumentController* ownerController_ = nullptr;
    BookKeyHandlers* keyHandlers_ = nullptr;
    std::unique_ptr<Widget> part_;
    std::unique_ptr<FrameSet> frames_;
    std::vector<Child> children_;
    std::vector<Child> retired_;
    int64_t lastFramesetPosition_ = -1;
    uint32_t framesetEnd_ = UINT32_MAX;
    uint32_t position_ = 0;
    uint8_t frameFlag_ = 0;
    uint8_t frameOption_ = 1;
    bool updating_ = false;
    bool framed_ = false;
    Rect frameRect_{};
    Rect pageArea_{};
    std::vector<RefPtr<LinkTarget>> keyLinks_;
    std::vector<String> keyTexts_;
};
