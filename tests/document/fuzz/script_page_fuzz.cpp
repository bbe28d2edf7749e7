// Feeds arbitrary text to the script-page compiler and, cut into chunks, to a generated page.
// The compiler ends on every input; a page that compiled has one Write call per literal and
// keeps the literal's line breaks in the script. The generated page gives back exactly the
// chunks' text from every position, with page ids that are never 0 and never reach the
// underlying document's range.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "document/sources/generated_page.h"
#include "document/sources/script_pages.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

class Chunks : public PageProducer {
public:
    explicit Chunks(std::vector<String> chunks) : chunks_(std::move(chunks)) {}
    const String& GetTitle() override { return title_; }
    bool Produce(std::vector<String>& out) override {
        if (next_ >= chunks_.size()) return false;
        out.push_back(chunks_[next_++]);
        return next_ < chunks_.size();
    }

private:
    std::vector<String> chunks_;
    size_t next_ = 0;
    String title_;
};

int32_t Count(const String& s, const char16_t* what, int32_t n) {
    int32_t count = 0;
    for (int32_t at = s.Find(what, n, 0); at < s.Length(); at = s.Find(what, n, at + n)) ++count;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Bytes as Latin-1 characters, so that "<%" and "%>" come up often.
    std::u16string text(data, data + size);
    String page(text.data(), static_cast<int32_t>(text.size()));

    ScriptPageCompiler compiler;
    if (compiler.CompileText(page)) {
        const String& script = compiler.GetScript();
        Check(compiler.LanguageAccepted());
        Check(Count(script, u"Response.Write (__litteralstr ", 30) >=
              static_cast<int32_t>(compiler.Literals().size()));
        int32_t breaks = 0;
        for (const String& l : compiler.Literals()) breaks += l.CountChar(u'\n');
        Check(Count(script, u"\r\n", 2) >= breaks);
    }

    // Chunks cut at every 0x01 byte, produced one by one.
    std::vector<String> chunks;
    std::u16string joined, current;
    for (char16_t c : text) {
        if (c == 1) {
            chunks.emplace_back(current.data(), static_cast<int32_t>(current.size()));
            joined += current;
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    chunks.emplace_back(current.data(), static_cast<int32_t>(current.size()));
    joined += current;
    GeneratedPage* generated = GeneratedPage::Create();
    generated->Attach(new Chunks(std::move(chunks)), nullptr, size % 2 == 0);
    std::u16string read;
    for (uint32_t pos = 0;;) {
        PageBuffer b;
        if (!generated->ReadPage(pos, b, 0, 0)) break;
        Check(b.pageId != 0 && b.pageId <= GeneratedPage::kMaxChunks);
        Check(b.start == pos && b.length > 0);
        read.append(b.text, b.length);
        pos = b.start + b.length;
        generated->ReleasePage(b.pageId);
    }
    Check(read == joined);
    Check(generated->GetLength() == joined.size());
    generated->QueryNumber(2);  // the header scan ends too
    delete generated;
    return 0;
}
