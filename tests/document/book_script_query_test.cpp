// sql_execute(query) in a script over a real book resource opened through the loader: the
// query reaches the book's tables by designation, and the entry links name the book.
#include <gtest/gtest.h>

#include <string>

#include "database/database_object.h"
#include "dictionary_book.h"
#include "document/location/location.h"
#include "document/sources/document_loader.h"
#include "script/script_engine.h"
#include "support/platform/temp_device.h"
#include "support/script/print_host.h"

namespace {

TEST(BookScriptQueries, SqlExecuteReadsTheBooksTables) {
    fvt::test::TempDevice device;
    device.WriteHost("d/dict.prc", DictionaryBookBytes());
    DocumentLoader loader(2);
    Location l;
    ASSERT_TRUE(l.Resolve(String(u"\\d\\dict.prc"), nullptr));
    Resource* book = loader.Open(l, nullptr, nullptr);
    ASSERT_NE(book, nullptr);
    {
        DatabaseScriptHost host(nullptr);
        host.SetQueryResource(book);
        ScriptHeap heap;
        std::string out;
        PrintHost printer(&out);
        ScriptContext context(&heap);
        context.Hosts().AppendObject(&printer, 0);
        context.Hosts().AppendObject(&host, 1);
        ScriptCode unit;
        ScriptError err;
        ASSERT_TRUE(ScriptEngine::CompileText(
            PrintHost::FromUtf8("var e = sql_execute(\"SELECT * FROM words WHERE orth LIKE 'ba%'\");"
                                "print(e.orth, e.href); e.MoveNext(); print(e.EOF);"
                                "var n = sql_execute(\"SELECT * FROM 'tableid=99' AS t\");"),
            &unit, u"t", &err));
        int rc = ScriptEngine::Run(&context, &unit, nullptr, ScriptValues::kUndefined, nullptr, &err);
        EXPECT_EQ(PrintHost::JoinLines(out), "bank \\d\\dict.prc##-pos20|true");
        // The unknown table is reported as such.
        EXPECT_EQ(rc, ScriptErrors::kQueryName);
    }
    EXPECT_EQ(book->HandleCount(), 0u);
    book->Release();
    EXPECT_EQ(loader.CachedCount(), 0u);
}

}  // namespace
