// Shared helpers of the database tests.
#pragma once

#include <string>

#include "core/string.h"
#include "database/database.h"

inline String S(const char* ascii) {
    String s;
    s.AppendAscii(ascii);
    return s;
}

inline std::string A(const String& s) {
    std::string r;
    for (int32_t i = 0; i < s.Length(); ++i) r += static_cast<char>(s[i]);
    return r;
}

// A database owned by the test (one reference, released at the end).
struct DbHolder {
    Database* db = new Database();
    ~DbHolder() {
        if (db) db->Release();
    }
    Database* operator->() const { return db; }
};

// A word-list shaped table: orth text, icon small number, ent number.
inline DbTable* MakeWords(Database* db, const char* name, int rows) {
    int32_t t = db->CreateTable(S(name));
    DbTable* table = db->TableAt(t);
    table->AddColumn(S("orth"), DbTable::kText);
    table->AddColumn(S("icon"), DbTable::kSmallNumber);
    table->AddColumn(S("ent"), DbTable::kNumber);
    for (int i = 0; i < rows; ++i) {
        int32_t r = table->AddRecord();
        table->SetText(r, 0, S(("w" + std::to_string(i)).c_str()));
        table->SetNumber(r, 2, static_cast<uint32_t>(i * 10));
    }
    return table;
}
