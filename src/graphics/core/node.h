// The node tree: every visible object of a reader window is a Node in one tree whose root is the
// window's DrawingSurface. A Widget is a Node with children, kept in descending ZOrder (drawn
// first to last, so later children lie on top), and is a focus holder for its descendants.
//
// Ownership: a Widget lists its children but never deletes them; each node belongs to whoever
// made it. Destroying a node detaches it; destroying a Widget first detaches its remaining
// children and drops the focus it holds, so children may outlive their parent.
//
// Re-entrancy: every call out of the tree (HandleEvent, OnFocusChanged, SetActive, Show) may
// destroy the callee, the caller or both. Loops that call out watch the nodes through weak
// references (NodeRef) and touch nothing of a node that has gone.
#pragma once

#include <cstdint>

#include "core/geometry.h"
#include "core/list.h"
#include "core/segmented_array.h"
#include "core/transform.h"
#include "graphics/core/input_event.h"

class GraphicsContext;
class String;
class Widget;

class Node {
public:
    Node();
    virtual ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    // Virtual operations, in their fixed order (slot 0 is the destructor).
    virtual Widget* AsWidget() { return nullptr; }
    virtual void SetCapture(bool /*capture*/) {}
    virtual bool IsPopup() const { return false; }
    virtual bool Show(bool /*show*/) { return false; }
    virtual bool IsShown() const { return false; }
    virtual bool HandleEvent(InputEvent& /*event*/) { return false; }
    virtual bool InsertText(const String& /*text*/) { return false; }
    // Something drawn above now covers (true) or uncovers (false) this area.
    virtual void SetCovered(const Rect& /*area*/, bool /*covered*/) {}
    virtual void OnOrientationChanged(int /*orientation*/) {}
    virtual void SetActive(bool /*active*/) {}
    // Draws the node; area null draws all of it.
    virtual void Redraw(const Rect* /*area*/) {}
    virtual void ExecuteCommand(uint32_t /*command*/, uint32_t /*argument*/) {}
    virtual bool IsCommandEnabled(uint32_t /*command*/, uint32_t /*argument*/) { return false; }
    virtual bool IsCommandChecked(uint32_t /*command*/, uint32_t /*argument*/) { return false; }
    // Forwarded to the root, which holds the device context; null (no drawing) without a
    // parent, and every caller must accept that.
    virtual GraphicsContext* BeginDraw(bool defer, const Rect* area);
    virtual bool EndDraw();
    // The node's transform relative to its parent.
    virtual void GetTransform(Transform& out, bool /*withoutRotation*/) const {
        out = Transform::Identity();
    }
    virtual void Focus();
    virtual void Blur();
    virtual void OnFocusChanged(bool /*gained*/) {}
    virtual bool IsFocusScope() const { return false; }
    virtual void SetHighlighted(bool /*highlighted*/) {}
    virtual Rect& AdjustRect(Rect& out, const Rect& in) = 0;
    // Points are tested as 1x1 areas.
    virtual bool HitTest(const Rect& /*area*/) { return true; }
    virtual bool GetRect(Rect& /*out*/) { return false; }
    virtual int32_t ZOrder() const = 0;
    virtual int32_t SecondOrder() const { return -128; }
    virtual bool IsModal() const { return false; }
    // Brings a rectangle of a descendant into view (the page view element answers it).
    virtual bool BringIntoView(const Rect& /*area*/, uint32_t /*id*/) { return false; }
    // The input state the keys are read in while this node has the focus (a text field, a
    // focused link, a pop-up); false when the node has no say.
    virtual bool WantedInputState(InputState& /*state*/) { return false; }

    // The topmost ancestor, or null without a parent.
    Node* Root();
    Widget* FocusScope();
    bool SetParent(Widget* parent);
    void Detach();
    // Whether something drawn above this node's branch is hit.
    bool HitTestFollowing(const Rect& area);
    void CoverNodesBeneath(bool covered);
    // False (out = identity) when `ancestor` is neither null, this node nor an ancestor.
    bool TransformToAncestor(bool includeSelf, bool excludeAncestor, Node* ancestor,
                             Transform& out);
    Point& MapPoint(Point& out, bool includeSelf, bool excludeAncestor, Node* ancestor, Point p,
                    bool toAncestor);
    bool RegisterHook(int32_t priority);
    void UnregisterHooks();
    // Called on an ancestor: the child indices from this node down to `node`.
    bool GetIndexPath(SegArray<int32_t>& out, Node* node);

    Widget* Parent() const { return parent_; }
    Widget* FocusHolder() const { return holder_; }
    bool IsFocused() const { return focused_; }
    bool IsPlaced() const { return placed_ != 0; }
    void SetPlaced(bool placed) { placed_ = placed ? 1 : 0; }
    List* Anchor() { return &anchor_; }
    bool IsAncestorOf(const Node* node) const;

private:
    friend class Widget;
    List anchor_;
    uint32_t placed_ = 0;
    Widget* holder_ = nullptr;
    bool focused_ = false;
    Widget* parent_ = nullptr;
};

// A weak reference to a node: reads null once the node is destroyed.
class NodeRef {
public:
    NodeRef() = default;
    explicit NodeRef(Node* node) { Set(node); }
    void Set(Node* node) { ref_.Set(node, node ? node->Anchor() : nullptr); }
    void Reset() { ref_.Reset(); }
    Node* Get() const { return ref_.Get(); }
    bool IsAlive() const { return ref_.Get() != nullptr; }

private:
    WeakPtr<Node> ref_;
};

// Brackets drawing for a node: BeginDraw on construction, EndDraw on destruction only when a
// context was given. A node that is not (yet) in a tree with a drawing surface gets none and
// simply does not draw; keep earlier measurements and try again later.
class DrawScope {
public:
    explicit DrawScope(Node* node, bool defer = false, const Rect* area = nullptr)
        : node_(node), gc_(node ? node->BeginDraw(defer, area) : nullptr) {}
    ~DrawScope() {
        if (gc_) node_->EndDraw();
    }
    DrawScope(const DrawScope&) = delete;
    DrawScope& operator=(const DrawScope&) = delete;
    GraphicsContext* Context() const { return gc_; }
    explicit operator bool() const { return gc_ != nullptr; }

private:
    Node* node_;
    GraphicsContext* gc_;
};

class Widget : public Node {
public:
    Widget();
    ~Widget() override;

    Widget* AsWidget() override { return this; }
    void SetCapture(bool /*capture*/) override {}
    bool HandleEvent(InputEvent& event) override;
    void SetCovered(const Rect& area, bool covered) override;
    void OnOrientationChanged(int orientation) override;
    void SetActive(bool active) override;
    void Redraw(const Rect* area) override;
    Rect& AdjustRect(Rect& out, const Rect& in) override;
    bool HitTest(const Rect& area) override;
    int32_t ZOrder() const override { return 0; }

    virtual bool HitTestAfter(Node* child, const Rect& area);
    virtual bool FocusChild(Node* node);
    virtual void BlurChild(Node* node);
    virtual void OnChildFocusChanged(Node* node, Widget* via, bool gained);
    virtual void AfterRedraw() {}

    bool InsertChild(Node* node);
    void RemoveChild(Node* node);
    void ClearFocus();
    void RestoreFocus(Node* except);
    bool SetChildFocus(Node* node, bool gained);
    Node* FocusedDescendant();
    Node* FocusedNode() const { return focusedNode_; }
    Node* LastFocused() const { return lastFocused_.Get(); }
    Node* ChildByIndexPath(const SegArray<int32_t>& path);
    int32_t ChildCount() const { return children_.Count(); }
    Node* ChildAt(int32_t i) const {
        Node* const* p = children_.Get(i);
        return p ? *p : nullptr;
    }
    int32_t IndexOf(const Node* node) const;
    // The node's entry in the hook list (root only), or -1.
    int32_t HookCount() const { return hooks_.Count(); }

    // Children in descending ZOrder, each child's parent pointing here, and the focused node's
    // holder pointing back. For tests after every operation.
    bool CheckInvariants() const;

    // The next n child insertions succeed and the ones after fail (negative: never fail).
    static void FailInsertsAfterForTesting(int32_t n);

private:
    friend class Node;
    struct Hook {
        int32_t priority;
        Node* node;
    };
    Node* focusedNode_ = nullptr;
    NodeRef lastFocused_;
    SegArray<Hook, 2> hooks_;
    SegArray<Node*, 2> children_;
};
