#include "support/bookfiles/book_compressors.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <queue>

Bytes PalmDocCompress(const std::uint8_t* data, std::size_t size) {
    Bytes out;
    std::vector<int> head(1 << 12, -1);
    std::vector<int> previous(size, -1);
    auto hash = [&](std::size_t i) {
        return ((data[i] << 8) ^ (data[i + 1] << 4) ^ data[i + 2]) & 0xFFF;
    };
    std::size_t i = 0;
    auto insert = [&](std::size_t at) {
        if (at + 2 < size) {
            int h = hash(at);
            previous[at] = head[h];
            head[h] = static_cast<int>(at);
        }
    };
    while (i < size) {
        std::size_t bestLength = 0, bestDistance = 0;
        if (i + 2 < size) {
            int candidate = head[hash(i)];
            for (int steps = 0; candidate >= 0 && steps < 32;
                 ++steps, candidate = previous[candidate]) {
                std::size_t distance = i - static_cast<std::size_t>(candidate);
                if (distance > 2047) break;
                std::size_t length = 0;
                while (length < 10 && i + length < size &&
                       data[candidate + length] == data[i + length])
                    ++length;
                if (length > bestLength) {
                    bestLength = length;
                    bestDistance = distance;
                }
            }
        }
        if (bestLength >= 3) {
            std::uint32_t v =
                0x8000 | (static_cast<std::uint32_t>(bestDistance) << 3) | (bestLength - 3);
            out.push_back(static_cast<std::uint8_t>(v >> 8));
            out.push_back(static_cast<std::uint8_t>(v));
            for (std::size_t k = 0; k < bestLength; ++k) insert(i + k);
            i += bestLength;
            continue;
        }
        std::uint8_t c = data[i];
        if (c == ' ' && i + 1 < size && data[i + 1] >= 0x40 && data[i + 1] <= 0x7F) {
            out.push_back(static_cast<std::uint8_t>(data[i + 1] ^ 0x80));
            insert(i);
            insert(i + 1);
            i += 2;
            continue;
        }
        if (c == 0 || (c >= 0x09 && c <= 0x7F)) {
            out.push_back(c);
            insert(i);
            ++i;
            continue;
        }
        // A run of bytes that need quoting, at most 8.
        std::size_t n = 0;
        while (n < 8 && i + n < size &&
               (data[i + n] >= 0x80 || (data[i + n] >= 1 && data[i + n] <= 8)))
            ++n;
        out.push_back(static_cast<std::uint8_t>(n));
        for (std::size_t k = 0; k < n; ++k) {
            out.push_back(data[i + k]);
            insert(i + k);
        }
        i += n;
    }
    return out;
}

namespace {

using Symbols = std::vector<std::uint32_t>;

// Greedy longest-entry tokenising; `limit` restricts which entries may be used.
Symbols Tokenize(const std::uint8_t* p, std::size_t n, const std::vector<std::string>& words,
                 std::size_t limit) {
    Symbols out;
    std::size_t i = 0;
    while (i < n) {
        std::size_t best = 0, bestLength = 0;
        for (std::size_t w = 0; w < limit; ++w) {
            const std::string& word = words[w];
            if (word.size() > bestLength && word.size() <= n - i &&
                std::memcmp(p + i, word.data(), word.size()) == 0) {
                best = w;
                bestLength = word.size();
            }
        }
        if (bestLength > 0) {
            out.push_back(static_cast<std::uint32_t>(256 + best));
            i += bestLength;
        } else {
            out.push_back(p[i]);
            ++i;
        }
    }
    return out;
}

// Huffman code lengths, limited to `limit` bits by flattening the frequencies when needed.
std::vector<std::uint8_t> CodeLengths(std::vector<std::uint64_t> freq, std::uint32_t limit) {
    std::size_t s = freq.size();
    for (;;) {
        std::vector<std::uint8_t> lengths(s, 0);
        struct Node {
            std::uint64_t weight;
            int left, right;
        };
        std::vector<Node> nodes;
        using Item = std::pair<std::uint64_t, int>;
        std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
        for (std::size_t i = 0; i < s; ++i) {
            if (freq[i]) {
                nodes.push_back({freq[i], -1, static_cast<int>(i)});
                queue.push({freq[i], static_cast<int>(nodes.size() - 1)});
            }
        }
        if (nodes.size() == 1) {
            lengths[nodes[0].right] = 1;
            return lengths;
        }
        while (queue.size() > 1) {
            Item a = queue.top();
            queue.pop();
            Item b = queue.top();
            queue.pop();
            nodes.push_back({a.first + b.first, a.second, b.second});
            queue.push({a.first + b.first, static_cast<int>(nodes.size() - 1)});
        }
        bool tooLong = false;
        std::vector<std::pair<int, int>> stack{{queue.top().second, 0}};
        while (!stack.empty()) {
            auto [index, depth] = stack.back();
            stack.pop_back();
            const Node& node = nodes[index];
            if (node.left < 0) {
                lengths[node.right] = static_cast<std::uint8_t>(depth);
                if (static_cast<std::uint32_t>(depth) > limit) tooLong = true;
            } else {
                stack.push_back({node.left, depth + 1});
                stack.push_back({node.right, depth + 1});
            }
        }
        if (!tooLong) return lengths;
        for (auto& f : freq)
            if (f) f = f / 2 + 1;
    }
}

struct BitWriter {
    Bytes bytes;
    std::uint32_t bits = 0;
    void Put(std::uint32_t code, std::uint32_t length) {
        for (std::uint32_t k = length; k-- > 0;) {
            if (bits % 8 == 0) bytes.push_back(0);
            if ((code >> k) & 1) bytes.back() |= static_cast<std::uint8_t>(0x80 >> (bits % 8));
            ++bits;
        }
    }
};

}  // namespace

HuffTables HuffCompress(const std::vector<Bytes>& records,
                        const std::vector<std::string>& dictionary, bool nestEntries,
                        std::uint32_t entriesPerCdic) {
    std::uint32_t s = 256 + static_cast<std::uint32_t>(dictionary.size());
    std::vector<Symbols> texts;
    for (const Bytes& r : records)
        texts.push_back(Tokenize(r.data(), r.size(), dictionary, dictionary.size()));
    // Entry w may use entries before it; that nests the expansions.
    std::vector<Symbols> entries;
    for (std::size_t w = 0; w < dictionary.size(); ++w) {
        const std::string& word = dictionary[w];
        entries.push_back(Tokenize(reinterpret_cast<const std::uint8_t*>(word.data()), word.size(),
                                   dictionary, nestEntries ? w : 0));
    }
    std::vector<std::uint64_t> freq(s, 0);
    for (const Symbols& t : texts)
        for (std::uint32_t sym : t) ++freq[sym];
    if (nestEntries)
        for (const Symbols& e : entries)
            for (std::uint32_t sym : e) ++freq[sym];
    for (std::uint32_t sym = 256; sym < s; ++sym) freq[sym] += 1;  // every entry gets a code
    if (std::all_of(freq.begin(), freq.end(), [](std::uint64_t f) { return f == 0; }))
        freq[' '] = 1;
    std::vector<std::uint8_t> lengths = CodeLengths(freq, 24);
    std::uint32_t maxLength = *std::max_element(lengths.begin(), lengths.end());

    // Canonical codes.
    std::vector<std::uint32_t> count(maxLength + 2, 0), next(maxLength + 2, 0), codes(s, 0);
    for (std::uint8_t l : lengths)
        if (l) ++count[l];
    std::uint32_t code = 0;
    for (std::uint32_t l = 1; l <= maxLength; ++l) {
        code = (code + count[l - 1]) << 1;
        next[l] = code;
    }
    for (std::uint32_t sym = 0; sym < s; ++sym)
        if (lengths[sym]) codes[sym] = next[lengths[sym]]++;

    auto encode = [&](const Symbols& symbols, std::size_t expanded) {
        BitWriter w;
        for (std::uint32_t sym : symbols) w.Put(codes[sym], lengths[sym]);
        Bytes out;
        PutU16(out, static_cast<std::uint32_t>(expanded));
        out.insert(out.end(), w.bytes.begin(), w.bytes.end());
        return out;
    };

    HuffTables t;
    PutText(t.huff, "HUFF");
    PutU32(t.huff, 16);
    PutU32(t.huff, s);
    t.huff.push_back(static_cast<std::uint8_t>(maxLength));
    t.huff.insert(t.huff.end(), 3, 0);
    t.huff.insert(t.huff.end(), lengths.begin(), lengths.end());
    for (std::size_t i = 0; i < records.size(); ++i)
        t.records.push_back(encode(texts[i], records[i].size()));

    for (std::size_t first = 0; first < dictionary.size(); first += entriesPerCdic) {
        std::size_t e = std::min<std::size_t>(entriesPerCdic, dictionary.size() - first);
        Bytes cdic;
        PutText(cdic, "CDIC");
        PutU32(cdic, 16);
        PutU32(cdic, static_cast<std::uint32_t>(256 + first));
        PutU32(cdic, static_cast<std::uint32_t>(e));
        std::size_t table = cdic.size();
        cdic.resize(table + 4 * e);
        for (std::size_t k = 0; k < e; ++k) {
            SetU32(cdic, table + 4 * k, static_cast<std::uint32_t>(cdic.size()));
            const std::string& word = dictionary[first + k];
            bool nested = nestEntries && entries[first + k].size() < word.size();
            if (nested) {
                Bytes body = encode(entries[first + k], word.size());
                PutU16(cdic, static_cast<std::uint32_t>(body.size()));
                cdic.insert(cdic.end(), body.begin(), body.end());
            } else {
                PutU16(cdic, 0x8000 | static_cast<std::uint32_t>(word.size()));
                PutText(cdic, word);
            }
        }
        t.cdics.push_back(std::move(cdic));
    }
    return t;
}
