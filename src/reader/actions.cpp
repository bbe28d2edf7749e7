#include "reader/actions.h"

namespace Actions {

namespace {
const Commands::MenuCommand* TableOf(Bar bar, std::size_t& count) {
    switch (bar) {
        case kReaderBar:
            count = Commands::kReaderMenuCount;
            return Commands::kReaderMenu;
        case kAudioBar:
            count = Commands::kAudioMenuCount;
            return Commands::kAudioMenu;
        case kZoomBar:
            count = Commands::kZoomMenuCount;
            return Commands::kZoomMenu;
    }
    count = 0;
    return nullptr;
}
}  // namespace

const Action* FindByName(std::string_view name) {
    for (const Action& a : kTable)
        if (name == a.name) return &a;
    return nullptr;
}

bool CanAct(const Action& action, ActionState& state) {
    if (!state.IsCommandEnabled(action.id)) return false;
    switch (action.canAct) {
        case CanActKind::kWhenEnabled:
            return true;
        case CanActKind::kNotOnFirstPage:
            return state.CurrentPage() != 1;
        case CanActKind::kNotOnLastPage: {
            // The count is an estimate until the last page is laid out.
            const int32_t page = state.CurrentPage();
            return !(state.IsPageCountKnown() && page >= 1 && page == state.PageCount());
        }
    }
    return false;
}

bool CanAct(int32_t id, ActionState& state) {
    const Action* action = Find(id);
    return action ? CanAct(*action, state) : state.IsCommandEnabled(id);
}

int32_t CommandForItem(Bar bar, uint32_t item) {
    std::size_t count = 0;
    const Commands::MenuCommand* table = TableOf(bar, count);
    return table ? Commands::CommandForMenuItem(table, count, item) : -1;
}

std::size_t ItemsFor(Bar bar, int32_t id, uint32_t* items, std::size_t max) {
    std::size_t count = 0, n = 0;
    const Commands::MenuCommand* table = TableOf(bar, count);
    for (std::size_t i = 0; i < count && n < max; ++i)
        if (table[i].command == id) items[n++] = table[i].item;
    return n;
}

}  // namespace Actions
