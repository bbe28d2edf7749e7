// A page of markup in memory with its tokenizer, which tests move to the n-th start tag of an
// element (as the page layout stands on it when it builds a form control).
#pragma once

#include <cstdint>
#include <string>

#include "document/markup/attribute_value.h"
#include "document/markup/html_tokenizer.h"
#include "support/document/memory_document.h"

struct MarkupPage {
    // The text goes inside "<html><body>", which the tokenizer needs to read markup.
    explicit MarkupPage(const std::u16string& body) : doc(u"<html><body>" + body) {
        AttributeValue::Install();
        tokens.Attach(&doc, 0);
        tokens.Start(0, false);
    }
    // Leaves the tokenizer on the n-th (0-based) start tag `id`; its position goes to `at`.
    bool To(uint32_t id, int n, uint32_t* at = nullptr) {
        tokens.Start(0, false);
        for (int guard = 0; guard < 100000; ++guard) {
            uint32_t k = tokens.NextToken();
            if (k == kTokenEnd) return false;
            bool e = false, m = false;
            if (k != kTokenTag || tokens.GetTag(e, m) != id || e || n-- > 0) continue;
            uint32_t p = 0;
            tokens.GetPosition(p);
            if (at) *at = p;
            return true;
        }
        return false;
    }

    MemoryDocument doc;
    HtmlTokenizer tokens{true};
};
