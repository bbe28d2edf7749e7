// sql_execute(query) in scripts: the query runs over the index tables of the document the host
// was given, through that resource's data handles, and answers an entry object at the first
// match; queries that do not compile give null and the compiler's code.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "bookfiles/index_table_handle.h"
#include "bookfiles/palm_database.h"
#include "database/database_object.h"
#include "database/resource.h"
#include "script/script_engine.h"
#include "support/script/print_host.h"
#include "word_book.h"

namespace {

// A kind-257 handle carrying one index table of a book.
class TableHandle : public DataHandle {
public:
    TableHandle(Resource* owner, PalmDatabase* db, uint32_t table) : DataHandle(owner) {
        open_ = tables_.Open(db, table, IndexTableHandle::kNone, IndexTableHandle::kNone);
    }
    const IndexTableHandle* GetIndexTables() override { return open_ ? &tables_ : nullptr; }
    uint32_t GetHandleKind() override { return 257; }
    int32_t CompareId(int32_t) override { return 1; }
    int32_t CompareName(const String&) override { return 1; }
    bool GetData(const uint8_t*&, uint32_t&) override { return false; }
    bool Prepare() override { return true; }
    uint32_t GetSize() override { return 0; }
    bool ReadRaw(uint32_t, void*, uint32_t) override { return false; }

private:
    IndexTableHandle tables_;
    bool open_ = false;
};

// A book with one table, "words", opened for the designation "table=words".
class WordBook : public Resource {
public:
    WordBook() {
        bytes_ = WordBookBytes(&table_);
        int error = 0;
        db_.reset(PalmDatabase::OpenView(bytes_.data(), bytes_.size(), &error));
        DbValue where;
        where.text.AppendAscii("\\books\\w.prc");
        SetLocation(where);
    }
    bool IsBinary() override { return true; }
    DataHandle* OpenDataByName(const String& name, const DbValue*) override {
        if (!(name == String(u"table=words"))) return nullptr;
        auto* h = new TableHandle(this, db_.get(), table_);
        AddHandle(h);
        return h;
    }
    DataHandle* OpenDataByIndex(int32_t, const DbValue*) override { return nullptr; }
    DocumentSource* GetDocument() override { return nullptr; }
    bool CreateLayout(TokenSource*&, PageLayout**) override { return false; }
    void DestroyLayout(TokenSource*, PageLayout*) override {}
    uint32_t GetKind() override { return 0; }

private:
    std::vector<uint8_t> bytes_;
    std::unique_ptr<PalmDatabase> db_;
    uint32_t table_ = 0;
};

struct QueryScript {
    explicit QueryScript(Resource* book) {
        host.SetQueryResource(book);
        context.Hosts().AppendObject(&printer, 0);
        context.Hosts().AppendObject(&host, 1);
    }
    std::string Run(const std::string& text) {
        out.clear();
        ScriptCode unit;
        if (!ScriptEngine::CompileText(PrintHost::FromUtf8(text), &unit, u"t", &err)) return "?";
        rc = ScriptEngine::Run(&context, &unit, nullptr, ScriptValues::kUndefined, nullptr, &err);
        return PrintHost::JoinLines(out);
    }

    DatabaseScriptHost host{nullptr};
    ScriptHeap heap;
    std::string out;
    PrintHost printer{&out};
    ScriptContext context{&heap};
    ScriptError err;
    int rc = 0;
};

TEST(SqlExecuteTest, AnswersTheFirstMatchOfTheBook) {
    WordBook* book = new WordBook();
    {
        QueryScript s(book);
        EXPECT_EQ(s.Run("var e = sql_execute(\"SELECT * FROM words WHERE orth LIKE 'ban%'\");"
                        "print(e.orth, e.BOF, e.EOF, e.href); e.MoveNext(); print(e.orth);"
                        "e.MoveNext(); print(e.EOF);"
                        "var none = sql_execute(\"SELECT * FROM words WHERE orth = 'zebra'\");"
                        "print(none.EOF, none.Count)"),
                  "bank false false \\books\\w.prc##-pos200|banker|true|true 0");
        EXPECT_EQ(s.rc, 0);
        // The entry objects hold the book's table while the script keeps them.
        EXPECT_GT(book->HandleCount(), 0u);
    }
    // Gone with the script's values and the host.
    EXPECT_EQ(book->HandleCount(), 0u);
    EXPECT_EQ(book->RefCount(), 1u);
    book->Release();
}

TEST(SqlExecuteTest, QueriesThatDoNotCompileGiveTheirCode) {
    WordBook* book = new WordBook();
    {
        QueryScript s(book);
        s.Run("var e = 1; e = sql_execute('SELECT * FROM nosuch')");
        EXPECT_EQ(s.rc, ScriptErrors::kQueryName);
        s.Run("sql_execute('SELECT FROM words')");
        EXPECT_EQ(s.rc, ScriptErrors::kQuerySyntax);
        s.Run("sql_execute()");
        EXPECT_EQ(s.rc, ScriptErrors::kBadParameterCount);
        EXPECT_EQ(book->HandleCount(), 0u);
    }
    // Without a document every table is unknown.
    QueryScript none(nullptr);
    none.Run("sql_execute('SELECT * FROM words')");
    EXPECT_EQ(none.rc, ScriptErrors::kQueryName);
    book->Release();
}

}  // namespace
