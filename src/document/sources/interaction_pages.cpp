#include "document/sources/interaction_pages.h"

#include <new>
#include <string>

#include "bookfiles/configuration_store.h"
#include "core/code_pages.h"
#include "core/html.h"
#include "core/resources.h"
#include "core/text.h"
#include "database/book_index_source.h"
#include "database/interaction_search.h"
#include "document/sources/book_resource.h"
#include "document/sources/document_loader.h"
#include "paths/app_paths.h"
#include "script/script_error.h"

namespace {

FormCart* MakeCartStore(const char16_t* name, std::size_t length) {
    return new (std::nothrow) CartStore(String(name, static_cast<int32_t>(length)));
}

PageWriter::Arg Chars(const String& s) {
    return {s.Data(), static_cast<uint32_t>(s.Length())};
}

PageWriter::Arg Number(uint32_t n) {
    return {nullptr, n};
}

// The key text of an entry of one of the search's tables, as HTML.
bool EntryHtml(const InteractionSearch& search, int table, uint32_t entry, String& out) {
    String key;
    IndexSource* source = search.Table(table);
    return source && source->Key(entry, key) && PageText::HtmlEncode(key, out);
}

}  // namespace

void CartStore::Register() {
    SortedRecordDatabase::SetCartFactory(&MakeCartStore);
}

Cart* CartStore::From(SortedRecordDatabase* store, const String& name) {
    if (!store) return nullptr;
    auto* cart = dynamic_cast<CartStore*>(
        store->GetFormStore(name.Data(), static_cast<std::size_t>(name.Length())));
    return cart ? &cart->GetCart() : nullptr;
}

bool PageText::HtmlEncode(const String& in, String& out) {
    Text text, encoded;
    if (in.Length() == 0) {
        out.Release();
        return true;
    }
    return text.FromString(in) && Html::DecodeEntities(text, encoded, true) &&
           encoded.ToWide(out);
}

bool PageText::ScriptStringInAttribute(const String& in, String& out) {
    String script;
    return Script::EscapeStringLiteral(in, &script) && HtmlEncode(script, out);
}

bool CartPage::WriteBody(const Text& path, const Cart& cart, const String& title) {
    uint32_t titleBytes = static_cast<uint32_t>(title.Length()) * 2;
    if (Open(path, titleBytes, CodePages::kUtf16) != 0) return true;
    String name, scriptTitle;
    if (!PageText::ScriptStringInAttribute(cart.Name(), name) ||
        !PageText::ScriptStringInAttribute(title, scriptTitle)) {
        Abort();
        return true;
    }
    WriteString(kPageStart);
    FillString(kCartCount, {Number(static_cast<uint32_t>(cart.Count()))});
    if (cart.Count() == 0) {
        WriteString(kCartEmpty);
    } else {
        String label;
        if (!Resources::LoadString(label, kComputeLabel)) Abort();
        FillString(kCartSubmit, {Chars(name), Chars(scriptTitle), Chars(label)});
        for (int32_t i = 0; i < cart.Count() && !Failed(); ++i) {
            String text;
            if (!PageText::HtmlEncode(cart.ItemText(i), text)) Abort();
            FillString(kCartItem, {Chars(name), Number(static_cast<uint32_t>(i)),
                                   Number(kRemoveIcon), Chars(text)});
        }
        if (!Resources::LoadString(label, kDeleteAllLabel)) Abort();
        FillString(kCartReset, {Chars(name), Chars(label)});
        FillString(kCartTip, {Number(kRemoveIcon)});
    }
    WriteString(kPageNavigation);
    WriteString(kPageEnd);
    return Finish(kBookType, kNoNumber, title.Data(), titleBytes);
}

bool InteractionsPage::WriteBody(const Text& path, const InteractionSearch& search,
                                 const String& title) {
    uint32_t titleBytes = static_cast<uint32_t>(title.Length()) * 2;
    if (Open(path, titleBytes, CodePages::kUtf16) != 0) return true;
    int32_t n = search.ResultCount();
    WriteString(kPageStart);
    if (n == 0) {
        WriteString(kNoInteractions);
    } else {
        FillString(kInteractionCount, {Number(static_cast<uint32_t>(n))});
        WriteString(kListStart);
        for (int32_t i = 0; i < n && !Failed(); ++i) {
            const InteractionSearch::Result& r = search.ResultAt(i);
            String drug1, drug2;
            if (!EntryHtml(search, 0, r.drug1, drug1) || !EntryHtml(search, 0, r.drug2, drug2))
                Abort();
            FillString(kInteractionLink,
                       {Number(static_cast<uint32_t>(i)), Chars(drug1), Chars(drug2)});
        }
        WriteString(kListEnd);
        for (int32_t i = 0; i < n && !Failed(); ++i) {
            const InteractionSearch::Result& r = search.ResultAt(i);
            DefineTarget(static_cast<uint32_t>(i));
            String drug1, drug2, class1, class2, text;
            if (!EntryHtml(search, 0, r.drug1, drug1) || !EntryHtml(search, 0, r.drug2, drug2) ||
                !EntryHtml(search, 1, r.class1, class1) ||
                !EntryHtml(search, 1, r.class2, class2) || !EntryHtml(search, 2, r.text, text))
                Abort();
            FillString(kInteractionEntry, {Number(kEntryIcon), Chars(drug1), Chars(class1),
                                           Chars(drug2), Chars(class2)});
            WriteChars(text.Data(), static_cast<uint32_t>(text.Length()));
            WriteString(kPageEntryEnd);
        }
    }
    WriteString(kPageNavigation);
    WriteString(kPageEnd);
    return Finish(kBookType, kNoNumber, title.Data(), titleBytes);
}

// ---------------------------------------------------------------- the loader's cart opener

namespace {

// The interactions book's three tables as index sources, or false.
bool OpenInteractionTables(Resource* book, RefPtr<IndexSource> tables[3]) {
    const uint32_t fields[3] = {1, 3, 7};
    for (int i = 0; i < 3; ++i) {
        uint32_t id = 0;
        tables[i] = RefPtr<IndexSource>::Adopt(
            BookIndexSource::FromHandle(book->OpenHeaderTable(fields[i], &id)));
        if (!tables[i]) return false;
    }
    return true;
}

}  // namespace

Resource* DocumentLoader::OpenCartPage(Location& location, uint8_t* /*handled*/) {
    std::vector<uint32_t> ids;
    std::vector<String> values;
    location.GetParams(ids, values);
    String name, title;
    bool action = false;
    for (size_t i = 0; i < ids.size(); ++i) {
        if (ids[i] == 1) name = values[i];
        if (ids[i] == 3) title = values[i];
        if (ids[i] == 4) action = true;
    }
    // The title arrives percent-encoded in the link; a malformed one is shown as it came.
    String decoded = title;
    if (decoded.UriEscape(false, true)) title = decoded;
    Text path;
    PalmDatabase* written = nullptr;
    if (!action) {
        Cart* cart = CartStore::From(log_, name);
        if (!cart || !paths_ || !paths_->AutogenCartFile(path)) return nullptr;
        CartPage writer;
        writer.GetRandom().Seed(random_.Next());
        if (writer.WriteBody(path, *cart, title)) return nullptr;
        written = writer.TakeDatabase();
    } else {
        if (!(name == String(u"interactions"))) return nullptr;
        Cart* cart = CartStore::From(log_, name);
        std::u16string where;
        if (!cart || !config_ || config_->GetText252(&where) != 0 || !paths_ ||
            !paths_->AutogenInteractFile(path))
            return nullptr;
        Location bookLocation;
        if (!bookLocation.Resolve(String(where.data(), static_cast<int32_t>(where.size())),
                                  nullptr))
            return nullptr;
        RefPtr<Resource> book = RefPtr<Resource>::Adopt(Open(bookLocation, nullptr, nullptr));
        if (!book) return nullptr;
        InteractionSearch search;
        bool ok = false;
        {
            RefPtr<IndexSource> tables[3];
            ok = OpenInteractionTables(book.Get(), tables) &&
                 search.Lookup(tables[0].Get(), tables[1].Get(), tables[2].Get()) == 0;
        }
        bool error = false;
        if (ok) {
            search.SetCart(cart);
            search.Run(error);
            ok = !error;
        }
        InteractionsPage writer;
        writer.GetRandom().Seed(random_.Next());
        if (ok && !writer.WriteBody(path, search, title)) written = writer.TakeDatabase();
        search.Clear();
        book.Reset();
        if (!written) return nullptr;
    }
    BookResource* page = nullptr;
    uint32_t codePage = 0, fallback = 0;
    GetGeneratedCodePages(codePage, fallback);
    if (BookResource::Create(written, codePage, fallback, page) != 0) return nullptr;
    return page;
}
