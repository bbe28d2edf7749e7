// A stand-in for the book resource over a book document: table designations open index-table
// data handles as books open them ("table=" and "key_table" by name, "tableid=" by number,
// "special_table=" by header field); "eo=" gives a handle that is no index table.
#pragma once

#include <cstdint>

#include "bookfiles/book_document.h"
#include "core/string.h"
#include "database/resource.h"
#include "document/sources/data_handles.h"
#include "document/sources/index_table_data_handle.h"

namespace fixtures {

class BookTables : public Resource {
public:
    bool IsBinary() override { return true; }
    DataHandle* OpenDataByIndex(int32_t, const DbValue*) override { return nullptr; }
    DocumentSource* GetDocument() override { return nullptr; }
    bool CreateLayout(TokenSource*&, PageLayout**) override { return false; }
    void DestroyLayout(TokenSource*, PageLayout*) override {}
    uint32_t GetKind() override { return 0; }

    DataHandle* OpenHeaderTable(uint32_t field, uint32_t* id) override {
        return book.OpenHeaderRecord(static_cast<int>(field), id) ? Make(*id) : nullptr;
    }
    DataHandle* OpenTableByNumber(uint32_t n) override {
        uint32_t id = 0;
        return book.OpenTableByNumber(n, &id) ? Make(id) : nullptr;
    }
    DataHandle* OpenTableByName(const String& name, uint32_t flag) override {
        uint32_t id = 0;
        return book.OpenTableByName(name.Data(), static_cast<uint32_t>(name.Length()), flag, &id)
                   ? Make(id)
                   : nullptr;
    }
    DataHandle* OpenDataByName(const String& name, const DbValue*) override {
        ++opened;
        String value;
        int32_t eq = name.IndexOf(u'=');
        if (eq >= 0) value.AssignSub(name, eq + 1, -1);
        if (name.CompareN(u"table=", 6, true) == 0) return OpenTableByName(value, 0);
        if (name.CompareN(u"key_table", 9, true) == 0) return OpenTableByName(value, 2);
        if (name.CompareN(u"tableid=", 8, true) == 0) {
            uint32_t n = 0;
            return value.ParseUnsigned(10, n) ? OpenTableByNumber(n) : nullptr;
        }
        if (name.CompareN(u"special_table=", 14, true) == 0) {
            static const struct {
                const char16_t* name;
                uint32_t field;
            } fields[] = {
                {u"naming", 6}, {u"default", 0}, {u"lookup_key", 8}, {u"inflex", 5}, {u"forms", 4}};
            for (const auto& f : fields) {
                uint32_t id = 0;
                if (value == String(f.name)) return OpenHeaderTable(f.field, &id);
            }
            return nullptr;
        }
        if (name.CompareN(u"eo=", 3, true) == 0) {
            static const uint8_t bytes[4] = {'O', 'g', 'g', 'S'};
            auto* h = new MemoryDataHandle(this, bytes, 4);
            AddHandle(h);
            return h;
        }
        return nullptr;
    }

    BookDocument book;
    int opened = 0;

private:
    DataHandle* Make(uint32_t table) {
        auto* handle = new IndexTableDataHandle(this);
        AddHandle(handle);
        if (handle->OpenInBook(book, table)) return handle;
        handle->Release();
        return nullptr;
    }
};

}  // namespace fixtures
