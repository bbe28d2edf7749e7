// Forms a book defines in its "forms" table: found by position, by script name, and fields
// bound to the table's entries.
#include <gtest/gtest.h>

#include <string>

#include "bookfiles/palm_database.h"
#include "document/location/location.h"
#include "document/sources/book_resource.h"
#include "document/sources/index_table_data_handle.h"
#include "document_upper/forms/form.h"
#include "document_upper/forms/form_list.h"
#include "forms_book.h"
#include "graphics/controls/index_field_control.h"
#include "graphics/controls/text_entry_control.h"

namespace {

struct BookForms {
    BookForms() : bytes(FormsBook()) {
        int error = 0;
        PalmDatabase* db = PalmDatabase::LoadInMemory(bytes.data(), bytes.size(), &error);
        EXPECT_EQ(BookResource::Create(db, 1252, 65002, resource), 0);
        list.OpenFormsTable(resource);
    }
    ~BookForms() {
        list.Clear(0);
        if (resource) resource->Release();
    }
    std::vector<uint8_t> bytes;
    BookResource* resource = nullptr;
    FormList list;
};

std::string N(const String& s) {
    std::string r;
    for (int32_t i = 0; i < s.Length(); ++i) r.push_back(static_cast<char>(s[i]));
    return r;
}

}  // namespace

TEST(FormsTable, APositionLeadsToItsFormWithTheTablesSettings) {
    BookForms b;
    ASSERT_NE(b.list.FormsTable(), nullptr);
    EXPECT_EQ(b.list.FindByPosition(99, 5), nullptr);
    Form* f = b.list.FindByPosition(150, 5);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(N(f->Name()), "order");
    EXPECT_EQ(N(f->Action()), "result.htm");
    // The table's texts are read with the same codes as the markup's attributes.
    EXPECT_EQ(f->Method(), 0u);        // POST
    EXPECT_EQ(f->EncodingType(), 0u);  // XML
    EXPECT_TRUE(f->IsPersistent());
    EXPECT_FALSE(f->IsAutoSubmit());
    EXPECT_EQ(f->TextStart(), 100u);
    EXPECT_EQ(f->TextEnd(), 200u);
    EXPECT_EQ(f->DocumentKey(), 5);
    // Inside the range the same form comes back without the table.
    EXPECT_EQ(b.list.FindByPosition(199, 5), f);
    EXPECT_EQ(b.list.Count(), 1);
}

TEST(FormsTable, TextsOutsideTheTableAreAbsent) {
    BookForms b;
    int err = -1;
    ScriptName name;
    name.chars = u"broken";
    name.length = 6;
    ScriptMemberRef ref;
    ASSERT_EQ(b.list.Resolve(&err, name, &ref, false), 0);
    auto* f = static_cast<Form*>(ref.object);
    EXPECT_TRUE(f->Action().IsEmpty());
    EXPECT_TRUE(f->OnSubmit().IsEmpty());
    EXPECT_EQ(f->TextStart(), 0u);  // a tag 6 with one number counts as missing

    ScriptMemberRef none;
    name.chars = u"nothing";
    name.length = 7;
    EXPECT_EQ(b.list.Resolve(&err, name, &none, false), ScriptErrors::kMemberUnknown);
}

TEST(FormsTable, AScriptReachesATableFieldAndTheFormSubmitsIt) {
    struct Owner : FormListOwner {
        std::string link;
        bool RunHandler(ScriptObject*, const String&, uint32_t, String*) override { return true; }
        bool OpenLink(const String& text, bool) override {
            link = N(text);
            return true;
        }
        int32_t MessageBoxById(int32_t, int32_t, uint32_t) override { return 0; }
        TimerList* Timers() override { return nullptr; }
    } owner;
    BookForms b;
    b.list.SetOwner(&owner);
    Form* f = b.list.FindByPosition(150, 5);
    ASSERT_NE(f, nullptr);
    int err = 0;
    ScriptName name;
    name.chars = u"qty";
    name.length = 3;
    ScriptMemberRef ref;
    ASSERT_EQ(f->Resolve(&err, name, &ref, false), 0);
    auto* field = dynamic_cast<IndexFieldControl*>(static_cast<FormControl*>(ref.object));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(N(field->ValueText()), "5");
    EXPECT_EQ(field->Id(), 160);
    ASSERT_EQ(f->FieldCount(), 1);
    EXPECT_EQ(f->FieldAt(0)->owned, 1);
    EXPECT_TRUE(f->Submit());
    EXPECT_EQ(owner.link, "result.htm?qty=5");
}

TEST(FormsTable, AFieldWhosePageGoesIsTakenOverByATableFieldInsideABook) {
    BookForms b;
    Location inBook;
    inBook.type = Location::kFileInContainer;
    b.resource->SetLocation(inBook);
    Form* f = b.list.FindByPosition(150, 5);
    ASSERT_NE(f, nullptr);
    auto* page = new TextEntryControl(nullptr);
    ASSERT_TRUE(f->AddControl(page, String(u"note"), 170, false));
    page->RestoreState(String(u"kept"));
    page->Release();  // the page goes
    ASSERT_EQ(f->FieldCount(), 1);
    FormControl* replacement = f->FieldAt(0)->control;
    ASSERT_NE(replacement, nullptr);
    EXPECT_EQ(replacement->GetControlType(), 2);
    EXPECT_EQ(f->FieldAt(0)->owned, 1);
    String state;
    ASSERT_TRUE(replacement->SaveState(state));
    EXPECT_EQ(N(state), "kept");

    // Outside a book a control that was never shown just leaves its state behind.
    b.resource->SetLocation(Location());
    auto* other = new TextEntryControl(nullptr);
    ASSERT_TRUE(f->AddControl(other, String(u"other"), 180, false));
    other->Release();
    EXPECT_EQ(f->FieldAt(1)->control, nullptr);
}
