#include "database/interaction_search.h"

#include <algorithm>
#include <new>

#include "database/cart.h"

int InteractionSearch::Lookup(IndexSource* drugs, IndexSource* classes, IndexSource* texts) {
    Clear();
    if (!drugs || !classes || !texts) return 1;
    IndexSource* t[3] = {drugs, classes, texts};
    for (int i = 0; i < 3; ++i) tables_[i].Assign(t[i]);
    return 0;
}

void InteractionSearch::Clear() {
    for (RefPtr<IndexSource>& t : tables_) t.Reset();
    results_.clear();
}

int32_t InteractionSearch::Run(bool& error) {
    error = false;
    results_.clear();
    if (!cart_ || !tables_[0]) {
        error = true;
        return 0;
    }
    try {
        // The drug entry of each item, by exact key; unknown items are skipped.
        std::vector<uint32_t> drugs;
        String key;
        for (int32_t i = 0; i < cart_->Count(); ++i) {
            const String& id = cart_->IdAt(i);
            int32_t e = tables_[0]->LowerBound(id);
            if (e >= 0 && tables_[0]->Key(static_cast<uint32_t>(e), key) && key == id)
                drugs.push_back(static_cast<uint32_t>(e));
        }
        std::vector<uint32_t> classesI, classesJ, interactions, pair;
        for (size_t i = 0; i < drugs.size(); ++i) {
            for (size_t j = i + 1; j < drugs.size(); ++j) {
                if (!tables_[0]->TagValues(drugs[i], tags_.drugClasses, classesI) ||
                    !tables_[0]->TagValues(drugs[j], tags_.drugClasses, classesJ))
                    continue;
                for (uint32_t c1 : classesI) {
                    if (!tables_[1]->TagValues(c1, tags_.classInteractions, interactions)) continue;
                    for (uint32_t c2 : classesJ) {
                        for (uint32_t text : interactions) {
                            if (!tables_[2]->TagValues(text, tags_.interactionClasses, pair) ||
                                pair.size() < 2)
                                continue;
                            bool match = (pair[0] == c1 && pair[1] == c2) ||
                                         (pair[0] == c2 && pair[1] == c1);
                            if (!match) continue;
                            bool seen =
                                std::any_of(results_.begin(), results_.end(), [&](const Result& r) {
                                    return r.drug1 == drugs[i] && r.drug2 == drugs[j] &&
                                           r.text == text;
                                });
                            if (!seen) results_.push_back({drugs[i], drugs[j], c1, c2, text});
                        }
                    }
                }
            }
        }
    } catch (const std::bad_alloc&) {
        results_.clear();
        error = true;
    }
    return ResultCount();
}
