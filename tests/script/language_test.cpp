// The language: statements, expressions, functions and closures, conversions, built-ins.
#include <gtest/gtest.h>

#include "script_test_util.h"

namespace {

std::string P(const std::string& text) {
    ScriptRun r;
    std::string out = r.Printed(text);
    EXPECT_EQ(r.rc, 0) << r.Message() << " in: " << text;
    return out;
}

TEST(ScriptLanguageTest, StatementsAndControlFlow) {
    EXPECT_EQ(
        P("var s=''; for (var i=0;i<6;i++){ if(i==1) continue; if(i==4) break; s+=i; } print(s)"),
        "023");
    EXPECT_EQ(P("var n=0; while(n<5) n++; do { n+=10 } while(n<30) print(n)"), "35");
    EXPECT_EQ(
        P("function f(x){ switch(x){ case 1: return 'a'; case '1': return 'b'; "
          "case 2: case 3: return 'c'; default: return 'd'; } } print(f(1),f('1'),f(3),f(9))"),
        "a b c d");
    // fall-through, and default in the middle
    EXPECT_EQ(P("var r=''; switch(5){ case 1: r+='1'; default: r+='d'; case 2: r+='2'; break; "
                "case 3: r+='3' } print(r)"),
              "d2");
    // continue inside a switch inside a loop leaves the switch cleanly
    EXPECT_EQ(P("var r=''; for(var i=0;i<4;i++){ switch(i){ case 1: continue; default: r+=i; } } "
                "print(r)"),
              "023");
    EXPECT_EQ(P("if (0) print('a'); else if ('') print('b'); else print('c')"), "c");
}

TEST(ScriptLanguageTest, OperatorsFollowTheUsualPrecedenceAndConversions) {
    EXPECT_EQ(P("print(1+2*3, (1+2)*3, 7%3, -7%3, 2-3-4, 8/2/2)"), "7 9 1 -1 -5 2");
    EXPECT_EQ(P("print('1'+2, 1+'2', '3'*'4', 1+true, null+1, 'a'-1)"), "12 12 12 2 1 NaN");
    EXPECT_EQ(P("print(1<<4, -16>>2, -16>>>28, 5&3, 5|3, 5^3, ~5)"), "16 -4 15 1 7 6 -6");
    EXPECT_EQ(P("print('10'<'9', 10<9, '10'<9, null==0, undefined==null, '0'==false)"),
              "true false false false true true");
    EXPECT_EQ(P("print(1===1.0, '1'===1, NaN!=NaN, 0==-0)"), "true false true true");
    EXPECT_EQ(P("var a=0; var b = a || 'x'; var c = a && y; print(b, c, !a, !!'0')"),
              "x 0 true true");
    EXPECT_EQ(P("print(typeof 1, typeof 'a', typeof true, typeof null, typeof undefined, "
                "typeof {}, typeof print, typeof nothingHere)"),
              "number string boolean object undefined object object undefined");
    EXPECT_EQ(P("var x=5; x+=1; x-=2; x*=3; x/=4; x%=2; print(x); var y=1; y<<=3; y|=1; print(y)"),
              "1|9");
    EXPECT_EQ(P("var i=1; var a=i++ + ++i; print(a, i); var o={n:1}; o.n++; ++o['n']; print(o.n)"),
              "4 3|3");
    EXPECT_EQ(P("print(1 ? 'y' : 'n', (1, 2), void 0)"), "y 2 undefined");
}

TEST(ScriptLanguageTest, NumbersPrintAsTheLanguageSays) {
    EXPECT_EQ(P("print(40, -12, 0.5, 1e21, 1e20, 0.1+0.2, 1/3, -0, 1e-7, 0.000001, 0x1F)"),
              "40 -12 0.5 1e+21 100000000000000000000 0.30000000000000004 0.3333333333333333 0 "
              "1e-7 0.000001 31");
    EXPECT_EQ(P("print(1/0, -1/0, 0/0, 123.456, 5e-324, 1.7976931348623157e308)"),
              "Infinity -Infinity NaN 123.456 5e-324 1.7976931348623157e+308");
    EXPECT_EQ(
        P("print(Number('  12  '), Number(''), Number('1e3'), Number('0x10'), Number('12px'))"),
        "12 0 1000 16 NaN");
}

TEST(ScriptLanguageTest, FunctionsClosuresAndThis) {
    EXPECT_EQ(P("function fact(n){ return n<=1 ? 1 : n*fact(n-1) } print(fact(10))"), "3628800");
    EXPECT_EQ(P("function mk(){ var c=0; return function(){ c++; return c; } } "
                "var a=mk(), b=mk(); a(); a(); print(a(), b())"),
              "3 1");
    // Two levels of capture, and an inner function changing an outer local.
    EXPECT_EQ(P("function outer(){ var x=1; function mid(){ function inner(){ x*=10; return x; } "
                "return inner(); } mid(); return mid() + x; } print(outer())"),
              "200");
    EXPECT_EQ(P("var o={v:7, get:function(){ return this.v; }}; print(o.get(), o['get']())"),
              "7 7");
    EXPECT_EQ(P("function Pt(x){ this.x=x; } var p=new Pt(3); print(p.x, typeof p)"), "3 object");
    EXPECT_EQ(P("function f(a,b){ return b; } print(f(1), f(1,2,3))"), "undefined 2");
    // Declarations are visible before they appear.
    EXPECT_EQ(P("print(g()); function g(){ return 'early' }"), "early");
    EXPECT_EQ(P("var f = function fac(n){ return n; }; print(f(4))"), "4");
}

TEST(ScriptLanguageTest, ObjectsAndArrays) {
    EXPECT_EQ(P("var a=[1,'b',[3,4]]; print(a.length, a[2][1], a, a.join('/'))"),
              "3 4 1,b,3,4 1/b/3,4");
    EXPECT_EQ(P("var a=[]; a[3]='x'; print(a.length); a.length=1; print(a.length, a[3])"),
              "4|1 undefined");
    EXPECT_EQ(P("var a=new Array(2); a.push(5,6); print(a.length, a.pop(), a)"), "4 6 ,,5");
    EXPECT_EQ(P("var o={a:1,'b c':2, 3:'n'}; o.d=o.a+o['b c']; print(o.d, o[3], o.zz)"),
              "3 n undefined");
    EXPECT_EQ(P("var o={x:1}; print(delete o.x, o.x, delete o.nope)"), "true undefined true");
    EXPECT_EQ(P("var o={}; o.toString=function(){ return 'custom' }; print(''+o, o+1)"),
              "custom custom1");
    EXPECT_EQ(P("print(String({}), String([1,2]), [] + [], [,].length)"), "[object Object] 1,2  1");
}

TEST(ScriptLanguageTest, StringsAndTheirMethods) {
    EXPECT_EQ(
        P("var s='Hello, World'; print(s.length, s.charAt(4), s.charCodeAt(0), s.indexOf('o'), "
          "s.lastIndexOf('o'), s.indexOf('z'))"),
        "12 o 72 4 8 -1");
    EXPECT_EQ(
        P("var s='abcdef'; print(s.slice(1,3), s.slice(-2), s.substring(4,1), s.substr(2,2))"),
        "bc ef bcd cd");
    EXPECT_EQ(
        P("print('a,b,,c'.split(',').length, 'abc'.split('').join('-'), 'x'.split(',', 0).length)"),
        "4 a-b-c 0");
    EXPECT_EQ(P("print('MiXeD'.toLowerCase(), 'MiXeD'.toUpperCase(), 'ÉTÉ Ça'.fold())"),
              "mixed MIXED ete ca");
    EXPECT_EQ(P("print(String.fromCharCode(72, 105), 'abc'[1], 'q'.toString())"), "Hi b q");
    EXPECT_EQ(P("print('\\x41\\u00e9\\t|'.length, 'it\\'s', \"say \\\"hi\\\"\")"),
              "4 it's say \"hi\"");
}

TEST(ScriptLanguageTest, GlobalFunctionsAndMath) {
    EXPECT_EQ(P("print(parseInt('42px'), parseInt('0x1A'), parseInt('z', 36), parseInt('  -7'), "
                "parseInt('x'))"),
              "42 26 35 -7 NaN");
    EXPECT_EQ(P("print(parseFloat('3.5e1x'), parseFloat('.5'), isNaN('a'), isFinite('12'), "
                "isFinite(1/0))"),
              "35 0.5 true true false");
    EXPECT_EQ(P("print(Math.floor(-1.5), Math.ceil(1.2), Math.round(2.5), Math.round(-2.5), "
                "Math.abs(-3), Math.max(), Math.min(1, 'x'), Math.pow(2,10), Math.sqrt(81))"),
              "-2 2 3 -2 3 -Infinity NaN 1024 9");
    EXPECT_EQ(P("var r=Math.random(); print(r>=0 && r<1, Math.PI > 3.14)"), "true true");
    EXPECT_EQ(P("print(encodeURIComponent('a b&c/é'), encodeURI('a b&c/?'), "
                "decodeURIComponent('%41%20b'), decodeURI('%2F%20'))"),
              "a%20b%26c%2F%E9 a%20b&c/? A b %2F ");
    // our own escapes round-trip; a UTF-8 run from elsewhere is one character
    EXPECT_EQ(P("var t = '\u00e9\u00e8 \u4e2d'; print(decodeURIComponent(encodeURIComponent(t)) == t, "
                "decodeURIComponent('%C3%A9') == '\u00e9', decodeURIComponent('%E9%') == '\u00e9%')"),
              "true true true");
    EXPECT_EQ(P("print(eval('var q = 6; q * 7'), q, eval(5))"), "42 6 5");
    EXPECT_EQ(P("print((255).toString(16), (5).toString(2), Boolean('x'), String(null))"),
              "ff 101 true null");
}

TEST(ScriptLanguageTest, DatesComputeAndReadBackTheirText) {
    EXPECT_EQ(
        P("var d=new Date(2024,1,29,13,5,7); print(d.getFullYear(), d.getMonth(), d.getDate(), "
          "d.getHours(), d.getMinutes(), d.getSeconds(), d.getDay())"),
        "2024 1 29 13 5 7 4");
    EXPECT_EQ(
        P("var d=new Date(Date.UTC(2000,0,1)); print(d.getTime(), d.getUTCDay(), d.toUTCString())"),
        "946684800000 6 Sat, 01 Jan 2000 00:00:00 GMT");
    EXPECT_EQ(P("var d=new Date(2021,5,15,8,30); print(Date.parse(d.toString())==d.getTime(), "
                "Date.parse(d.toUTCString())==d.getTime(), "
                "Date.parse('2021/06/15')==new Date(2021,5,15).getTime())"),
              "true true true");
    EXPECT_EQ(
        P("var d=new Date(2020,0,31); d.setMonth(1); print(d.getMonth(), d.getDate()); "
          "d.setTime(0); print(d.getTime(), new Date(NaN).getTime(), isNaN(Date.parse('nope')))"),
        "2 2|0 NaN true");
    EXPECT_EQ(P("var d=new Date(); print(typeof d.getTimezoneOffset(), "
                "d.getTimeZoneOffset()==d.getTimezoneOffset(), "
                "typeof Date())"),
              "number true string");
}

TEST(ScriptLanguageTest, LenientSemicolonsAndOldCommentHabits) {
    EXPECT_EQ(P("var x = 1 print(x) print(2)"), "1|2");
    EXPECT_EQ(P("<!-- hide from old browsers\nprint('a')\n--> end\n"), "a");
    EXPECT_EQ(P("var i = 1\ni\n++\ni\nprint(i)"), "2");
    EXPECT_EQ(P("function f(){ return\n5 } print(f())"), "undefined");
    EXPECT_EQ(P("/* multi\nline */ print(1) // trailing"), "1");
}

TEST(ScriptLanguageTest, RunResultIsTheLastExpressionOrATopLevelReturn) {
    ScriptRun r;
    ASSERT_TRUE(r.Run("1; 'two'; var z = 3;"));
    EXPECT_EQ(r.result, "two");
    ASSERT_TRUE(r.Run("if (true) { return false; } 'never'"));
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.result, "false");
    ASSERT_TRUE(r.Run("var only = 1;"));
    EXPECT_EQ(r.result, "undefined");
}

TEST(ScriptLanguageTest, GlobalsPersistAcrossUnitsOfOneContext) {
    ScriptRun r;
    ASSERT_TRUE(r.Run("var total = 5; function add(n) { total += n; return total; }"));
    ASSERT_TRUE(r.Run("add(2); add(3)"));
    EXPECT_EQ(r.result, "10");
    ScriptValue g = r.context.Global();
    ScriptValue v;
    EXPECT_EQ(r.heap.GetProperty(g, u"total", 5, &v), 0);
    double d = 0;
    r.heap.ToNumber(v, &d);
    EXPECT_EQ(d, 10);
    r.heap.Release(v);
    r.heap.Release(g);
    r.context.Create();
    ASSERT_TRUE(r.Run("typeof total"));
    EXPECT_EQ(r.result, "undefined");
}

TEST(ScriptLanguageTest, SyntaxErrorsCarryLineAndToken) {
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        {"var x = ;", "Error: Syntax error: unexpected ';' (line 1)"},
        {"\n\nfoo(1,", "Error: Syntax error: unexpected end of script (line 3)"},
        {"try { x } catch (e) {}", "Error: Syntax error: unsupported construct 'try' (line 1)"},
        {"var s = 'open\nx';", "Error: Syntax error: unterminated string (line 1)"},
        {"break;", "Error: Syntax error: break outside a loop or switch (line 1)"},
        {"1 = 2", "Error: Syntax error: invalid assignment target (line 1)"},
        {"for (k in o) {}", "Error: Syntax error: unsupported construct 'in' (line 1)"},
        {"x = /re/", "Error: Syntax error: unexpected '/' (line 1)"},
        {"a.b(", "Error: Syntax error: unexpected end of script (line 1)"},
        {"/* never closed", "Error: Syntax error: unterminated comment (line 1)"},
    };
    for (const Case& c : cases) {
        ScriptRun r;
        EXPECT_FALSE(r.Run(c.text)) << c.text;
        EXPECT_EQ(r.err.code, ScriptErrors::kSyntax);
        EXPECT_EQ(r.Message(), c.message) << c.text;
    }
}

TEST(ScriptLanguageTest, RunTimeErrorsCarryTheFailingLine) {
    ScriptRun r;
    ASSERT_TRUE(r.Run("var a = 1;\nvar b = 2;\nmissing(a);\n"));
    EXPECT_EQ(r.rc, ScriptErrors::kMemberUnknown);
    EXPECT_EQ(r.Message(), "Error: Member Unknown: missing (line 3)");
    ASSERT_TRUE(r.Run("var u;\n\nu.x = 1"));
    EXPECT_EQ(r.rc, ScriptErrors::kCannotSet);
    EXPECT_EQ(r.err.line, 3u);
    ASSERT_TRUE(r.Run("var n = 3; n()"));
    EXPECT_EQ(r.rc, ScriptErrors::kInvalidType);
    EXPECT_EQ(r.Message(), "Error: Invalid type for requested action (line 1)");
    ASSERT_TRUE(r.Run("function f() {\n  return g();\n}\nf()"));
    EXPECT_EQ(r.Message(), "Error: Member Unknown: g (line 2)");
}

}  // namespace
