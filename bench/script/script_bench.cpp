// Interpreter and compiler speed: loops, calls, string building, host members, compiling 100 KB.
// Each script benchmark reports bytecode operations per second ("ops"); BM_NativeLoop is the
// baseline of the same arithmetic in C++.
#include <benchmark/benchmark.h>

#include <string>

#include "script/script_engine.h"

namespace {

class Host : public ScriptObject {
public:
    double value = 0;
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool) override {
        if (name.length != 5) return Done(err, ScriptErrors::kMemberUnknown);
        ref->object = this;
        ref->code = 1;
        return Done(err, 0);
    }
    int GetValue(int* err, ScriptMemberRef*, ScriptHeap* heap, ScriptValue* out) override {
        return Done(err, heap->NewNumber(value += 1, out));
    }
};

void RunScript(benchmark::State& state, const char16_t* text) {
    ScriptHeap heap;
    Host host;
    ScriptContext ctx(&heap);
    ctx.Hosts().AppendObject(&host, 0);
    ctx.instructionBudget = 1ull << 40;
    ScriptCode unit;
    if (!ScriptEngine::CompileText(text, &unit, u"bench", nullptr)) {
        state.SkipWithError("compile failed");
        return;
    }
    std::uint64_t ops = 0;
    for (auto _ : state) {
        ScriptValue r;
        if (ScriptEngine::Run(&ctx, &unit, nullptr, ScriptValues::kUndefined, &r, nullptr)) {
            state.SkipWithError("run failed");
            return;
        }
        heap.Release(r);
        ops += ctx.instructionsUsed;
    }
    state.counters["ops"] =
        benchmark::Counter(static_cast<double>(ops), benchmark::Counter::kIsRate);
}

void BM_NativeLoop(benchmark::State& state) {
    for (auto _ : state) {
        double t = 0;
        for (int i = 0; i < 100000; ++i) {
            t += i;
            benchmark::DoNotOptimize(t);
        }
    }
}
BENCHMARK(BM_NativeLoop);

void BM_Loop(benchmark::State& state) {
    RunScript(
        state,
        u"function f() { var t = 0; for (var i = 0; i < 100000; i++) t += i; return t; } f()");
}
BENCHMARK(BM_Loop);

void BM_GlobalLoop(benchmark::State& state) {
    RunScript(state, u"var t = 0; for (var i = 0; i < 100000; i++) t += i; t");
}
BENCHMARK(BM_GlobalLoop);

void BM_Calls(benchmark::State& state) {
    RunScript(state,
              u"function add(a, b) { return a + b; } function f() { var t = 0; "
              u"for (var i = 0; i < 50000; i++) t = add(t, i); return t; } f()");
}
BENCHMARK(BM_Calls);

void BM_Closures(benchmark::State& state) {
    RunScript(
        state,
        u"function mk() { var c = 0; return function() { return ++c; }; } var g = mk(); "
        u"function f() { var t = 0; for (var i = 0; i < 50000; i++) t += g(); return t; } f()");
}
BENCHMARK(BM_Closures);

void BM_StringBuild(benchmark::State& state) {
    RunScript(state,
              u"function f() { var s = ''; for (var i = 0; i < 20000; i++) s += 'ab' + i; "
              u"return s.length; } f()");
}
BENCHMARK(BM_StringBuild);

void BM_HostMember(benchmark::State& state) {
    RunScript(
        state,
        u"function f() { var t = 0; for (var i = 0; i < 20000; i++) t += value; return t; } f()");
}
BENCHMARK(BM_HostMember);

std::u16string HundredKb() {
    std::u16string text;
    int n = 0;
    while (text.size() < 100 * 1024) {
        std::string f =
            "function f" + std::to_string(n) +
            "(a, b) {\n  var s = 'text ' + a;\n"
            "  for (var i = 0; i < b; i++) { if (i % 3 == 0) s += i; else s = s.slice(1); }\n"
            "  var o = {k: [1, 2, 3], m: a * 2.5}; return s + o.k.join(',') + o.m;\n}\n";
        for (char c : f) text.push_back(static_cast<char16_t>(c));
        ++n;
    }
    return text;
}

void BM_Compile100KB(benchmark::State& state) {
    std::u16string text = HundredKb();
    for (auto _ : state) {
        ScriptCode unit;
        if (!ScriptEngine::CompileText(text, &unit, u"big", nullptr)) {
            state.SkipWithError("compile failed");
            return;
        }
        benchmark::DoNotOptimize(unit.StringCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * text.size());
}
BENCHMARK(BM_Compile100KB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
