#include "database/cart.h"

#include <new>

#include "bookfiles/database_file.h"
#include "core/file.h"
#include "core/text.h"

namespace {

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
void AppendUtf8(std::string& out, const String& s) {
    for (int32_t i = 0; i < s.Length(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.Length() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00u);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
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
