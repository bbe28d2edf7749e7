// One token spanning many one-character pages (a long comment, script or attribute value in a
// book): the cost per page should stay flat, so the 10,000-page run takes about ten times the
// 1,000-page one (the complexity fit reports it).
#include <benchmark/benchmark.h>

#include <string>

#include "document/markup/char_stream.h"
#include "document/markup/html_tokenizer.h"
#include "support/document/memory_document.h"

namespace {

void BM_TokenOverManyPages(benchmark::State& state) {
    const auto pages = static_cast<size_t>(state.range(0));
    MemoryDocument doc(std::u16string(pages, u'w') + u" end", 1);
    for (auto _ : state) {
        CharStream stream;
        stream.scanner.LoadTables(PlainTextTableSet());
        stream.Attach(&doc, 0);
        int32_t token;
        benchmark::DoNotOptimize(stream.ReadToken(token, 0));
        benchmark::DoNotOptimize(stream.GetLength());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_TokenOverManyPages)->Arg(1000)->Arg(10000)->Complexity(benchmark::oN);

}  // namespace
