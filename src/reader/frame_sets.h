// Frame sets: a book's compiled frameset tree turned into the frames of a reader window. One
// frame shows the book at the reading position (the controller's own window part); each other
// frame has a controller of its own that shows the book from a fixed text position. Key-handler
// nodes name the text positions of the links bound to hardware keys.
//
// The tree is the book's: every read is checked (the cursor answers false outside its record)
// and any false fails the build, after which the window returns to the single frame "_main".
// Controllers of frames taken out of a frame set are kept for reuse until the next build ends;
// those left over are handed back to the host, which frees them from its command queue, since a
// rebuild may run inside one of them.
#pragma once

#include <cstdint>
#include <vector>

#include "bookfiles/packed_tree.h"
#include "core/ref_counted.h"
#include "core/string.h"
#include "document_upper/frames/frame.h"

class LinkTarget;
class TokenSource;

// What the frame set needs of the controller of one frame.
class FrameSetController {
public:
    virtual Node* WindowPart() = 0;
    // Whether it shows the owner's own document.
    virtual bool ShowsOwnerDocument() = 0;
    // The text position its content begins at; false without a page layout or with a special
    // view current.
    virtual bool GetFramePosition(uint32_t& position) = 0;
    virtual bool GoFirstPage() = 0;
    // frame flag 1 (a frame's controller), option from the node's flag 0x0200.
    virtual void SetFrameOptions(uint8_t frameFlag, uint8_t option) = 0;

protected:
    ~FrameSetController() = default;
};

// What the frame set needs of the document controller that owns it.
class FrameSetHost {
public:
    // The controller's own window part (never owned by a frame).
    virtual Node* OwnWindowPart() = 0;
    // Frame flag 0 and option byte 1 on the controller itself.
    virtual void SetOwnFrameOptions() = 0;
    // A new frame controller; null on failure.
    virtual FrameSetController* CreateFrameController() = 0;
    // Opens the owner's document in the controller with the frame position (set the document,
    // open an empty location, update the view); false when it cannot.
    virtual bool OpenFrameDocument(FrameSetController* controller, uint32_t position) = 0;
    // No longer needed: freed later, never inside the call (it may be running).
    virtual void ReleaseFrameController(FrameSetController* controller) = 0;
    // The links at a key-handler node's text position.
    virtual void CollectKeyHandlers(uint32_t position) = 0;

protected:
    ~FrameSetHost() = default;
};

// One node of a tree as the walk visited it.
struct FrameSetNode {
    uint16_t flags = 0;
    uint32_t size = 0;
    uint16_t unit = 0;
    uint32_t payload = 0;
    int32_t depth = 0;  // 0 for the root's children
    bool active = false;
    String name;
};

namespace FrameSets {
constexpr uint16_t kKindMask = 0x0016;
constexpr uint16_t kKeyHandlerKind = 0x0014;
constexpr uint16_t kMeasured = 0x0008;
constexpr uint16_t kRows = 0x0040;
constexpr uint16_t kOption = 0x0200;

bool IsFrameNode(uint16_t flags);
bool IsKeyHandlerNode(uint16_t flags);

// Marks (frame nodes become active; the children of active nodes only are visited), drops
// later nodes that repeat an earlier active node's name, and deactivates everything below an
// inactive node. False on a malformed tree or when memory runs out.
bool PrepareFrameNodes(PackedTree root, std::vector<FrameSetNode>& nodes);

// The payload words of the active frame leaves that are not 0, in walk order.
std::vector<uint32_t> FramePositions(const std::vector<FrameSetNode>& nodes);

// Where spare controllers go: for each spare (by its frame position, or none), the index of the
// position it takes, or -1. Each position is taken once, by the first spare that shows it.
std::vector<int32_t> MatchSpares(const std::vector<uint32_t>& positions,
                                 const std::vector<int64_t>& spares);
}  // namespace FrameSets

// A link in a key handler's area, as the token walk read it.
struct KeyHandlerLink {
    RefPtr<LinkTarget> target;
    bool hasLanguage = false;
    uint32_t language = 0;
    String text;
};

// Reads the links from the source's current position up to `limit` (a text position; the end
// of the frameset's range, so that the walk does not read the rest of the book): each A start
// tag with an action, its LANG and the text inside it. False when memory runs out.
bool ReadKeyHandlerLinks(TokenSource& source, uint32_t limit, std::vector<KeyHandlerLink>& out);

// The handlers of the program language, then those of the first language met for names that no
// handler has yet; links in other languages are ignored. Texts go along with their handlers.
void SelectKeyHandlers(const std::vector<KeyHandlerLink>& links, uint32_t programLanguage,
                       std::vector<RefPtr<LinkTarget>>& handlers, std::vector<String>& texts);

class FrameSet final : public FrameListener {
public:
    explicit FrameSet(FrameSetHost* host);
    ~FrameSet();
    FrameSet(const FrameSet&) = delete;
    FrameSet& operator=(const FrameSet&) = delete;

    Frame& Root() { return root_; }
    // The one frame "_main": the own window part, one share, not owned.
    bool AddMainFrame();
    // Takes every frame out; released frame controllers become spares.
    void Detach();
    // Hands every spare back to the host.
    void CloseFrameControllers();
    // Builds from a tree's root; false (and no frames) on failure.
    bool Build(PackedTree root);
    // A rebuild after the frameset at the position changed (found, changed) or vanished:
    // true when the frames changed. Falls back to "_main" on any failure.
    bool Update(bool found, bool changed, const PackedTree& root);

    size_t SpareCount() const { return spares_.size(); }

    void OnFrameRemoved(FrameEntry& entry, Node* child, bool isFrameset) override;

private:
    bool AssignFrameControllers(const std::vector<uint32_t>& positions,
                                std::vector<FrameSetController*>& places);
    bool AddFrames(Frame& parent, const std::vector<FrameSetNode>& nodes, size_t& i, int32_t depth,
                   std::vector<FrameSetController*>& places, size_t& next);
    FrameSetController* ControllerOf(Node* part);

    FrameSetHost* host_;
    Frame root_;
    std::vector<FrameSetController*> spares_;
    std::vector<FrameSetController*> placed_;
    bool ownPlaced_ = false;
};
