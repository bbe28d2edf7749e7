// Scripts creating, filling, querying and saving databases through the Database and RecordSet
// objects, and the errors they get.
#include <gtest/gtest.h>

#include <string>

#include "core/text.h"
#include "database/database_object.h"
#include "database/table_record_set.h"
#include "platform/storage/files.h"
#include "script/script_engine.h"
#include "support/platform/temp_device.h"
#include "support/script/print_host.h"

namespace {

struct DbScript {
    FolderDatabaseOpener opener{""};
    DatabaseScriptHost host{&opener};
    ScriptHeap heap;
    std::string out;
    PrintHost printer{&out};
    ScriptContext context{&heap};
    ScriptError err;
    int rc = 0;

    DbScript() {
        context.Hosts().AppendObject(&printer, 0);
        context.Hosts().AppendObject(&host, 1);
    }
    // Runs the text; answers what print() wrote, lines joined with '|'.
    std::string Run(const std::string& text) {
        out.clear();
        ScriptCode unit;
        if (!ScriptEngine::CompileText(PrintHost::FromUtf8(text), &unit, u"t", &err)) {
            rc = ScriptErrors::kSyntax;
            return "syntax";
        }
        rc = ScriptEngine::Run(&context, &unit, nullptr, ScriptValues::kUndefined, nullptr, &err);
        return PrintHost::JoinLines(out);
    }
};

class DatabaseScriptTest : public ::testing::Test {
protected:
    fvt::test::TempDevice device_;
};

TEST_F(DatabaseScriptTest, CreateFillSaveAndReopen) {
    ASSERT_TRUE(device_.ok());
    {
        DbScript s;
        EXPECT_EQ(s.Run("var db = OpenDatabase('My List!');"
                        "var rs = db.CreateTable('words');"
                        "print(rs.AddField('orth', TYPE_STRING), rs.AddField('n', TYPE_UINT),"
                        "      rs.AddField('m', TYPE_UBYTE), rs.AddField('bad', 7));"
                        "print(rs.Count, rs.BOF, rs.EOF);"
                        "rs.AddNew(); rs.orth = 'apple'; rs.n = 3;"
                        "rs.AddNew(); rs.orth = 'pear'; rs.n = 5; rs.m = 2;"
                        "print(rs.Count, rs.EOF);"
                        "rs.MoveFirst(); print(rs.orth, rs.Value('n'), rs.m);"
                        "print(rs.FindFirst('orth', 'pear'), rs.n, rs.FindNext('orth', 'pear'));"
                        "print(db.name, db.Count, db.Save());"),
                  "true true true false|0 true true|2 false|apple 3 null|true 5 false|"
                  "My_List_ 1 true")
            << s.err.MessageUtf8();
        EXPECT_EQ(s.rc, 0);
    }
    EXPECT_TRUE(device_.HostExists("My_List_.ebase"));
    DbScript again;
    EXPECT_EQ(again.Run("var rs = OpenDatabase('My List!').OpenTable('words');"
                        "var t = ''; while (!rs.EOF) { t += rs.orth + rs.n + ','; rs.MoveNext(); }"
                        "print(t, rs.Fields.Count, rs.Fields.n.type, rs.Fields.orth.name);"),
              "apple3,pear5, 3 2 orth")
        << again.err.MessageUtf8();
}

TEST_F(DatabaseScriptTest, DeleteMovesToTheNextRow) {
    DbScript s;
    EXPECT_EQ(s.Run("var rs = OpenDatabase('d').CreateTable('t'); rs.AddField('v', 2);"
                    "for (var i = 0; i < 4; i++) { rs.AddNew(); rs.v = i; }"
                    "rs.MoveFirst(); rs.MoveNext(); rs.Delete(); print(rs.v, rs.Count);"
                    "rs.MoveLast(); rs.Delete(); print(rs.EOF, rs.Count);"
                    "rs.MovePrevious(); print(rs.v); rs.MovePrevious(); rs.MovePrevious();"
                    "print(rs.BOF);"),
              "2 3|true 2|2|true");
}

TEST_F(DatabaseScriptTest, FieldsReadAndWrite) {
    DbScript s;
    EXPECT_EQ(s.Run("var rs = OpenDatabase('d').CreateTable('t');"
                    "rs.AddField('w', TYPE_POOLED_STRING); rs.AddNew();"
                    "var f = rs.Fields.w; f.value = 'x'; print(rs.w, f.Value, f.type);"
                    "rs.w = null; print(rs.w); print(rs.RemoveField('w'), rs.Fields.Count);"),
              "x x 6|null|true 0");
}

TEST_F(DatabaseScriptTest, TablesOpenDropAndClose) {
    DbScript s;
    EXPECT_EQ(s.Run("var db = OpenDatabase('d'); print(db.OpenTable('none'));"
                    "var rs = db.CreateTable('t'); print(db.CreateTable('t'), db.CreateTable(''));"
                    "print(db.DropTable('t'), db.DropTable('t'), db.Count);"
                    "rs.AddField('a', 0); rs.AddNew(); rs.a = 'kept'; print(rs.a);"
                    "db.CreateTable('u'); var u = db.OpenTable('u');"
                    "print(db.CloseTable(u), u.Count, u.EOF);"),
              "null|null null|true false 0|kept|true 0 true");
    EXPECT_EQ(s.Run("print(OpenDatabase('!!!'))"), "null");
}

TEST_F(DatabaseScriptTest, BadUseGivesErrors) {
    DbScript s;
    s.Run("var rs = OpenDatabase('d').CreateTable('t'); rs.AddField('n', 2); rs.AddNew();");
    ASSERT_EQ(s.rc, 0);
    s.Run("rs.n = 'abc'");
    EXPECT_EQ(s.rc, ScriptErrors::kInvalidType);
    s.Run("rs.n = -1");
    EXPECT_EQ(s.rc, ScriptErrors::kInvalidType);
    s.Run("rs.nosuch");
    EXPECT_EQ(s.rc, ScriptErrors::kMemberUnknown);
    s.Run("rs.Count = 3");
    EXPECT_EQ(s.rc, ScriptErrors::kCannotSet);
    s.Run("rs.MoveNext(1)");
    EXPECT_EQ(s.rc, ScriptErrors::kBadParameterCount);
    s.Run("rs.Value('zz')");
    EXPECT_EQ(s.rc, ScriptErrors::kMemberUnknown);
    EXPECT_EQ(s.Run("rs.MoveLast(); rs.MoveNext(); print(rs.n)"), "null");
}

TEST_F(DatabaseScriptTest, ReadOnlyFileRefusesChanges) {
    {
        DbScript s;
        s.Run("var db = OpenDatabase('ro'); db.CreateTable('t'); db.Save()");
        ASSERT_EQ(s.rc, 0);
    }
    ASSERT_TRUE(device_.HostExists("ro.ebase"));
    Text path;
    path.AssignUtf8("\\ro.ebase");
    path.ConvertTo(65002);
    ASSERT_TRUE(
        SetFileAttributesW(reinterpret_cast<LPCWSTR>(path.WideCStr()), FILE_ATTRIBUTE_READONLY));
    DbScript s;
    EXPECT_EQ(s.Run("var db = OpenDatabase('ro'); var rs = db.OpenTable('t');"
                    "print(rs.AddNew(), db.CreateTable('u'), db.Save())"),
              "false null false");
}

TEST_F(DatabaseScriptTest, OneDatabaseObjectPerFile) {
    FolderDatabaseOpener opener("");
    Database* a = opener.OpenDatabase(String(u"Words"));
    Database* b = opener.OpenDatabase(String(u"Words"));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    a->Release();
    b->Release();
    EXPECT_EQ(opener.OpenDatabase(String(u"!!")), nullptr);
}

}  // namespace
