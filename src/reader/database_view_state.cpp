#include "reader/database_view_state.h"

#include "core/byte_stream.h"

namespace {

constexpr uint32_t kTag = 0x494E4458;  // "INDX"
constexpr uint32_t kPlainFixedBytes = 72;
constexpr uint32_t kQueryFixedBytes = 20;
constexpr uint32_t kLevelRecordBytes = 28;
constexpr uint32_t kPlainLastLevel = 2;

uint32_t TextBytes(const String& s) { return static_cast<uint32_t>(s.Length()) * 2; }

bool PutChars(ByteStream& out, const String& s) {
    for (int32_t i = 0; i < s.Length(); ++i)
        if (!out.WriteWord16BE(s[i])) return false;
    return true;
}

bool GetChars(ByteStream& in, uint32_t count, String& out) {
    if (count > in.Remaining() / 2) return false;
    String s;
    if (!s.Reserve(static_cast<int32_t>(count) + 1)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint16_t c = 0;
        if (!in.ReadWord16BE(c) || !s.AppendChar(c)) return false;
    }
    out = s;
    return true;
}

// A saved search text: the code page must be ours and the length whole characters.
bool CheckText(uint32_t codePage, uint32_t bytes) {
    return (codePage == DatabaseViewState::kSearchCodePage || bytes == 0) && bytes % 2 == 0;
}

bool PutPosition(ByteStream& out, const IndexPosition& p) {
    const uint32_t words[2] = {p.record, p.entry};
    return out.WriteWords32BE(words, 2);
}

void GetPosition(const uint32_t* words, IndexPosition& p) {
    p.record = words[0];
    p.entry = words[1];
}

}  // namespace

bool DatabaseViewState::Save(ByteStream& out, const ByteStream* extra) const {
    bool ok = out.WriteWord32BE(kTag);
    if (!query) {
        const uint32_t head[] = {kSearchCodePage,
                                 TextBytes(search1),
                                 kSearchCodePage,
                                 TextBytes(search2),
                                 static_cast<uint32_t>(titleTemplate.Length()),
                                 static_cast<uint32_t>(keyTemplate.Length()),
                                 level,
                                 flags,
                                 static_cast<uint32_t>(selected1)};
        ok = ok && out.WriteWords32BE(head, 9) && PutPosition(out, top1) &&
             out.WriteWord32BE(static_cast<uint32_t>(selected2)) && PutPosition(out, top2) &&
             PutPosition(out, keysEntry) && out.WriteWord32BE(static_cast<uint32_t>(stateWord)) &&
             PutChars(out, search1) && PutChars(out, search2) && PutChars(out, titleTemplate) &&
             PutChars(out, keyTemplate) && out.PutVarU32(TextBytes(further)) &&
             PutChars(out, further);
    } else {
        const uint32_t head[] = {level, static_cast<uint32_t>(levels.size()),
                                 static_cast<uint32_t>(titleTemplate.Length()), flags};
        ok = ok && out.WriteWords32BE(head, 4);
        for (const DatabaseViewLevel& l : levels) {
            const uint32_t tail[] = {static_cast<uint32_t>(l.selected), kSearchCodePage,
                                     TextBytes(l.search)};
            ok = ok && PutPosition(out, l.top) && PutPosition(out, l.chosen) &&
                 out.WriteWords32BE(tail, 3);
        }
        ok = ok && out.WriteWord32BE(static_cast<uint32_t>(stateWord)) &&
             PutChars(out, titleTemplate);
        for (const DatabaseViewLevel& l : levels) ok = ok && PutChars(out, l.search);
    }
    ok = ok && out.PadToAlignment(4);
    if (ok && extra && extra->Size() > 0) ok = out.AppendStream(*extra);
    return ok;
}

bool DatabaseViewState::Restore(ByteStream& in, uint32_t expectedLevels) {
    const uint32_t start = in.ReadPosition();
    DatabaseViewState s;
    s.query = query;
    auto fail = [&] {
        in.SetReadPosition(start);
        return false;
    };
    if (in.Remaining() < (query ? kQueryFixedBytes : kPlainFixedBytes)) return fail();
    uint32_t tag = 0;
    if (!in.ReadWord32BE(tag) || tag != kTag) return fail();
    if (!query) {
        uint32_t w[17] = {};
        if (!in.ReadWords32BE(w, 17)) return fail();
        if (!CheckText(w[0], w[1]) || !CheckText(w[2], w[3]) || w[6] > kPlainLastLevel)
            return fail();
        s.level = w[6];
        s.flags = w[7];
        s.selected1 = static_cast<int32_t>(w[8]);
        GetPosition(w + 9, s.top1);
        s.selected2 = static_cast<int32_t>(w[11]);
        GetPosition(w + 12, s.top2);
        GetPosition(w + 14, s.keysEntry);
        s.stateWord = static_cast<int32_t>(w[16]);
        uint32_t furtherBytes = 0;
        if (!GetChars(in, w[1] / 2, s.search1) || !GetChars(in, w[3] / 2, s.search2) ||
            !GetChars(in, w[4], s.titleTemplate) || !GetChars(in, w[5], s.keyTemplate) ||
            !in.GetVarU32(furtherBytes) || furtherBytes % 2 != 0 ||
            !GetChars(in, furtherBytes / 2, s.further))
            return fail();
    } else {
        uint32_t w[4] = {};
        if (!in.ReadWords32BE(w, 4)) return fail();
        const uint32_t count = w[1];
        if (count != expectedLevels || count == 0 || w[0] >= count) return fail();
        if (count > in.Remaining() / kLevelRecordBytes) return fail();
        s.level = w[0];
        s.flags = w[3];
        s.levels.resize(count);
        std::vector<uint32_t> textBytes(count);
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t r[7] = {};
            if (!in.ReadWords32BE(r, 7) || !CheckText(r[5], r[6])) return fail();
            GetPosition(r, s.levels[i].top);
            GetPosition(r + 2, s.levels[i].chosen);
            s.levels[i].selected = static_cast<int32_t>(r[4]);
            textBytes[i] = r[6];
        }
        uint32_t word = 0;
        if (!in.ReadWord32BE(word) || !GetChars(in, w[2], s.titleTemplate)) return fail();
        s.stateWord = static_cast<int32_t>(word);
        for (uint32_t i = 0; i < count; ++i)
            if (!GetChars(in, textBytes[i] / 2, s.levels[i].search)) return fail();
    }
    in.AlignReadPosition(4);
    *this = std::move(s);
    return true;
}
