// The book script's "__global_recordset": a query over the current book's tables is handed to
// the script, cleared on request and when the book closes; bad queries give nothing.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../document/dictionary_book.h"
#include "core/text.h"
#include "document/sources/document_loader.h"
#include "paths/app_paths.h"
#include "reader/book_document_controller.h"
#include "script/script_engine.h"
#include "script/script_heap.h"
#include "support/platform/temp_device.h"
#include "controller_books.h"
#include "database/db_table.h"
#include "support/script/print_host.h"

namespace {

struct RecordSetTest : ::testing::Test {
    RecordSetTest() {
        EXPECT_TRUE(device.ok());
        device.WriteHost("d/dict.prc", DictionaryBookBytes());
        loader = std::make_unique<DocumentLoader>(3);
        loader->SetOptions(&paths, nullptr, nullptr);
        controller = std::make_unique<BookDocumentController>(&heap);
        controller->SetDocumentLoader(loader.get());
    }
    ~RecordSetTest() override {
        controller.reset();
        loader.reset();
    }

    // Runs a script in the book script's context; what it printed.
    std::string Run(const char* text) {
        ScriptContext* context = controller->Scripting().Context();
        if (!context) return "no context";
        std::string out;
        PrintHost printer(&out);
        context->Hosts().AppendObject(&printer, 0);
        ScriptCode unit;
        ScriptError err;
        if (!ScriptEngine::CompileText(PrintHost::FromUtf8(text), &unit, u"t", &err))
            return "no compile";
        rc = ScriptEngine::Run(context, &unit, nullptr, ScriptValues::kUndefined, nullptr, &err);
        context->Hosts().Clear();
        return PrintHost::JoinLines(out);
    }
    // The book script's own run (its host objects stay entered); what it prints goes to `out`.
    int RunBookScript(const char* text, std::string& out) {
        ScriptContext* context = controller->Scripting().Context();
        if (!context) return -1;
        if (!printerEntered) printerEntered = context->Hosts().AppendObject(&printer, 2);
        ScriptCode unit;
        ScriptError err;
        if (!ScriptEngine::CompileText(PrintHost::FromUtf8(text), &unit, u"t", &err)) return -2;
        printed.clear();
        int code = ScriptEngine::Run(context, &unit, nullptr, ScriptValues::kUndefined, nullptr, &err);
        out = PrintHost::JoinLines(printed);
        return code;
    }

    fvt::test::TempDevice device;
    AppPaths paths{Text(), nullptr};
    ScriptHeap heap;
    std::unique_ptr<DocumentLoader> loader;
    std::unique_ptr<BookDocumentController> controller;
    int rc = 0;
    std::string printed;
    PrintHost printer{&printed};
    bool printerEntered = false;
};

TEST_F(RecordSetTest, TheQueryResultReachesTheBookScript) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\d\\dict.prc")));
    ASSERT_TRUE(controller->OpenIndexQuery(
        String(u"SELECT * FROM words WHERE orth LIKE 'ba%'")));
    EXPECT_EQ(Run("var e = __global_recordset; print(e.orth, e.href);"),
              "bank \\d\\dict.prc##-pos20");
    ASSERT_TRUE(controller->ClearGlobalRecordSet());
    EXPECT_EQ(Run("print(typeof __global_recordset);"), "undefined");
}

TEST_F(RecordSetTest, ABadQueryOrNoBookGivesNothing) {
    EXPECT_FALSE(controller->OpenIndexQuery(String(u"SELECT * FROM words")));  // no book
    ASSERT_TRUE(controller->ActivateLink(String(u"\\d\\dict.prc")));
    EXPECT_FALSE(controller->OpenIndexQuery(String(u"SELECT FROM")));
    EXPECT_FALSE(controller->OpenIndexQuery(String(u"SELECT * FROM 'tableid=99' AS t")));
    EXPECT_FALSE(controller->RunIndexQuery(RefPtr<IndexRecordSet>()));
    EXPECT_EQ(Run("print(typeof __global_recordset);"), "undefined");
}

TEST_F(RecordSetTest, ClosingTheBookLetsItsTablesGo) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\d\\dict.prc")));
    ASSERT_TRUE(controller->OpenIndexQuery(String(u"SELECT * FROM words")));
    Resource* book = loader->FindCached(*controller->CurrentLocation());
    ASSERT_NE(book, nullptr);
    controller->CloseDocument();
    EXPECT_EQ(Run("print(typeof __global_recordset);"), "undefined");
    heap.CollectCycles();
    EXPECT_EQ(book->HandleCount(), 0u);
    book->Release();
    EXPECT_EQ(loader->CachedCount(), 0u);
}

// sql_execute in a book's script reads the tables of the book shown, follows the book when
// another opens, and a query that does not compile ends the script with its code, never a crash.
TEST_F(RecordSetTest, ABookScriptsQueriesReadTheCurrentBook) {
    std::string out;
    // Before any book: no table is known.
    EXPECT_EQ(RunBookScript("var e = sql_execute('SELECT * FROM words'); print('on');", out),
              ScriptErrors::kQueryName);
    EXPECT_EQ(out, "");
    ASSERT_TRUE(controller->ActivateLink(String(u"\\d\\dict.prc")));
    EXPECT_EQ(RunBookScript("var e = sql_execute(\"SELECT * FROM words WHERE orth LIKE 'ba%'\");"
                            "print(e.orth, e.href, TYPE_STRING);",
                            out),
              0);
    EXPECT_EQ(out, "bank \\d\\dict.prc##-pos20 " + std::to_string(DbTable::kText));
    out.clear();
    // Bad SQL: the script stops there with the compiler's code.
    EXPECT_EQ(RunBookScript("print('before'); sql_execute('SELECT FROM words'); print('after');",
                            out),
              ScriptErrors::kQuerySyntax);
    EXPECT_EQ(out, "before");
    out.clear();
    EXPECT_EQ(RunBookScript("sql_execute('SELECT * FROM nosuch');", out), ScriptErrors::kQueryName);
    EXPECT_EQ(RunBookScript("sql_execute();", out), ScriptErrors::kBadParameterCount);
    EXPECT_EQ(RunBookScript("sql_execute('', '');", out), ScriptErrors::kBadParameterCount);
    EXPECT_NE(RunBookScript("sql_execute('SELECT * FROM words WHERE orth = ');", out), 0);

    // Another book: its tables, not the closed one's (which the host no longer holds).
    Resource* dict = loader->FindCached(*controller->CurrentLocation());
    ASSERT_NE(dict, nullptr);
    fvt::test::WriteControllerBooks(device);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\b.prc")));
    EXPECT_EQ(RunBookScript("sql_execute('SELECT * FROM words');", out), ScriptErrors::kQueryName);
    heap.CollectCycles();
    EXPECT_EQ(dict->HandleCount(), 0u);
    EXPECT_EQ(dict->RefCount(), 1u);  // the test's own reference alone
    dict->Release();
}

}  // namespace
