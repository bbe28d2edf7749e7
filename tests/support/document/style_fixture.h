// Tags pushed onto an element stack as the page layout does it: the element's state computed
// from its parent's (the base below the bottom entry), then the entry pushed with it.
#pragma once

#include "document/markup/element_stack.h"
#include "document/markup/render_state.h"
#include "document/markup/token_source.h"

inline bool PushAsLayout(ElementStack& stack, TokenSource& source, const DocumentDefaults& defaults,
                         RenderState& base) {
    bool isEnd = false, isEmpty = false;
    source.GetTag(isEnd, isEmpty);
    RenderState state;
    if (!isEnd && !isEmpty) {
        RenderState* parent = stack.GetRecordAtDepth(0);
        bool isBlock, textChanged, boxChanged, linkChanged;
        RenderState::FromElement(source, defaults, parent ? *parent : base, state, isBlock,
                                 textChanged, boxChanged, linkChanged);
    }
    return stack.Push(source, state);
}
