// Runs arbitrary script pages the way a book's served page runs: compiled, then run with the
// page objects (Response, Request, Server) against a short instruction budget, redirects to
// the page itself included. Whatever the text: the serving ends, a page is given or an error
// code is, a redirect elsewhere gives no page, and the page given reads back to its end with
// every page buffer released.
#include <cstddef>
#include <cstdint>
#include <string>

#include "database/resource.h"
#include "document/location/location.h"
#include "document/sources/script_pages.h"
#include "script/script_engine.h"
#include "support/document/memory_document.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

// A container whose document is the page's text.
class PageText : public Resource {
public:
    explicit PageText(std::u16string text) : doc_(std::move(text), 512) {}
    bool IsBinary() override { return false; }
    DataHandle* OpenDataByIndex(int32_t, const DbValue*) override { return nullptr; }
    DocumentSource* GetDocument() override { return &doc_; }
    bool CreateLayout(TokenSource*& source, PageLayout** layout) override {
        source = nullptr;
        if (layout) *layout = nullptr;
        return false;
    }
    void DestroyLayout(TokenSource*, PageLayout*) override {}
    uint32_t GetKind() override { return 0; }

private:
    MemoryDocument doc_;
};

// Reads the whole served page; false when a page is missing or makes no progress.
bool ReadsToItsEnd(DocumentSource* document) {
    const uint32_t length = document->GetLength();
    for (uint32_t at = 0; at < length;) {
        PageBuffer page;
        if (!document->ReadPage(at, page, 0, 0)) return false;
        const uint32_t next = page.start + page.spanLength;
        Check(page.pageId != 0);
        document->ReleasePage(page.pageId);
        if (next <= at) return false;
        at = next;
    }
    return true;
}

constexpr const char* kDirective = "<%@Language=Javascript%>";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A loop spends its budget in a few milliseconds, a run to the end of a page's script does
    // not come near it.
    ScriptContext::defaultInstructionBudget = 20000;
    // The full stack's set-up cost more than most runs; calls as deep as the depth limit allows
    // still fit, deeper ones fail as too deep.
    ScriptContext::defaultStackSlots = 4096;
    // Bytes as Latin-1 characters after the directive (unless the first byte asks to leave it
    // out), so that "<%", "%>" and script come up often.
    std::u16string text;
    if (size > 0 && (data[0] & 1) == 0)
        for (const char* c = kDirective; *c; ++c) text.push_back(static_cast<char16_t>(*c));
    for (size_t i = 1; i < size; ++i) text.push_back(static_cast<char16_t>(data[i]));
    auto* container = new PageText(text);
    Location location;
    Check(location.Resolve(String(u"\\b\\s.prc\\page.asp?a=1&b=x"), nullptr));
    bool redirected = false;
    int error = -1;
    Resource* page = ScriptPages::ServeScriptPage(container, location, ScriptPages::kPageText, 0,
                                                  static_cast<uint32_t>(text.size()), redirected,
                                                  error);
    if (page) {
        DocumentSource* document = page->GetDocument();
        Check(document != nullptr);
        Check(ReadsToItsEnd(document));
        page->Release();
    } else {
        // No page: a redirect elsewhere, or a failure that says why.
        Check(redirected || error != 0);
    }
    container->Release();
    return 0;
}
