// LIKE over index tables whose keys are sorted by a collation (accents weighed as their plain
// letters, a ligature as its two letters, a hyphen ignored) or by their bytes: every pattern
// finds exactly the keys a match over every key finds, walked forward and back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "bookfiles/palm_database.h"
#include "database/book_index_source.h"
#include "support/bookfiles/index_fixture.h"

namespace {

// For failure messages.
std::string Utf8(const std::u16string& s) {
    std::string r;
    for (char16_t c : s) {
        if (c < 0x80) {
            r += static_cast<char>(c);
        } else if (c < 0x800) {
            r += static_cast<char>(0xC0 | (c >> 6));
            r += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            r += static_cast<char>(0xE0 | (c >> 12));
            r += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            r += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return r;
}

String W(const std::u16string& s) {
    String r;
    r.AppendChars(s.data(), static_cast<int32_t>(s.size()));
    return r;
}

// A French word list's order: case and accents weigh as the plain lower-case letter, "œ"
// as "oe", a hyphen not at all.
void Collate(IndexWriter& w) {
    w.flags = 1;
    w.weights.assign(0x180, 0);
    for (char16_t c = 0x20; c < 0x180; ++c) w.weights[c] = static_cast<std::uint16_t>(0x100 + c);
    auto same = [&](const std::u16string& letters, char16_t base) {
        for (char16_t c : letters) w.weights[c] = w.weights[base];
    };
    same(u"A\u00e0\u00e2\u00e4\u00c0\u00c2", u'a');
    same(u"E\u00e9\u00e8\u00ea\u00eb\u00c9\u00c8\u00ca", u'e');
    same(u"I\u00ee\u00ef", u'i');
    same(u"O\u00f4\u00d4", u'o');
    same(u"U\u00f9\u00fb\u00fc", u'u');
    same(u"C\u00e7", u'c');
    for (char16_t c = u'B'; c <= u'Z'; ++c) w.weights[c] = w.weights[c + 32];
    w.weights[u'-'] = 0;
    w.ligatures.push_back({u'\u0153', u'o', u'e'});
}

// Some 2,000 keys: words of French letters, most starting with "b", beside the ones the
// collation puts out of literal order.
std::vector<std::u16string> Keys() {
    std::set<std::u16string> keys = {
        u"b",      u"ba",   u"BA",  u"bâ",    u"bâette",      u"bailoir", u"bailoir-lau", u"Bateau",
        u"bâton",  u"baie", u"bo",  u"boeuf", u"bœuf",        u"Bœuf",    u"bo-uf",       u"éclair",
        u"eclair", u"Éloi", u"b_a", u"b%a",   u"bailoir_lau", u"zèbre"};
    const std::u16string letters = u"aaabdeeéèêfiilmnooôrstuuœ-";
    std::uint32_t seed = 89;
    auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    while (keys.size() < 2000) {
        std::u16string k = next(4) ? u"b" : std::u16string(1, letters[next(letters.size() - 1)]);
        const std::uint32_t length = 1 + next(7);
        for (std::uint32_t i = 0; i < length; ++i) k += letters[next(letters.size())];
        // A capital now and then.
        if (next(9) == 0 && k[0] >= u'a' && k[0] <= u'z') k[0] = static_cast<char16_t>(k[0] - 32);
        keys.insert(k);
    }
    return {keys.begin(), keys.end()};
}

struct CollatedBook {
    Bytes bytes;
    std::unique_ptr<PalmDatabase> db;
    std::uint32_t collated = 0, byBytes = 0;

    CollatedBook() {
        PdbBuilder pdb;
        pdb.Add(ToBytes("record zero"));
        IndexWriter c, b;
        c.language = b.language = 12;
        Collate(c);
        std::uint32_t n = 0;
        for (const std::u16string& k : Keys()) {
            EXPECT_TRUE(c.Add(k, {{1, {n}}}));
            EXPECT_TRUE(b.Add(k, {{1, {n}}}));
            ++n;
        }
        EXPECT_TRUE(AddIndexTable(c, &pdb, &collated));
        EXPECT_TRUE(AddIndexTable(b, &pdb, &byBytes));
        bytes = pdb.Build();
        int error = 0;
        db.reset(PalmDatabase::OpenView(bytes.data(), bytes.size(), &error));
    }
};

// The entries a query walks to, forward; and backward, turned round.
void Walk(IndexQuery* q, std::vector<int32_t>& forward, std::vector<int32_t>& backward) {
    forward.clear();
    backward.clear();
    for (RecordPosition p = q->Next(RecordPosition::At(-1)); p.IsRow(); p = q->Next(p))
        forward.push_back(q->EntryAt(p));
    for (RecordPosition p = q->Previous(RecordPosition::At(RecordPosition::kAfterLast)); p.IsRow();
         p = q->Previous(p))
        backward.insert(backward.begin(), q->EntryAt(p));
}

TEST(CollatedLike, EveryPatternFindsWhatAMatchOverEveryKeyFinds) {
    CollatedBook book;
    ASSERT_TRUE(book.db);
    {
        // The collation puts "bâette" before "bailoir": where a scan for "ba" used to stop.
        BookIndexSource* source = BookIndexSource::Open(book.db.get(), book.collated);
        ASSERT_NE(source, nullptr);
        String key;
        std::vector<std::u16string> sorted;
        for (uint32_t e = 0; e < source->EntryCount() && source->Key(e, key); ++e)
            sorted.emplace_back(key.Data(), static_cast<size_t>(key.Length()));
        source->Release();
        const auto accented = std::find(sorted.begin(), sorted.end(), u"bâette");
        ASSERT_NE(accented, sorted.end());
        ASSERT_LT(accented, std::find(sorted.begin(), sorted.end(), u"bailoir"));
    }
    const std::vector<std::u16string> patterns = {
        u"b%",   u"ba%",    u"bo%",         u"bo_uf",  u"bâ%", u"BA%", u"bœ%", u"b_i%", u"%uf",
        u"ba",   u"bâette", u"bailoir-lau", u"bai%-%", u"é%",  u"e%",  u"_a%", u"%",    u"b%r",
        u"bo-%", u"B%e",    u"bailoir%",    u"zè%",    u"b_a", u"ba_", u"bo%f"};
    for (const std::uint32_t table : {book.collated, book.byBytes}) {
        BookIndexResolver tables(book.db.get());
        tables.AddTable(table);
        BookIndexSource* source = BookIndexSource::Open(book.db.get(), table);
        ASSERT_NE(source, nullptr);
        const bool collated = table == book.collated;
        for (const std::u16string& pattern : patterns) {
            std::vector<int32_t> expected;
            String key;
            for (uint32_t e = 0; e < source->EntryCount(); ++e) {
                ASSERT_TRUE(source->Key(e, key));
                if (SqlMatch::Like(key, W(pattern))) expected.push_back(static_cast<int32_t>(e));
            }
            IndexQuery* q = nullptr;
            ASSERT_EQ(SqlParser::Parse(
                          W(u"SELECT * FROM '$tableid=0' AS tab WHERE tab LIKE '" + pattern + u"'"),
                          &tables, q),
                      0);
            std::vector<int32_t> forward, backward;
            Walk(q, forward, backward);
            q->Release();
            const std::string name = Utf8(pattern);
            EXPECT_EQ(forward, expected) << (collated ? "collated" : "by bytes") << ": " << name;
            EXPECT_EQ(backward, expected) << (collated ? "collated" : "by bytes") << ": " << name;
        }
        source->Release();
    }
}

}  // namespace
