// The cart: a named list of items (an id and a shown text each), exported as XML.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/string.h"

class Cart {
public:
    // More items than this are refused.
    static constexpr int32_t kMaxItems = 1000;

    explicit Cart(const String& name) : name_(name) {}

    const String& Name() const { return name_; }
    int32_t Count() const { return static_cast<int32_t>(ids_.size()); }
    const String& IdAt(int32_t i) const { return ids_[i]; }
    // The shown text: the item's text, else its id.
    const String& ItemText(int32_t i) const { return texts_[i].IsEmpty() ? ids_[i] : texts_[i]; }

    // False for an empty id or a full cart.
    static bool AddItem(Cart* cart, const String& id, const String& text);
    // False (and nothing changes) for an index out of range.
    static bool RemoveItem(Cart* cart, int32_t index);
    static void Clear(Cart* cart);

    // The cart as UTF-8 XML with CR LF line ends:
    //   <?xml version="1.0" encoding="UTF-8"?>
    //   <cart name="N" count="k">
    //     <item index="0" id="ID">TEXT</item>
    //   </cart>
    static bool ToXml(const Cart& cart, std::string& out);
    // Writes the XML, replacing the file through a temporary one; a file that already holds it
    // is left untouched. A path not starting with '\' is placed in the application's data
    // folder.
    static bool WriteXml(const Cart* cart, const String& path);

private:
    String name_;
    std::vector<String> ids_;
    std::vector<String> texts_;
};
