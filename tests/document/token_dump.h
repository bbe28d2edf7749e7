// Reads a token source to the end into a compact readable form: "<P>", "</P>", "<BR/>",
// "'word'", "_" for a space, "+" for Continue, "~" for a non-joiner, ending with "$".
#pragma once

#include <string>

#include "document/markup/keyword_tree.h"
#include "document/markup/token_source.h"

inline std::string Narrow(const String& s) {
    std::string r;
    for (int32_t i = 0; i < s.Length(); ++i) {
        char16_t c = s[i];
        if (c < 128) r.push_back(static_cast<char>(c));
        else r += "\\u" + std::to_string(static_cast<unsigned>(c));
    }
    return r;
}

inline std::string TagName(uint32_t id);

inline std::string DumpTokens(TokenSource& ts, bool showContinue = false, int maxTokens = 100000) {
    std::string out;
    for (int i = 0; i < maxTokens; ++i) {
        uint32_t k = ts.NextToken();
        switch (k) {
            case kTokenEnd:
                return out + "$";
            case kTokenText:
                out += "'" + Narrow(ts.Text()) + "'";
                break;
            case kTokenSpace:
                out += "_";
                break;
            case kTokenContinue:
                if (showContinue) out += "+";
                break;
            case kTokenNonJoiner:
                out += "~";
                break;
            case kTokenTag: {
                bool e, m;
                uint32_t id = ts.GetTag(e, m);
                out += std::string("<") + (e ? "/" : "") + TagName(id) + (m ? "/" : "") + ">";
                break;
            }
            default:
                out += "?";
        }
    }
    return out + "!";  // did not end
}

inline std::string TagName(uint32_t id) {
    // Names by id, found by walking the markup tree once.
    static std::string names[kMarkupIdMax + 1];
    static bool filled = false;
    if (!filled) {
        filled = true;
        const KeywordTree& t = KeywordTree::MarkupTree();
        struct Walker {
            const KeywordTree& t;
            void Visit(int32_t i, const std::string& prefix) {
                const KeywordNode& n = t.nodes[i];
                if (n.less) Visit(i + n.less, prefix);
                if (n.greater) Visit(i - n.greater, prefix);
                std::string here = prefix + static_cast<char>(n.character);
                if (n.id && n.id < kMarkupIdMax + 1) names[n.id] = here;
                if (n.next) Visit(i + n.next, here);
            }
        } w{t};
        w.Visit(t.root, "");
    }
    return id < kMarkupIdMax + 1 ? names[id] : "#" + std::to_string(id);
}
