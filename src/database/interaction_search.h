// The multi-index search of an interactions book: for the drugs of a cart, every interaction
// between the classes of two of them. Three index tables take part: drugs (keyed by the cart
// item ids), classes and interaction texts.
#pragma once

#include <cstdint>
#include <vector>

#include "database/index_query.h"

class Cart;

class InteractionSearch {
public:
    // The tags that link the tables; the book format fixes them, so they are settable.
    struct Tags {
        uint32_t drugClasses = 30;         // drug entry -> class entries
        uint32_t classInteractions = 31;   // class entry -> interaction entries
        uint32_t interactionClasses = 32;  // interaction entry -> its two class entries
    };
    // Entry numbers: first drug, second drug, class of each, interaction text.
    struct Result {
        uint32_t drug1, drug2, class1, class2, text;
    };

    InteractionSearch() = default;
    ~InteractionSearch() { Clear(); }
    InteractionSearch(const InteractionSearch&) = delete;
    InteractionSearch& operator=(const InteractionSearch&) = delete;

    // Takes the three tables (a reference each); non-zero when any is missing.
    int Lookup(IndexSource* drugs, IndexSource* classes, IndexSource* texts);
    void SetCart(const Cart* cart) { cart_ = cart; }
    void SetTags(const Tags& tags) { tags_ = tags; }
    // Computes the results in cart order; error is set without tables or cart, or when memory
    // runs out. No interaction is not an error.
    int32_t Run(bool& error);
    // Lets the tables and the results go.
    void Clear();

    int32_t ResultCount() const { return static_cast<int32_t>(results_.size()); }
    const Result& ResultAt(int32_t i) const { return results_[i]; }
    IndexSource* Table(int i) const { return tables_[i].Get(); }

private:
    RefPtr<IndexSource> tables_[3];
    const Cart* cart_ = nullptr;
    Tags tags_;
    std::vector<Result> results_;
};
