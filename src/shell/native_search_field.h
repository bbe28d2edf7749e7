// The record-set pages' search field as the window's native edit control: made when the page is
// shown over its window, placed on the page's field box, its keys and change notices passed to
// the page's node.
#pragma once

#include <memory>

#include "reader/database_view.h"
#include "reader/record_requests.h"

class NativeSearchFields final : public SearchFieldFactory {
public:
    // Null when the owner is not on a window's drawing surface.
    std::unique_ptr<SearchField> MakeSearchField(Node* owner) override;
};
