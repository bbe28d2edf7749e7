#include "reader/frame_sets.h"

#include <memory>
#include <new>

#include "document/markup/attribute_value.h"
#include "document/markup/link_target.h"
#include "document/markup/token_source.h"

namespace FrameSets {

bool IsFrameNode(uint16_t flags) {
    uint16_t kind = flags & kKindMask;
    return kind == 0x0002 || kind == 0x0006;
}

bool IsKeyHandlerNode(uint16_t flags) {
    return (flags & kKindMask) == kKeyHandlerKind;
}

namespace {

bool Push(std::vector<FrameSetNode>& nodes, FrameSetNode&& node) {
    try {
        nodes.push_back(std::move(node));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Visits the children of the cursor's node, entering active ones only.
bool Walk(PackedTree cursor, int32_t depth, std::vector<FrameSetNode>& nodes, int32_t& budget) {
    if (depth >= Frame::kMaxDepth || !cursor.Descend()) return false;
    for (;;) {
        // A child block that lies about its length can make the walk revisit nodes.
        if (--budget < 0) return false;
        FrameSetNode node;
        node.flags = cursor.GetFlags();
        if (!cursor.GetHeader(&node.size, &node.unit, nullptr) || !cursor.GetText(node.name))
            return false;
        node.payload = cursor.Payload();
        node.depth = depth;
        node.active = IsFrameNode(node.flags);
        bool enter = node.active && (node.flags & PackedTree::kHasChildren) != 0;
        if (!Push(nodes, std::move(node))) return false;
        if (enter && !Walk(cursor, depth + 1, nodes, budget)) return false;
        if (cursor.remaining <= 1) return true;
        if (!cursor.Next()) return false;
    }
}

}  // namespace

bool PrepareFrameNodes(PackedTree root, std::vector<FrameSetNode>& nodes) {
    nodes.clear();
    int32_t budget = 1024;
    if (!Walk(root, 0, nodes, budget)) return false;
    // A later frame that repeats an earlier frame's name is dropped.
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (!nodes[i].active || nodes[i].name.IsEmpty()) continue;
        for (size_t j = 0; j < i; ++j) {
            if (nodes[j].active && nodes[j].name == nodes[i].name) {
                nodes[i].active = false;
                break;
            }
        }
    }
    // Nothing below an inactive node becomes a frame.
    std::vector<bool> open;
    for (FrameSetNode& node : nodes) {
        open.resize(static_cast<size_t>(node.depth));
        bool parentActive = true;
        for (bool b : open) parentActive = parentActive && b;
        if (!parentActive) node.active = false;
        open.push_back(node.active);
    }
    return true;
}

std::vector<uint32_t> FramePositions(const std::vector<FrameSetNode>& nodes) {
    std::vector<uint32_t> positions;
    for (const FrameSetNode& node : nodes) {
        if (node.active && !(node.flags & PackedTree::kHasChildren) && node.payload != 0)
            positions.push_back(node.payload);
    }
    return positions;
}

std::vector<int32_t> MatchSpares(const std::vector<uint32_t>& positions,
                                 const std::vector<int64_t>& spares) {
    std::vector<int32_t> match(spares.size(), -1);
    std::vector<bool> taken(positions.size(), false);
    size_t filled = 0;
    for (size_t s = spares.size(); s-- > 0 && filled < positions.size();) {
        for (size_t j = 0; j < positions.size(); ++j) {
            // Two frames at one position: the second spare takes the second place.
            if (!taken[j] && spares[s] == static_cast<int64_t>(positions[j])) {
                taken[j] = true;
                match[s] = static_cast<int32_t>(j);
                ++filled;
                break;
            }
        }
    }
    return match;
}

}  // namespace FrameSets

bool ReadKeyHandlerLinks(TokenSource& source, uint32_t limit, std::vector<KeyHandlerLink>& out) {
    // A source that only ever continues must not hold the reader.
    constexpr uint32_t kMaxTokens = 1u << 20;
    int64_t open = -1;
    try {
        for (uint32_t n = 0; n < kMaxTokens; ++n) {
            uint32_t position = 0;
            if (source.GetPosition(position) && position >= limit) break;
            uint32_t kind = source.NextToken();
            if (kind == kTokenEnd) break;
            if (kind == kTokenText || kind == kTokenSpace) {
                if (open < 0) continue;
                String& text = out[static_cast<size_t>(open)].text;
                if (kind == kTokenText)
                    text.Append(source.Text());
                else
                    text.AppendChar(u' ');
                continue;
            }
            if (kind != kTokenTag) continue;
            bool isEnd = false, isEmpty = false;
            if (source.GetTag(isEnd, isEmpty) != kTagA) continue;
            if (isEnd) {
                open = -1;
                continue;
            }
            if (isEmpty) continue;
            KeyHandlerLink link;
            if (!LinkTarget::FromElement(source, link.target)) return false;
            if (!link.target) continue;  // no action: nothing to run
            uint32_t language = 0;
            link.hasLanguage = source.GetAttributeValue(kAttrLang, language);
            link.language = language;
            out.push_back(std::move(link));
            open = static_cast<int64_t>(out.size() - 1);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void SelectKeyHandlers(const std::vector<KeyHandlerLink>& links, uint32_t programLanguage,
                       std::vector<RefPtr<LinkTarget>>& handlers, std::vector<String>& texts) {
    uint32_t program = programLanguage & 1023;
    uint32_t first = 0;
    std::vector<const KeyHandlerLink*> firstLinks;
    for (const KeyHandlerLink& link : links) {
        if (!link.target) continue;
        bool forProgram = !link.hasLanguage;
        bool forFirst = false;
        if (link.hasLanguage) {
            uint32_t language = link.language & 1023;
            forProgram = language == program;
            if (first == 0) first = language;
            forFirst = language == first;
        }
        if (forProgram) {
            handlers.push_back(link.target);
            texts.push_back(link.text);
        } else if (forFirst) {
            firstLinks.push_back(&link);
        }
    }
    for (const KeyHandlerLink* link : firstLinks) {
        bool named = false;
        for (const RefPtr<LinkTarget>& h : handlers) named = named || h->name == link->target->name;
        if (named) continue;
        handlers.push_back(link->target);
        texts.push_back(link->text);
    }
}

using namespace FrameSets;

FrameSet::FrameSet(FrameSetHost* host) : host_(host) {
    root_.SetListener(this);
}

FrameSet::~FrameSet() {
    Detach();
    CloseFrameControllers();
}

bool FrameSet::AddMainFrame() {
    Node* own = host_->OwnWindowPart();
    if (!own) return false;
    String name;
    name.AppendAscii("_main");
    host_->SetOwnFrameOptions();
    return root_.AddChild(own, name, 1, FrameEntry::kShare, false, true, false);
}

void FrameSet::Detach() {
    root_.DetachAll();
}

void FrameSet::CloseFrameControllers() {
    std::vector<FrameSetController*> spares;
    spares.swap(spares_);
    for (FrameSetController* c : spares) host_->ReleaseFrameController(c);
}

FrameSetController* FrameSet::ControllerOf(Node* part) {
    for (size_t i = 0; i < placed_.size(); ++i) {
        if (placed_[i]->WindowPart() == part) {
            FrameSetController* c = placed_[i];
            placed_.erase(placed_.begin() + static_cast<std::ptrdiff_t>(i));
            return c;
        }
    }
    return nullptr;
}

void FrameSet::OnFrameRemoved(FrameEntry&, Node* child, bool isFrameset) {
    if (isFrameset) {
        // A nested frame set is the set's own (AddFrames made it).
        std::unique_ptr<Frame> gone(static_cast<Frame*>(child));
        return;
    }
    // A window part belongs to its controller: the controller is kept, never the part deleted.
    FrameSetController* c = ControllerOf(child);
    if (!c) return;
    try {
        spares_.push_back(c);
    } catch (const std::bad_alloc&) {
        host_->ReleaseFrameController(c);
    }
}

bool FrameSet::AssignFrameControllers(const std::vector<uint32_t>& positions,
                                      std::vector<FrameSetController*>& places) {
    places.assign(positions.size(), nullptr);
    std::vector<int64_t> at;
    for (FrameSetController* c : spares_) {
        uint32_t p = 0;
        bool known = c->ShowsOwnerDocument() && c->GetFramePosition(p);
        at.push_back(known ? static_cast<int64_t>(p) : -1);
    }
    std::vector<int32_t> match = MatchSpares(positions, at);
    std::vector<FrameSetController*> unmatched;
    for (size_t s = spares_.size(); s-- > 0;) {
        if (match[s] >= 0) {
            places[static_cast<size_t>(match[s])] = spares_[s];
            spares_[s]->GoFirstPage();
        } else {
            unmatched.push_back(spares_[s]);
        }
    }
    spares_.clear();
    bool ok = true;
    for (size_t k = 0; k < places.size() && ok; ++k) {
        if (places[k]) continue;
        FrameSetController* c = nullptr;
        if (!unmatched.empty()) {
            c = unmatched.back();
            unmatched.pop_back();
        } else {
            c = host_->CreateFrameController();
        }
        if (!c) {
            ok = false;
            break;
        }
        places[k] = c;
        ok = host_->OpenFrameDocument(c, positions[k]);
    }
    for (FrameSetController* c : unmatched) host_->ReleaseFrameController(c);
    if (!ok) {
        for (FrameSetController*& c : places) {
            if (c) host_->ReleaseFrameController(c);
            c = nullptr;
        }
    }
    return ok;
}

bool FrameSet::AddFrames(Frame& parent, const std::vector<FrameSetNode>& nodes, size_t& i,
                         int32_t depth, std::vector<FrameSetController*>& places, size_t& next) {
    while (i < nodes.size() && nodes[i].depth == depth) {
        const FrameSetNode& node = nodes[i++];
        bool hasChildren = (node.flags & PackedTree::kHasChildren) != 0;
        if (!node.active) {
            while (i < nodes.size() && nodes[i].depth > depth) ++i;
            continue;
        }
        if (hasChildren) {
            auto made = std::make_unique<Frame>();
            made->SetRows((node.flags & kRows) != 0);
            made->SetListener(this);
            if (!parent.AddChild(made.get(), node.name, node.size, node.unit, true, false, false))
                return false;
            // The parent's entry holds it now; OnFrameRemoved deletes it.
            Frame* nested = made.release();
            if (!AddFrames(*nested, nodes, i, depth + 1, places, next)) return false;
            continue;
        }
        bool measured = (node.flags & kMeasured) != 0;
        if (node.payload == 0) {
            // The own window part fits one frame; later frames asking for it are left out.
            if (ownPlaced_) continue;
            Node* own = host_->OwnWindowPart();
            if (!own) return false;
            host_->SetOwnFrameOptions();
            if (!parent.AddChild(own, node.name, node.size, node.unit, false, true, measured))
                return false;
            ownPlaced_ = true;
            continue;
        }
        if (next >= places.size() || !places[next]) return false;
        FrameSetController* c = places[next];
        places[next++] = nullptr;
        c->SetFrameOptions(1, (node.flags & kOption) != 0 ? 1 : 0);
        Node* part = c->WindowPart();
        bool added = false;
        try {
            placed_.push_back(c);
            added = part &&
                    parent.AddChild(part, node.name, node.size, node.unit, false, false, measured);
            if (!added) placed_.pop_back();
        } catch (const std::bad_alloc&) {
        }
        if (!added) {
            host_->ReleaseFrameController(c);
            return false;
        }
    }
    return true;
}

bool FrameSet::Build(PackedTree root) {
    root_.DetachAll();
    root_.SetRows((root.GetFlags() & kRows) != 0);
    std::vector<FrameSetNode> nodes;
    if (!PrepareFrameNodes(root, nodes)) return false;
    for (const FrameSetNode& node : nodes) {
        if (IsKeyHandlerNode(node.flags)) host_->CollectKeyHandlers(node.payload);
    }
    bool any = false;
    for (const FrameSetNode& node : nodes) any = any || node.active;
    if (!any) return false;
    std::vector<FrameSetController*> places;
    if (!AssignFrameControllers(FramePositions(nodes), places)) return false;
    size_t i = 0, next = 0;
    ownPlaced_ = false;
    bool ok = AddFrames(root_, nodes, i, 0, places, next);
    for (FrameSetController* c : places) {
        if (c) host_->ReleaseFrameController(c);
    }
    if (!ok) root_.DetachAll();
    CloseFrameControllers();
    return ok;
}

bool FrameSet::Update(bool found, bool changed, const PackedTree& root) {
    if (found && !changed) return false;
    Detach();
    if (found && Build(root)) return true;
    Detach();
    CloseFrameControllers();
    AddMainFrame();
    return true;
}
