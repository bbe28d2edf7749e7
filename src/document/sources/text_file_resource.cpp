#include "document/sources/text_file_resource.h"

#include <memory>
#include <new>

#include "core/file.h"
#include "core/text.h"
#include "document/location/location.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/plain_text_token_source.h"
#include "document/sources/code_page.h"
#include "document/sources/data_handles.h"
#include "document/sources/layout_services.h"

namespace {

// The code page of a file without a byte-order mark (the document sees a mark itself): an HTML
// file's declared charset, else UTF-8 when the bytes are UTF-8 with at least one character of
// several bytes (plain ASCII reads the same either way), else the code page given.
uint32_t UnmarkedCodePage(File* file, bool html, uint32_t codePage) {
    constexpr uint32_t kBlock = 64 * 1024;
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kBlock]);
    if (!block || !file->Seek(0)) return codePage;
    uint32_t n = file->Read(block.get(), kBlock);
    if (n >= 2 && ((block[0] == 0xFF && block[1] == 0xFE) || (block[0] == 0xFE && block[1] == 0xFF)))
        return codePage;
    if (html) {
        if (uint32_t declared = CodePage::Declared(block.get(), n < 1024 ? n : 1024))
            return declared;
    }
    CodePage::Utf8Check check;
    while (n > 0 && check.Feed(block.get(), n)) n = file->Read(block.get(), kBlock);
    return check.IsUtf8() ? CodePages::kUtf8 : codePage;
}

}  // namespace

TextFileResource* TextFileResource::Create(const Location& location, uint32_t contentKind,
                                           uint32_t codePage, uint32_t requestedCodePage) {
    Text path;
    if (!location.ToFileName(path)) return nullptr;
    std::unique_ptr<File> opened(new (std::nothrow) File(path, File::kOpenForReading));
    if (!opened || !opened->IsOpen()) return nullptr;
    File* file = opened.get();
    TextFileResource* r = new (std::nothrow) TextFileResource(std::move(opened), contentKind);
    if (!r) return nullptr;
    // The title is the file's own name.
    String full, name;
    location.ToString(full, false);
    int32_t cut = full.Length();
    while (cut > 0 && full[cut - 1] != u'\\' && full[cut - 1] != u'/') --cut;
    name.AssignSub(full, cut, full.Length() - cut);
    r->key_ = FileKey(full, file->Size());
    uint32_t length = contentKind == kPictureOrSound ? 0 : 0xFFFFFFFFu;
    // Only the single-byte default is a guess; a code page asked for is kept.
    if (length && codePage == CodePages::kWindows1252)
        codePage = UnmarkedCodePage(file, contentKind == kHtml, codePage);
    r->document_.Open(file, name, codePage, requestedCodePage, false, 0, length);
    r->document_.SetMode(contentKind == kHtml ? 2 : 1);
    return r;
}

TextFileResource::~TextFileResource() {
    document_.Close();
}

DataHandle* TextFileResource::OpenDataByName(const String& /*name*/, const DbValue* base) {
    return OpenDataByIndex(-1, base);
}

DataHandle* TextFileResource::OpenDataByIndex(int32_t /*index*/, const DbValue* /*base*/) {
    if (kind_ != kPictureOrSound) return nullptr;
    if (!handles_.empty()) return RefPtr<DataHandle>(handles_.front()).TakePointer();
    int64_t size = file_->Size();
    if (size < 0 || size > 0xFFFFFFFFll) return nullptr;
    DataHandle* h =
        new (std::nothrow) FileDataHandle(this, file_.get(), 0, static_cast<uint32_t>(size));
    if (!h) return nullptr;
    AddHandle(h);
    return h;
}

namespace {

// What the layout asks of a file: only its key.
class FileLayoutTraits : public BookLayoutTraits {
public:
    explicit FileLayoutTraits(uint32_t key) : key_(key) {}
    bool SourceFlag() override { return true; }
    uint32_t DocumentKey() override { return key_; }
    bool KeyFollowsContent() override { return true; }

private:
    uint32_t key_;
};

}  // namespace

uint32_t TextFileResource::FileKey(const String& location, int64_t size) {
    // FNV-1a over the location's characters and the size. The size is in it so that a file
    // replaced under the same name does not take the old one's notes; the time is not, so that
    // copying the file back keeps them.
    uint32_t h = 2166136261u;
    auto mix = [&h](uint32_t byte) {
        h ^= byte & 0xFF;
        h *= 16777619u;
    };
    for (int32_t i = 0; i < location.Length(); ++i) {
        mix(location[i]);
        mix(static_cast<uint32_t>(location[i]) >> 8);
    }
    uint64_t n = static_cast<uint64_t>(size);
    for (int i = 0; i < 8; ++i) mix(static_cast<uint32_t>(n >> (8 * i)));
    if (h == 0 || h >= 0xFFFFFFFEu) h = 1;
    return h;
}

bool TextFileResource::CreateLayout(TokenSource*& source, PageLayout** layout) {
    TokenSource* ts = nullptr;
    if (kind_ == kHtml || kind_ == kPictureOrSound) {
        auto* html = new (std::nothrow) HtmlTokenizer(true);
        // An HTML file's tables are laid out as a markup book's are: a TABLE needs no INLINE
        // attribute (without one, its rows and cells would be dropped and their texts run
        // together). A TABLE inside a cell is laid out within the cell: left out, its rows
        // would close the outer table and the cell's text would run into the page.
        if (html) {
            html->SetTableNeedsInline(false);
            html->SetNoNestedTable(false);
        }
        ts = html;
    } else
        ts = new (std::nothrow) PlainTextTokenSource();
    // The layout keeps the traits (as it does a book's).
    BookLayoutTraits* traits = layout ? new (std::nothrow) FileLayoutTraits(key_) : nullptr;
    return LayoutEngineFactory::FinishLayout(ts, &document_, traits, true, source, layout);
}

void TextFileResource::DestroyLayout(TokenSource* source, PageLayout* layout) {
    LayoutEngineFactory::DestroyLayout(source, layout);
}
