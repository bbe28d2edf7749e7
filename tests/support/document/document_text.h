// The whole text of a document source, read page by page as the tokenizer reads it (every page
// given back).
#pragma once

#include <string>

#include "bookfiles/document_source.h"

inline std::u16string DocumentText(DocumentSource& document) {
    std::u16string out;
    for (uint32_t pos = 0; pos < document.GetLength();) {
        PageBuffer page;
        if (!document.ReadPage(pos, page, 0, 0)) break;
        uint32_t skip = pos - page.start;
        if (skip < page.length) out.append(page.text + skip, page.length - skip);
        uint32_t next = page.start + page.length;
        document.ReleasePage(page.pageId);
        if (next <= pos) break;
        pos = next;
    }
    return out;
}
