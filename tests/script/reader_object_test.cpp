// The reader's script-face base: navigator, device, user properties, delegated functions.
#include <gtest/gtest.h>

#include "script/script_plain_object.h"
#include "script_test_util.h"

namespace {

struct Reader : ScriptReaderObject {
    int ScreenWidth() override { return 480; }
};

struct ReaderObjectRun : ScriptRun {
    Reader reader;
    ReaderObjectRun() {
        reader.SetContext(&context);
        context.Hosts().AppendObject(&reader, 1);
        ScriptValue v, g = context.Global();
        heap.NewObject(&reader, &v);
        heap.SetProperty(g, u"rd", 2, v);
        heap.Release(v);
        heap.Release(g);
    }
};

TEST(ScriptReaderObjectTest, NavigatorAndDeviceMembers) {
    ReaderObjectRun r;
    EXPECT_EQ(
        r.Printed(
            "print(navigator.appVersion, navigator.language, navigator.platform, appVersion)"),
        "1.0 en PocketPC 1.0");
    EXPECT_EQ(r.Printed("print(device.screenWidth, device.screenHeight, device.hasPointer, "
                        "device.hasFullKeyboard, device.getenv('language'), '[' + "
                        "device.getenv('nope') + ']')"),
              "480 320 true false en []");
    ASSERT_TRUE(r.Run("device.screenWidth = 5"));
    EXPECT_EQ(r.rc, ScriptErrors::kCannotSet);
    ASSERT_TRUE(r.Run("navigator.getenv('x')"));
    EXPECT_EQ(r.rc, ScriptErrors::kMemberUnknown);
    ASSERT_TRUE(r.Run("device.getenv()"));
    EXPECT_EQ(r.rc, ScriptErrors::kBadParameterCount);
}

TEST(ScriptReaderObjectTest, UserPropertiesHoldValuesButCannotBeCalled) {
    ReaderObjectRun r;
    ASSERT_TRUE(r.Run("rd.note = 'kept'; rd.count = 2; rd.count += 3; rd.note + rd.count"));
    EXPECT_EQ(r.rc, 0) << r.Message();
    EXPECT_EQ(r.result, "kept5");
    EXPECT_EQ(r.reader.PropertyCount(), 2);
    ASSERT_TRUE(r.Run("rd.note()"));
    EXPECT_EQ(r.rc, ScriptErrors::kInvalidType);
    ScriptMemberRef ref;
    ScriptName name;
    EXPECT_EQ(r.reader.MemberAt(nullptr, 1, &ref, &name), 0);
    EXPECT_TRUE(name.EqualsAscii("count"));
    EXPECT_EQ(r.reader.MemberAt(nullptr, 2, &ref, &name), ScriptErrors::kMemberUnknown);
    r.reader.Clear();
    ASSERT_TRUE(r.Run("rd.note"));
    EXPECT_EQ(r.rc, ScriptErrors::kMemberUnknown);
}

TEST(ScriptReaderObjectTest, NumberFunctionsAreDelegatedToTheEngine) {
    ReaderObjectRun r;
    ScriptMemberRef ref;
    ref.object = &r.reader;
    ScriptName name;
    std::u16string text = u"parseInt";
    name.chars = text.data();
    name.length = static_cast<std::uint32_t>(text.size());
    name.id = 246;
    name.key = 246;
    ASSERT_EQ(r.reader.Resolve(nullptr, name, &ref, false), 0);
    ScriptValue arg, out;
    r.heap.NewStringAscii("42px", &arg);
    int err = -1;
    EXPECT_EQ(r.reader.Call(&err, &ref, 1, &arg, &out), 0);
    EXPECT_EQ(err, 0);
    double d = 0;
    r.heap.ToNumber(out, &d);
    EXPECT_EQ(d, 42);
    r.heap.Release(arg);
    r.heap.Release(out);
    // A command that is not its own is left to the caller.
    ScriptMemberRef other;
    other.object = &r.reader;
    other.code = 50;
    EXPECT_EQ(r.reader.Call(nullptr, &other, 0, nullptr, &out), ScriptErrors::kMemberUnknown);
}

TEST(ScriptReaderObjectTest, StringFormsOfTheInterface) {
    ScriptHeap heap;
    String s(u"caf\u00e9", 4), back;
    ScriptValue v;
    ASSERT_EQ(heap.NewString(s, &v), 0);
    ASSERT_EQ(heap.ToString(v, &back), 0);
    EXPECT_TRUE(back == s);
    heap.Release(v);
    String esc;
    EXPECT_TRUE(Script::EscapeStringLiteral(String(u"it's"), &esc));
    EXPECT_TRUE(esc.EqualsAscii("it\\'s"));
    String name;
    EXPECT_TRUE(Script::TokenName(286, &name));
    EXPECT_TRUE(name.EqualsAscii("recordset"));
    EXPECT_FALSE(Script::TokenName(75, &name));
    ScriptCode unit;
    EXPECT_EQ(unit.AddString(String(u"lit"), true), 0);
    ScriptError err;
    EXPECT_FALSE(ScriptEngine::CompileText(String(u"x ="), &unit, String(u"u"), &err));
    String msg;
    EXPECT_TRUE(err.MessageString(&msg));
    EXPECT_TRUE(msg.EqualsAscii("Error: Syntax error: unexpected end of script (line 1)"));
}

}  // namespace
