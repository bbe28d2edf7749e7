#include "graphics/core/node.h"

namespace {

// Countdown for FailInsertsAfterForTesting; negative never fails.
int32_t gInsertBudget = -1;

bool HasHiddenPopupBetween(Node* node, const Node* top) {
    for (Node* n = node; n && n != top; n = n->Parent())
        if (n->IsPopup() && !n->IsShown()) return true;
    return false;
}

}  // namespace

// ---- Node -------------------------------------------------------------------------------------

Node::Node() = default;

Node::~Node() {
    UnregisterHooks();
    Detach();
    // A callout made during the detach may have left a holder pointing here.
    if (holder_) {
        if (holder_->focusedNode_ == this) holder_->focusedNode_ = nullptr;
        holder_ = nullptr;
    }
    focused_ = false;
}

GraphicsContext* Node::BeginDraw(bool defer, const Rect* area) {
    return parent_ ? static_cast<Node*>(parent_)->BeginDraw(defer, area) : nullptr;
}

bool Node::EndDraw() {
    return parent_ ? static_cast<Node*>(parent_)->EndDraw() : false;
}

Node* Node::Root() {
    if (!parent_) return nullptr;
    Node* n = this;
    while (n->parent_) n = n->parent_;
    return n;
}

bool Node::IsAncestorOf(const Node* node) const {
    for (const Node* n = node ? node->parent_ : nullptr; n; n = n->parent_)
        if (n == this) return true;
    return false;
}

Widget* Node::FocusScope() {
    Node* n = AsWidget() ? this : parent_;
    while (n && !n->IsFocusScope()) n = n->parent_;
    return n ? n->AsWidget() : nullptr;
}

bool Node::SetParent(Widget* parent) {
    if (parent == parent_) return true;
    NodeRef self(this);
    Blur();
    if (!self.IsAlive()) return false;
    Detach();
    if (!self.IsAlive()) return false;
    if (!parent) return true;
    if (!parent->InsertChild(this)) return false;
    parent_ = parent;
    return true;
}

void Node::Detach() {
    NodeRef self(this);
    if (IsPopup()) {
        Show(false);
        if (!self.IsAlive()) return;
    }
    if (!parent_) return;
    // Focus held anywhere above for a node of this branch goes before the branch leaves, so
    // no holder keeps a node that is no longer below it.
    for (Widget* w = parent_; w; w = w->parent_) {
        Node* f = w->focusedNode_;
        if (f && (f == this || IsAncestorOf(f))) {
            NodeRef held(f);
            w->SetChildFocus(f, false);
            if (!self.IsAlive()) return;
            break;
        }
    }
    if (!parent_) return;
    UnregisterHooks();
    Widget* parent = parent_;
    parent->RemoveChild(this);
    parent_ = nullptr;
    Blur();
}

bool Node::HitTestFollowing(const Rect& area) {
    Node* branch = this;
    for (Widget* p = parent_; p; p = p->parent_) {
        if (p->HitTestAfter(branch, area)) return true;
        branch = p;
    }
    return false;
}

void Node::CoverNodesBeneath(bool covered) {
    if (!parent_) return;
    Rect r;
    GetRect(r);
    Widget* parent = parent_;
    NodeRef watch(parent);
    for (int32_t i = 0; watch.IsAlive() && i < parent->ChildCount(); ++i) {
        Node* child = parent->ChildAt(i);
        if (child == this) break;
        child->SetCovered(r, covered);
    }
}

bool Node::TransformToAncestor(bool includeSelf, bool excludeAncestor, Node* ancestor,
                               Transform& out) {
    out = Transform::Identity();
    if (ancestor == this) {
        if (includeSelf == excludeAncestor) return true;
        Transform own;
        GetTransform(own, false);
        if (includeSelf) {
            out = own;
            return true;
        }
        return Transform::Invert(own, out);
    }
    if (ancestor && !ancestor->IsAncestorOf(this)) return false;
    if (includeSelf) GetTransform(out, true);
    Node* n = parent_;
    for (; n && n != ancestor; n = n->parent_) {
        Transform step, composed;
        n->GetTransform(step, true);
        Transform::Compose(out, step, composed);
        out = composed;
    }
    if (n && !excludeAncestor) {
        Transform step, composed;
        n->GetTransform(step, false);
        Transform::Compose(out, step, composed);
        out = composed;
    }
    return true;
}

Point& Node::MapPoint(Point& out, bool includeSelf, bool excludeAncestor, Node* ancestor, Point p,
                      bool toAncestor) {
    Transform t;
    TransformToAncestor(includeSelf, excludeAncestor, ancestor, t);
    if (!toAncestor) {
        Transform inverse;
        if (Transform::Invert(t, inverse)) t = inverse;
    }
    out = Transform::MapPoint(t, p);
    return out;
}

bool Node::RegisterHook(int32_t priority) {
    Node* root = Root();
    Widget* w = root ? root->AsWidget() : nullptr;
    if (!w) return false;
    auto& hooks = w->hooks_;
    for (int32_t i = 0; i < hooks.Count(); ++i) {
        if (hooks[i].node != this) continue;
        if (hooks[i].priority == priority) return true;
        hooks.Remove(i, 1);
        break;
    }
    Widget::Hook hook{priority, this};
    int32_t count = hooks.Count();
    if (priority == 256 || count == 0 || hooks[count - 1].priority <= priority)
        return hooks.Append(hook) >= 0;
    int32_t at = 0;
    while (at < count && hooks[at].priority <= priority) ++at;
    return hooks.Insert(at, &hook, 1);
}

void Node::UnregisterHooks() {
    Node* root = Root();
    Widget* w = root ? root->AsWidget() : nullptr;
    if (!w) return;
    for (int32_t i = w->hooks_.Count() - 1; i >= 0; --i)
        if (w->hooks_[i].node == this) w->hooks_.Remove(i, 1);
}

bool Node::GetIndexPath(SegArray<int32_t>& out, Node* node) {
    out.Clear();
    for (Node* n = node; n != this; n = n->parent_) {
        if (!n || !n->parent_) {
            out.Clear();
            return false;
        }
        if (out.Append(n->parent_->IndexOf(n)) < 0) {
            out.Clear();
            return false;
        }
    }
    for (int32_t i = 0, j = out.Count() - 1; i < j; ++i, --j) {
        int32_t t = out[i];
        out[i] = out[j];
        out[j] = t;
    }
    return true;
}

void Node::Focus() {
    if (focused_) return;
    if (Widget* scope = FocusScope()) scope->FocusChild(this);
}

void Node::Blur() {
    if (focused_ && holder_) holder_->BlurChild(this);
}

// ---- Widget -----------------------------------------------------------------------------------

Widget::Widget() = default;

Widget::~Widget() {
    // Drop the focus held here and let the remaining children go, so that nodes destroyed after
    // their parent never reach back into it.
    if (Node* f = focusedNode_) SetChildFocus(f, false);
    focusedNode_ = nullptr;
    lastFocused_.Reset();
    while (ChildCount() > 0) {
        Node* child = ChildAt(ChildCount() - 1);
        child->Detach();
        if (ChildAt(ChildCount() - 1) == child) {  // a child that would not go
            children_.Remove(ChildCount() - 1, 1);
            child->parent_ = nullptr;
        }
    }
    hooks_.Destroy();
}

void Widget::FailInsertsAfterForTesting(int32_t n) {
    gInsertBudget = n;
}

int32_t Widget::IndexOf(const Node* node) const {
    for (int32_t i = 0; i < children_.Count(); ++i)
        if (children_[i] == node) return i;
    return -1;
}

bool Widget::InsertChild(Node* node) {
    if (!node) return false;
    if (gInsertBudget == 0) return false;
    if (gInsertBudget > 0) --gInsertBudget;
    int32_t count = children_.Count();
    if (!children_.Reserve(count + 1)) return false;
    int32_t v = node->ZOrder();
    int32_t i = 0;
    // A pop-up goes after the children of its own order: pop-ups stand last, drawn on top and
    // picked first by the pen, even over a view of the same order.
    const bool popup = node->IsPopup();
    while (i < count && (children_[i]->ZOrder() > v || (popup && children_[i]->ZOrder() == v))) ++i;
    return children_.Insert(i, &node, 1);
}

void Widget::RemoveChild(Node* node) {
    int32_t i = IndexOf(node);
    if (i >= 0) children_.Remove(i, 1);
}

bool Widget::HandleEvent(InputEvent& event) {
    NodeRef self(this);
    for (int32_t i = hooks_.Count() - 1; i >= 0; --i) {
        if (i >= hooks_.Count()) i = hooks_.Count() - 1;
        if (i < 0) break;
        if (hooks_[i].node->HandleEvent(event)) return true;
        if (!self.IsAlive()) return false;
    }
    Node* f = focusedNode_;
    if (!f) return false;
    Widget* h = f->holder_;
    NodeRef watch(f);
    bool handled = f->HandleEvent(event);
    while (!handled) {
        Node* called = watch.Get();
        if (!called) break;
        Widget* next = called->parent_;
        if (!next || next == h) break;
        watch.Set(next);
        handled = next->HandleEvent(event);
    }
    return handled;
}

void Widget::SetCovered(const Rect& area, bool covered) {
    NodeRef self(this);
    for (int32_t i = 0; self.IsAlive() && i < ChildCount(); ++i) ChildAt(i)->SetCovered(area, covered);
}

void Widget::OnOrientationChanged(int orientation) {
    NodeRef self(this);
    for (int32_t i = 0; self.IsAlive() && i < ChildCount(); ++i)
        ChildAt(i)->OnOrientationChanged(orientation);
}

void Widget::SetActive(bool active) {
    // Over a snapshot: a child may hide and delete itself (a pop-up overlay), which would shift
    // the live array under the loop and skip the next child.
    NodeRef self(this);
    SegArray<NodeRef, 2> children;
    for (int32_t i = 0; i < ChildCount(); ++i)
        if (NodeRef* r = children.AppendNew()) r->Set(ChildAt(i));
    for (int32_t i = 0; self.IsAlive() && i < children.Count(); ++i)
        if (Node* child = children[i].Get()) child->SetActive(active);
}

void Widget::Redraw(const Rect* area) {
    NodeRef self(this);
    for (int32_t i = 0; self.IsAlive() && i < ChildCount(); ++i) {
        Node* child = ChildAt(i);
        if (area && !child->HitTest(*area)) continue;
        child->Redraw(area);
        if (!self.IsAlive()) return;
        AfterRedraw();
    }
}

Rect& Widget::AdjustRect(Rect& out, const Rect& in) {
    Rect r = in;
    for (int32_t i = 0; i < ChildCount(); ++i) {
        Rect next;
        ChildAt(i)->AdjustRect(next, r);
        r = next;
    }
    out = r;
    return out;
}

bool Widget::HitTest(const Rect& area) {
    for (int32_t i = 0; i < ChildCount(); ++i)
        if (ChildAt(i)->HitTest(area)) return true;
    return false;
}

bool Widget::HitTestAfter(Node* child, const Rect& area) {
    int32_t i = IndexOf(child);
    if (i < 0) return false;
    for (++i; i < ChildCount(); ++i)
        if (ChildAt(i)->HitTest(area)) return true;
    return false;
}

bool Widget::SetChildFocus(Node* node, bool gained) {
    if (!node) return false;
    NodeRef self(this);
    NodeRef watch(node);
    if (gained) {
        if (node == this) return false;
        // A node focused in another holder leaves it first.
        if (node->holder_ && node->holder_ != this) {
            node->holder_->SetChildFocus(node, false);
            if (!self.IsAlive() || !watch.IsAlive()) return false;
        }
        node->holder_ = this;
        focusedNode_ = node;
        node->OnFocusChanged(true);
        if (!self.IsAlive() || !watch.IsAlive() || focusedNode_ != node) return false;
        node->focused_ = true;
        if (Widget* p = node->parent_) p->OnChildFocusChanged(node, nullptr, true);
        return self.IsAlive() && watch.IsAlive() && focusedNode_ == node;
    }
    node->OnFocusChanged(false);
    if (watch.IsAlive()) {
        node->focused_ = false;
        if (Widget* p = node->parent_) p->OnChildFocusChanged(node, nullptr, false);
        if (watch.IsAlive() && node->holder_ == this) node->holder_ = nullptr;
    }
    // Only our own record: the callee may have focused another node meanwhile.
    if (self.IsAlive() && focusedNode_ == node) focusedNode_ = nullptr;
    return true;
}

void Widget::OnChildFocusChanged(Node* node, Widget* /*via*/, bool gained) {
    if (parent_ && !parent_->IsFocusScope()) parent_->OnChildFocusChanged(node, this, gained);
}

void Widget::ClearFocus() {
    Node* f = focusedNode_;
    if (!f) return;
    NodeRef self(this);
    NodeRef watch(f);
    SetChildFocus(f, false);
    if (!self.IsAlive() || !watch.IsAlive()) return;
    if (f->IsPopup() && !f->IsShown()) return;
    lastFocused_.Set(f);
}

void Widget::RestoreFocus(Node* except) {
    if (focusedNode_) return;
    Node* node = lastFocused_.Get();
    if (!node) return;
    lastFocused_.Reset();
    if (node == except || node->FocusScope() != this) return;
    if (HasHiddenPopupBetween(node, this)) return;
    SetChildFocus(node, true);
}

bool Widget::FocusChild(Node* node) {
    if (!node) return false;
    Widget* scope = FocusScope();
    Node* modal = nullptr;
    if (scope && scope->focusedNode_ && scope->focusedNode_->IsModal()) modal = scope->focusedNode_;
    // A modal node keeps the focus unless it goes to the modal node's own branch; redirected
    // once, so two modal nodes cannot hand the focus back and forth forever.
    if (modal && modal != node && !modal->IsAncestorOf(node)) return false;
    NodeRef self(this);
    ClearFocus();
    if (!self.IsAlive()) return false;
    return SetChildFocus(node, true);
}

void Widget::BlurChild(Node* node) {
    NodeRef self(this);
    SetChildFocus(node, false);
    if (self.IsAlive()) RestoreFocus(node);
}

Node* Widget::FocusedDescendant() {
    if (focusedNode_) return focusedNode_;
    Widget* scope = FocusScope();
    if (!scope || scope == this) return nullptr;
    Node* d = scope->FocusedDescendant();
    return d && IsAncestorOf(d) ? d : nullptr;
}

Node* Widget::ChildByIndexPath(const SegArray<int32_t>& path) {
    Node* n = this;
    for (int32_t i = 0; i < path.Count(); ++i) {
        Widget* w = n->AsWidget();
        int32_t index = path[i];
        if (!w || index < 0 || index >= w->ChildCount()) return nullptr;
        n = w->ChildAt(index);
    }
    return n;
}

bool Widget::CheckInvariants() const {
    for (int32_t i = 0; i < ChildCount(); ++i) {
        Node* c = ChildAt(i);
        if (c->parent_ != this) return false;
        if (i > 0 && ChildAt(i - 1)->ZOrder() < c->ZOrder()) return false;
        if (Widget* w = c->AsWidget(); w && !w->CheckInvariants()) return false;
    }
    if (focusedNode_ && focusedNode_->holder_ != this) return false;
    return true;
}
