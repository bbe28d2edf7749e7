// The reader's generated pages behind "oeb:cart" locations: the cart page (the items of the
// cart with links to remove them, to empty the cart and to compute interactions) and the
// interactions page (the interactions found between the cart's drugs in an interactions book,
// each linked to its detailed entry). Both are written by the page writer from string-resource
// templates and opened as books.
//
// Texts that come from carts, titles and books are escaped where they are written: as HTML
// text, and inside onclick scripts as single-quoted script strings, then as attribute text.
#pragma once

#include <cstdint>

#include "bookfiles/sorted_record_database.h"
#include "database/cart.h"
#include "document/sources/page_writer.h"

class InteractionSearch;

// The cart the form-data store keeps (one for the whole reader, made with the first name
// asked for).
class CartStore : public FormCart {
public:
    explicit CartStore(const String& name) : cart_(name) {}
    Cart& GetCart() { return cart_; }
    // Installs CartStore as the form-data store's cart.
    static void Register();
    // The store's cart, made on first use; null without a store.
    static Cart* From(SortedRecordDatabase* store, const String& name);

private:
    Cart cart_;
};

// Template string ids.
enum PageTemplate : uint32_t {
    kPageStart = 5265,
    kPageEntryEnd = 5266,
    kNoInteractions = 5267,
    kPageNavigation = 5461,
    kPageEnd = 5462,
    kCartCount = 5463,
    kCartEmpty = 5464,
    kComputeLabel = 5465,
    kCartSubmit = 5466,
    kCartItem = 5467,
    kDeleteAllLabel = 5468,
    kCartReset = 5469,
    kCartTip = 5470,
    kInteractionCount = 5471,
    kListStart = 5472,
    kInteractionLink = 5473,
    kListEnd = 5474,
    kInteractionEntry = 5475,
};

class CartPage : public PageWriter {
public:
    static constexpr uint32_t kBookType = 774;
    static constexpr uint32_t kRemoveIcon = 235;
    // The failed flag; the page is finished on success.
    bool WriteBody(const Text& path, const Cart& cart, const String& title);
};

class InteractionsPage : public PageWriter {
public:
    static constexpr uint32_t kBookType = 775;
    static constexpr uint32_t kEntryIcon = 236;
    bool WriteBody(const Text& path, const InteractionSearch& search, const String& title);
};

namespace PageText {
// The text as HTML character data (and attribute text): '"', '<', '>' and '&' as references.
bool HtmlEncode(const String& in, String& out);
// The text inside a single-quoted script string that stands in an HTML attribute.
bool ScriptStringInAttribute(const String& in, String& out);
}  // namespace PageText
