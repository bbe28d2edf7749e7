// Feeds arbitrary bytes to every core reader of outside data: the continuing converters, text
// operations, character references, percent-decoding, byte streams and the string pool.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/byte_stream.h"
#include "core/charset.h"
#include "core/html.h"
#include "core/string.h"
#include "core/string_pool.h"
#include "core/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    size_t cut = data[0] % (size + 1);
    const int pages[] = {65001, 65002, 1252, 932};
    int cp = pages[data[0] % 4];
    std::vector<char16_t> out(Charset::MaxOutput(size));
    std::vector<uint32_t> map(out.size());
    CharsetState state{};
    int32_t a = Charset::Continue(&state, cp, data, cut, out.data(), out.size(), map.data(), false);
    if (a >= 0)
        Charset::Continue(&state, cp, data + cut, size - cut, out.data() + a, out.size() - a,
                          map.data() + a, true);

    Text t;
    t.AssignBytes(data, size, cp);
    String s;
    s.AssignFromText(t);
    t.CharCount();
    t.Hash();
    Text decoded;
    Html::DecodeEntities(t, decoded, false);
    t.SetViewChars(data[0] % 7, data[size - 1] % 11);
    String u = s;
    u.UriEscape(false, true);
    u.UriEscape(true, true);
    uint32_t v;
    s.ParseUnsigned(data[0] % 40, v);

    ByteStream stream;
    stream.WriteBytes(data, size);
    StringPool pool(stream);
    String piece;
    for (int i = 0; i < 64 && stream.Ok() && stream.Remaining() > 0; ++i) pool.ReadString(piece);
    stream.SetReadPosition(0);
    ByteStream block;
    while (stream.Ok() && stream.Remaining() > 0) {
        if (!stream.ReadBlock(block)) break;
    }
    stream.Clear();
    stream.WriteBytes(data, size);
    while (stream.Ok() && stream.GetVarU32(v)) {
    }
    return 0;
}
