#include "document/sources/index_table_data_handle.h"

#include <string>

namespace {

// The table of header field 2, or null.
RefPtr<IndexTableDataHandle> OpenEntryTable(Resource& resource) {
    uint32_t id = 0;
    auto handle = RefPtr<IndexTableDataHandle>::Adopt(
        IndexTableDataHandle::From(resource.OpenHeaderTable(2, &id)));
    if (handle && !handle->Table().IsOpen()) return {};
    return handle;
}

bool ToString(const std::u16string& text, String& out) {
    String made(text.data(), static_cast<int32_t>(text.size()));
    if (made.Length() != static_cast<int32_t>(text.size())) return false;
    out = std::move(made);
    return true;
}

// The key of the entry that `tag` of the entry at `position` numbers. The number comes from
// the book, so it is checked against the table before it is used.
bool LinkedKey(const IndexTable& table, IndexPosition position, uint32_t tag, std::u16string* out) {
    IndexEntryReader reader;
    if (!reader.Open(&table) || reader.Seek(position) != 0) return false;
    uint32_t count = 0;
    uint32_t linked = 0;
    if (reader.FindTag(tag, &count, nullptr) != 0 || count == 0 || reader.ReadNumber(&linked) != 0)
        return false;
    IndexPosition target;
    return linked < table.GetEntryCount() && table.PositionFromEntry(linked, &target) &&
           table.GetEntryKey(target, out);
}

}  // namespace

int32_t IndexTableDataHandle::CompareName(const String& name) {
    if (name_.Length() == 0) return -1;
    return name_.CompareWith(name);
}

bool IndexTableDataHandle::GetData(const uint8_t*& data, uint32_t& length) {
    data = nullptr;
    length = 0;
    return false;
}

IndexTableDataHandle* IndexTableDataHandle::From(DataHandle* handle) {
    auto table = RefPtr<DataHandle>::Adopt(DataHandle::AsIndexTable(handle));
    if (!dynamic_cast<IndexTableDataHandle*>(table.Get())) return nullptr;
    return static_cast<IndexTableDataHandle*>(table.TakePointer());
}

bool GetEntryKeyAndLink(Resource& resource, String& key, String& linked, int32_t entry) {
    if (entry < 0) return false;
    RefPtr<IndexTableDataHandle> handle = OpenEntryTable(resource);
    if (!handle) return false;
    const IndexTable& table = handle->Table();
    IndexPosition position;
    std::u16string own;
    bool ok = static_cast<uint32_t>(entry) < table.GetEntryCount() &&
              table.PositionFromEntry(static_cast<uint32_t>(entry), &position) &&
              table.GetEntryKey(position, &own) && ToString(own, key);
    if (ok) {
        std::u16string other;
        if (!LinkedKey(table, position, 7, &other)) other.clear();
        ok = ToString(other, linked);
    }
    return ok;
}

bool GetEntryTag6Text(Resource& resource, String& out, const String* key, int32_t entry) {
    RefPtr<IndexTableDataHandle> handle = OpenEntryTable(resource);
    if (!handle) return false;
    const IndexTable& table = handle->Table();
    IndexPosition position;
    bool found;
    if (key) {
        found = key->Length() > 0 &&
                table.Lookup(key->Data(), static_cast<std::size_t>(key->Length()), &position, 0);
    } else {
        found = entry >= 0 && static_cast<uint32_t>(entry) < table.GetEntryCount() &&
                table.PositionFromEntry(static_cast<uint32_t>(entry), &position);
    }
    std::u16string text;
    return found && LinkedKey(table, position, 6, &text) && ToString(text, out);
}
