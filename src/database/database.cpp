#include "database/database.h"

int Database::MakeFileStem(const String& name, String& stem) {
    stem.Release();
    int32_t n = name.Length() < 32 ? name.Length() : 32;
    bool any = false;
    char16_t buf[32];
    for (int32_t i = 0; i < n; ++i) {
        char16_t c = name[i];
        bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        any = any || keep;
        buf[i] = keep ? c : u'_';
    }
    // A letter or digit past the 32nd character still names the database.
    for (int32_t i = n; !any && i < name.Length(); ++i) {
        char16_t c = name[i];
        any = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    }
    if (!any) return 1;
    if (!stem.AssignChars(buf, n)) return 1;
    return 0;
}

#include <cstring>
#include <memory>
#include <new>

#include "bookfiles/database_file.h"
#include "bookfiles/palm_database.h"
#include "core/charset.h"
#include "core/string_pool.h"
#include "platform/storage/files.h"

namespace {

constexpr uint8_t kMagic[4] = {'F', 'V', 'D', 'B'};
constexpr uint8_t kTagNull = 0;
constexpr uint8_t kTagValue = 1;
constexpr uint8_t kTagEnd = 2;

bool EncodeTable(const DbTable& table, ByteStream& out) {
    StringPool pool(out);
    bool ok =
        pool.WriteString(table.Name()) && out.PutVarU32(static_cast<uint32_t>(table.ColumnCount()));
    for (int32_t c = 0; ok && c < table.ColumnCount(); ++c)
        ok = pool.WriteString(table.ColumnName(c)) && out.WriteByte(table.ColumnType(c));
    ok = ok && out.PutVarU32(static_cast<uint32_t>(table.RowCount()));
    for (int32_t r = 0; ok && r < table.RowCount(); ++r) {
        for (int32_t c = 0; ok && c < table.ColumnCount(); ++c) {
            const DbValue* v = table.Cell(r, c);
            if (v->type == DbValue::kEmpty) {
                ok = pool.PutTag(kTagNull);
                continue;
            }
            ok = pool.PutTag(kTagValue);
            switch (table.ColumnType(c)) {
                case DbTable::kText:
                case DbTable::kPooledText:
                    ok = ok && pool.WriteString(v->text);
                    break;
                case DbTable::kNumber:
                    ok = ok && out.WriteWord32BE(v->number1);
                    break;
                default:
                    ok = ok && out.WriteByte(static_cast<uint8_t>(v->number1));
                    break;
            }
        }
    }
    return ok && pool.PutTag(kTagEnd) && out.Ok();
}

// 0, 10 or 12.
int DecodeTable(ByteStream& in, Database& db) {
    StringPool pool(in);
    String name;
    uint32_t columns = 0;
    if (!pool.ReadString(name) || !in.GetVarU32(columns)) return Database::kMalformed;
    // Every column needs at least two bytes; a count past that is corrupt, not a huge allocation.
    if (columns > in.Remaining() / 2) return Database::kMalformed;
    if (db.FindTable(name) >= 0 || name.IsEmpty()) return Database::kMalformed;
    int32_t index = db.CreateTable(name);
    if (index < 0) return Database::kOutOfMemory;
    DbTable* table = db.TableAt(index);
    std::vector<uint8_t> types;
    for (uint32_t c = 0; c < columns; ++c) {
        String colName;
        uint8_t type = 0;
        if (!pool.ReadString(colName) || !in.ReadByte(type)) return Database::kMalformed;
        if (!DbTable::IsValidType(type) || colName.IsEmpty() || table->FindColumn(colName) >= 0)
            return Database::kMalformed;
        if (table->AddColumn(colName, type) < 0) return Database::kOutOfMemory;
        types.push_back(type);
    }
    uint32_t rows = 0;
    if (!in.GetVarU32(rows)) return Database::kMalformed;
    if (columns > 0 && rows > in.Remaining() / columns) return Database::kMalformed;
    if (columns == 0 && rows > 0) return Database::kMalformed;
    for (uint32_t r = 0; r < rows; ++r) {
        std::vector<DbValue> cells;
        try {
            cells.resize(columns);
        } catch (const std::bad_alloc&) {
            return Database::kOutOfMemory;
        }
        for (uint32_t c = 0; c < columns; ++c) {
            uint8_t tag = 0;
            if (!pool.GetTag(tag) || tag == kTagEnd) return Database::kMalformed;
            if (tag == kTagNull) continue;
            DbValue& v = cells[c];
            switch (types[c]) {
                case DbTable::kText:
                case DbTable::kPooledText:
                    if (!pool.ReadString(v.text)) return Database::kMalformed;
                    v.type = DbValue::kText;
                    v.flags = types[c] == DbTable::kPooledText ? 1 : 0;
                    break;
                case DbTable::kNumber:
                    if (!in.ReadWord32BE(v.number1)) return Database::kMalformed;
                    v.type = DbValue::kUnsigned;
                    break;
                default: {
                    uint8_t b = 0;
                    if (!in.ReadByte(b)) return Database::kMalformed;
                    v.number1 = b;
                    v.type = DbValue::kByte;
                    break;
                }
            }
        }
        if (!table->AppendLoadedRow(std::move(cells))) return Database::kOutOfMemory;
    }
    uint8_t end = 0;
    if (!pool.GetTag(end) || end != kTagEnd) return Database::kMalformed;
    return Database::kOk;
}

}  // namespace

Database::Database() = default;

Database::~Database() {
    for (RefPtr<DbTable>& t : tables_) t->Detach();
}

Database* Database::FromResource(Resource* resource) {
    return resource && resource->GetKind() == 1 ? static_cast<Database*>(resource) : nullptr;
}

bool Database::GetTitle(String& out) {
    out.Assign(name_);
    return !name_.IsEmpty();
}

bool Database::CreateLayout(TokenSource*& source, PageLayout** layout) {
    source = nullptr;
    if (layout) *layout = nullptr;
    return false;
}

int32_t Database::FindTable(const String& name) const {
    for (size_t i = 0; i < tables_.size(); ++i)
        if (tables_[i]->Name() == name) return static_cast<int32_t>(i);
    return -1;
}

int32_t Database::CreateTable(const String& name) {
    if (name.IsEmpty() || readOnly_ || FindTable(name) >= 0) return -1;
    RefPtr<DbTable> table = RefPtr<DbTable>::Adopt(new (std::nothrow) DbTable(this, name));
    if (!table) return -1;
    try {
        tables_.push_back(std::move(table));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    dirty_ = true;
    return TableCount() - 1;
}

bool Database::DropTable(const String& name) {
    int32_t i = FindTable(name);
    if (i < 0 || readOnly_) return false;
    RefPtr<DbTable> table = std::move(tables_[i]);
    tables_.erase(tables_.begin() + i);
    table->Detach();
    dirty_ = true;
    return true;
}

bool Database::Encode(ByteStream& out) const {
    out.Clear();
    out.WriteBytes(kMagic, 4);
    out.WriteWord16BE(kFormatVersion);
    out.WriteWord16BE(readOnly_ ? 1 : 0);
    out.WriteWord32BE(static_cast<uint32_t>(tables_.size()));
    ByteStream block;
    for (const RefPtr<DbTable>& t : tables_) {
        block.Clear();
        if (!EncodeTable(*t, block) || !out.WriteBlock(block)) return false;
    }
    return out.Ok();
}

int Database::Decode(const uint8_t* bytes, size_t length) {
    if (length < 12 || std::memcmp(bytes, kMagic, 4) != 0) return kMalformed;
    uint16_t version = ReadBE16(bytes + 4);
    uint16_t flags = ReadBE16(bytes + 6);
    uint32_t count = ReadBE32(bytes + 8);
    if (version > kFormatVersion) return kUnsupported;
    if (version == 0) return kMalformed;
    // Each table block takes at least four bytes.
    if (count > (length - 12) / 4) return kMalformed;
    ByteStream in;
    if (!in.WriteBytes(bytes + 12, length - 12)) return kOutOfMemory;
    ByteStream block;
    for (uint32_t i = 0; i < count; ++i) {
        if (!in.ReadBlock(block)) return kMalformed;
        int rc = DecodeTable(block, *this);
        if (rc) return rc;
    }
    readOnly_ = (flags & 1) != 0;
    dirty_ = false;
    return kOk;
}

int Database::OpenFile(const PalmDatabase* source, Database*& out) {
    if (!source || source->GetRecordCount() == 0) return kMissing;
    uint32_t length = 0;
    const uint8_t* bytes = source->GetRecord(0, &length);
    if (!bytes) return kMissing;
    TableRef db = TableRef::Adopt(new (std::nothrow) Database());
    if (!db) return kOutOfMemory;
    int rc = db->Decode(bytes, length);
    if (rc) return rc;
    // A file the device marks read-only stays unchanged.
    if (source->GetAttributes() & PalmDatabase::kAttrReadOnly) db->readOnly_ = true;
    String name;
    const char* palmName = source->GetName();
    for (size_t i = 0; i < 32 && palmName[i]; ++i)
        name.AppendChar(static_cast<unsigned char>(palmName[i]));
    db->name_ = name;
    db->filePath_ = source->GetPath();
    out = db.TakePointer();
    return kOk;
}

void Database::NoteUnsaved() const {
    if (readOnly_ || filePath_.empty()) return;
    std::u16string wide(filePath_.size() + 1, u'\0');
    const std::int32_t n = Utf8::DecodeToUtf16(reinterpret_cast<const std::uint8_t*>(filePath_.data()),
                                               filePath_.size(), wide.data(), wide.size());
    if (n > 0) fvt::NoteUnsavedFile(wide.substr(0, static_cast<std::size_t>(n)));
}

bool Database::Save(Database* db) {
    if (!db || db->readOnly_ || db->filePath_.empty()) return false;
    if (!db->dirty_) return true;
    ByteStream record;
    if (!db->Encode(record)) return false;
    std::unique_ptr<PalmDatabase> file(PalmDatabase::CreateInMemory("FOLV", "DUMP"));
    if (!file) return false;
    // The header name holds 31 characters and its NUL.
    String stem;
    char header[32] = {};
    size_t n = 0;
    if (MakeFileStem(db->name_, stem) == 0)
        for (; n < 31 && n < static_cast<size_t>(stem.Length()); ++n)
            header[n] = static_cast<char>(stem[static_cast<int32_t>(n)]);
    bool ok = file->SetName(header, n) && file->NewRecord(0, record.Size(), nullptr) &&
              file->WriteRecord(0, 0, record.Data(), record.Size());
    std::vector<uint8_t> bytes;
    ok = ok && file->Serialize(&bytes);
    file.reset();
    ok = ok && DatabaseFile::ReplaceDatabase(db->filePath_.c_str(), bytes.data(), bytes.size());
    if (ok) db->dirty_ = false;
    return ok;
}
