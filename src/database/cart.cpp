#include "database/cart.h"

#include <new>

#include "bookfiles/database_file.h"
#include "core/file.h"
#include "core/text.h"
#include "platform/kernel/wide.h"

namespace {

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
void AppendUtf8(std::string& out, const String& s) {
    fvt::AppendUtf8(out, std::u16string_view(s.Data(), static_cast<size_t>(s.Length())));
}

void AppendEscaped(std::string& out, const String& s) {
    std::string raw;
    AppendUtf8(raw, s);
    for (char c : raw) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += c;
        }
    }
}

}  // namespace

bool Cart::AddItem(Cart* cart, const String& id, const String& text) {
    if (!cart || id.IsEmpty() || cart->Count() >= kMaxItems) return false;
    try {
        cart->ids_.push_back(id);
        cart->texts_.push_back(text);
    } catch (const std::bad_alloc&) {
        cart->texts_.resize(cart->ids_.size() > cart->texts_.size() ? cart->texts_.size()
                                                                    : cart->ids_.size());
        cart->ids_.resize(cart->texts_.size());
        return false;
    }
    return true;
}

bool Cart::RemoveItem(Cart* cart, int32_t index) {
    if (!cart || index < 0 || index >= cart->Count()) return false;
    cart->ids_.erase(cart->ids_.begin() + index);
    cart->texts_.erase(cart->texts_.begin() + index);
    return true;
}

void Cart::Clear(Cart* cart) {
    if (!cart) return;
    cart->ids_.clear();
    cart->texts_.clear();
}

bool Cart::ToXml(const Cart& cart, std::string& out) {
    try {
        out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<cart name=\"";
        AppendEscaped(out, cart.name_);
        out += "\" count=\"" + std::to_string(cart.Count()) + "\">\r\n";
        for (int32_t i = 0; i < cart.Count(); ++i) {
            out += "  <item index=\"" + std::to_string(i) + "\" id=\"";
            AppendEscaped(out, cart.ids_[i]);
            out += "\">";
            AppendEscaped(out, cart.ItemText(i));
            out += "</item>\r\n";
        }
        out += "</cart>\r\n";
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool Cart::WriteXml(const Cart* cart, const String& path) {
    if (!cart || path.IsEmpty()) return false;
    std::string target;
    if (path[0] != u'\\') {
        Text folder;
        String wide;
        if (!GetAppDataFolder(folder) || !folder.ToWide(wide)) return false;
        AppendUtf8(target, wide);
        if (target.empty() || target.back() != '\\') target += '\\';
    }
    AppendUtf8(target, path);
    std::string xml;
    if (!ToXml(*cart, xml)) return false;
    // A book may export on every visit of a page: an unchanged cart leaves the file alone.
    return DatabaseFile::ReplaceIfChanged(target.c_str(),
                                          reinterpret_cast<const uint8_t*>(xml.data()), xml.size());
}
