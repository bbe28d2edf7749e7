// The book script's "__global_recordset": a query over the current book's tables is handed to
// the script, cleared on request and when the book closes; bad queries give nothing.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../document/dictionary_book.h"
#include "core/text.h"
#include "document/sources/document_loader.h"
#include "library/paths/app_paths.h"
#include "reader/book_document_controller.h"
#include "script/script_engine.h"
#include "script/script_heap.h"
#include "support/platform/temp_device.h"
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
        ScriptContext* context = controller->BookScript();
        if (!context) return "no context";
        std::string out;
        PrintHost printer(&out);
        context->Hosts().AppendObject(&printer, 0);
        ScriptCode unit;
        ScriptError err;
        if (!ScriptEngine::CompileText(PrintHost::FromUtf8(text), &unit, u"t", &err))
            return "no compile";
        ScriptEngine::Run(context, &unit, nullptr, ScriptValues::kUndefined, nullptr, &err);
        context->Hosts().Clear();
        return PrintHost::JoinLines(out);
    }

    fvt::test::TempDevice device;
    AppPaths paths{Text(), nullptr};
    ScriptHeap heap;
    std::unique_ptr<DocumentLoader> loader;
    std::unique_ptr<BookDocumentController> controller;
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
    EXPECT_FALSE(controller->RunIndexQuery(nullptr));
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

}  // namespace
