// Built-in objects: the global functions, Math, String, Number, Boolean, Object, Array, Date.
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/random.h"
#include "platform/kernel/utf.h"
#include "script/script_compiler.h"
#include "script/script_interp.h"
#include "script/script_names.h"

namespace scr {

namespace {

// Vocabulary ids used here.
enum : std::uint32_t {
    ID_TOSTRING = 185,
    ID_CHARAT,
    ID_CHARCODEAT,
    ID_INDEXOF,
    ID_LASTINDEXOF,
    ID_SLICE,
    ID_SPLIT,
    ID_SUBSTRING,
    ID_FOLD,
    ID_TOLOWER,
    ID_TOUPPER,
    ID_FROMCHARCODE,
    ID_VALUEOF = 243,
    ID_PARSE = 241,
    ID_UTC = 242,
    ID_LENGTH = 282,
};

Val Arg(int argc, Val* args, int i) {
    return i < argc ? args[i] : Val();
}

int ArgNum(Interp& in, int argc, Val* args, int i, double* out) {
    if (i >= argc) {
        *out = std::nan("");
        return 0;
    }
    return in.ToNum(args[i], out);
}

int ArgStr(Interp& in, int argc, Val* args, int i, U16* out) {
    if (i >= argc) {
        AppendAscii(out, "undefined");
        return 0;
    }
    return in.ToStr(args[i], out);
}

NativeObj* Define(ScriptHeap* heap, Obj* target, const char* name, NativeFn fn, bool ctor = false) {
    std::uint32_t key = heap->InternAscii(name);
    NativeObj* n = new NativeObj(heap, fn, key, ctor);
    *target->props.Ensure(key) = Val::Object(n);
    return n;
}

void DefineValue(ScriptHeap* heap, Obj* target, const char* name, Val v) {
    *target->props.Ensure(heap->InternAscii(name)) = std::move(v);
}

int StrResult(Interp& in, U16&& s, Val* out) {
    return in.MakeString(std::move(s), out) ? 0 : ScriptErrors::kOutOfMemory;
}

// ---------------------------------------------------------------- global functions

int Eval(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    if (argc < 1 || !args[0].IsStr()) {
        *out = Arg(argc, args, 0);
        return 0;
    }
    auto unit = std::make_shared<UnitData>();
    unit->unitName = Ascii("eval");
    const U16& text = args[0].s->text;
    CompileResult cr =
        CompileUnit(text.data(), static_cast<std::uint32_t>(text.size()), unit.get());
    if (!cr.ok) {
        in.errMember = cr.message;
        return in.Fail(ScriptErrors::kSyntax);
    }
    Val thisv = in.ctx ? in.ctx->GlobalVal() : Val();
    return in.RunNested(unit, thisv, out);
}

int ParseIntFn(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    U16 s;
    int rc = ArgStr(in, argc, args, 0, &s);
    if (rc) return rc;
    double r = 0;
    rc = ArgNum(in, argc, args, 1, &r);
    if (rc) return rc;
    int radix = std::isnan(r) ? 0 : ToInt32(r);
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r' ||
                            s[i] == 0xA0 || s[i] == 0x0B || s[i] == 0x0C))
        ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    if (radix != 0 && (radix < 2 || radix > 36)) {
        *out = Val::Num(std::nan(""));
        return 0;
    }
    if ((radix == 0 || radix == 16) && i + 1 < s.size() && s[i] == '0' &&
        (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        i += 2;
        radix = 16;
    }
    if (radix == 0) radix = 10;
    double v = 0;
    bool any = false;
    for (; i < s.size(); ++i) {
        char16_t c = s[i];
        int d = (c >= '0' && c <= '9')   ? c - '0'
                : (c >= 'a' && c <= 'z') ? c - 'a' + 10
                : (c >= 'A' && c <= 'Z') ? c - 'A' + 10
                                         : 99;
        if (d >= radix) break;
        v = v * radix + d;
        any = true;
    }
    *out = Val::Num(any ? (neg ? -v : v) : std::nan(""));
    return 0;
}

int ParseFloatFn(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    U16 s;
    int rc = ArgStr(in, argc, args, 0, &s);
    if (rc) return rc;
    std::size_t i = 0;
    while (i < s.size() &&
           (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r' || s[i] == 0xA0))
        ++i;
    std::string a;
    std::size_t b = i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (s.compare(i, 8, u"Infinity") == 0) {
        *out = Val::Num(s[b] == '-' ? -INFINITY : INFINITY);
        return 0;
    }
    bool digits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, digits = true;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, digits = true;
    }
    if (digits && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t save = i++;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        if (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
        } else {
            i = save;
        }
    }
    if (!digits) {
        *out = Val::Num(std::nan(""));
        return 0;
    }
    for (std::size_t k = b; k < i; ++k) a.push_back(static_cast<char>(s[k]));
    *out = Val::Num(std::strtod(a.c_str(), nullptr));
    return 0;
}

int IsNaNFn(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    double d;
    int rc = ArgNum(in, argc, args, 0, &d);
    *out = Val::Bool(std::isnan(d));
    return rc;
}

int IsFiniteFn(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    double d;
    int rc = ArgNum(in, argc, args, 0, &d);
    *out = Val::Bool(std::isfinite(d));
    return rc;
}

// %XX for characters below U+0100 outside the kept set; characters from U+0100 stay, so that
// values round-trip through the reader's own locations and queries.
bool KeptInUri(char16_t c, bool component) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    if (std::strchr("-_.!~*'()", static_cast<char>(c)) && c < 0x80 && c != 0) return true;
    if (!component && c < 0x80 && c != 0 && std::strchr(";/?:@&=+$,#", static_cast<char>(c)))
        return true;
    return c >= 0x100;
}

int UriCode(Interp& in, int argc, Val* args, Val* out, bool encode, bool component) {
    U16 s;
    int rc = ArgStr(in, argc, args, 0, &s);
    if (rc) return rc;
    U16 r;
    static const char kHex[] = "0123456789ABCDEF";
    if (encode) {
        for (char16_t c : s) {
            if (KeptInUri(c, component)) {
                r.push_back(c);
            } else {
                r.push_back('%');
                r.push_back(kHex[(c >> 4) & 15]);
                r.push_back(kHex[c & 15]);
            }
        }
    } else {
        for (std::size_t i = 0; i < s.size(); ++i) {
            auto hex = [](char16_t c) {
                return (c >= '0' && c <= '9')   ? c - '0'
                       : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                       : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                : -1;
            };
            if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
                char16_t c = static_cast<char16_t>(hex(s[i + 1]) * 16 + hex(s[i + 2]));
                if (c >= 0x80) {
                    // A run of escapes that is valid UTF-8 is one character (links written by
                    // other tools); otherwise each byte is the Latin-1 character we write.
                    int need = c >= 0xF0 && c <= 0xF4   ? 3
                               : c >= 0xE0 && c <= 0xEF ? 2
                               : c >= 0xC2 && c <= 0xDF ? 1
                                                        : 0;
                    std::uint8_t bytes[4] = {static_cast<std::uint8_t>(c)};
                    std::size_t k = i + 3;
                    int got = 0;
                    while (got < need && k + 2 < s.size() + 0 && s[k] == '%' &&
                           hex(s[k + 1]) >= 0 && hex(s[k + 2]) >= 0) {
                        int b = hex(s[k + 1]) * 16 + hex(s[k + 2]);
                        if ((b & 0xC0) != 0x80) break;
                        bytes[++got] = static_cast<std::uint8_t>(b);
                        k += 3;
                    }
                    std::uint32_t cp = 0;
                    bool valid = need > 0 && got == need;
                    if (valid)
                        fvt::utf::DecodeUtf8(bytes, static_cast<std::size_t>(need) + 1, cp, &valid);
                    if (valid) {
                        char16_t units[2];
                        const int n = fvt::utf::EncodeUtf16(cp, units);
                        r.append(units, static_cast<std::size_t>(n));
                        i = k - 1;
                        continue;
                    }
                }
                // decodeURI keeps escapes of the characters it would not have escaped
                if (!component && c < 0x80 && c &&
                    std::strchr(";/?:@&=+$,#", static_cast<char>(c))) {
                    r.append(s, i, 3);
                } else {
                    r.push_back(c);
                }
                i += 2;
            } else {
                r.push_back(s[i]);
            }
        }
    }
    return StrResult(in, std::move(r), out);
}
int EncodeUri(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    return UriCode(in, argc, args, out, true, false);
}
int DecodeUri(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    return UriCode(in, argc, args, out, false, false);
}
int EncodeUriComponent(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    return UriCode(in, argc, args, out, true, true);
}
int DecodeUriComponent(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    return UriCode(in, argc, args, out, false, true);
}

// ---------------------------------------------------------------- Math

double NextRandom() {
    static Random source;
    // two 30-bit draws give 60 bits of the fraction
    double hi = source.Next(), lo = source.Next();
    return (hi * 1073741824.0 + lo) / 1152921504606846976.0;
}

template <double (*F)(double)>
int Math1(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    double d;
    int rc = ArgNum(in, argc, args, 0, &d);
    *out = Val::Num(F(d));
    return rc;
}
double Round(double d) {
    return std::floor(d + 0.5);
}
double Abs(double d) {
    return std::fabs(d);
}

template <double (*F)(double, double)>
int Math2(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    double a = std::nan(""), b = std::nan("");
    int rc = ArgNum(in, argc, args, 0, &a);
    if (!rc) rc = ArgNum(in, argc, args, 1, &b);
    *out = Val::Num(F(a, b));
    return rc;
}
double Pow(double a, double b) {
    if (std::isnan(b)) return std::nan("");
    if ((a == 1 || a == -1) && std::isinf(b)) return std::nan("");
    return std::pow(a, b);
}

int MinMax(Interp& in, int argc, Val* args, Val* out, bool max) {
    double r = max ? -INFINITY : INFINITY;
    for (int i = 0; i < argc; ++i) {
        double d;
        int rc = in.ToNum(args[i], &d);
        if (rc) return rc;
        if (std::isnan(d))
            r = d;
        else if (!std::isnan(r) && (max ? d > r : d < r))
            r = d;
    }
    *out = Val::Num(r);
    return 0;
}
int MaxFn(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    return MinMax(in, argc, args, out, true);
}
int MinFn(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    return MinMax(in, argc, args, out, false);
}
int RandomFn(Interp&, const Val&, const Val&, int, Val*, Val* out) {
    *out = Val::Num(NextRandom());
    return 0;
}

// ---------------------------------------------------------------- String

int ThisText(Interp& in, const Val& thisv, U16* out) {
    if (thisv.IsNullish()) return ScriptErrors::kInvalidType;
    return in.ToStr(thisv, out);
}

int StringCtor(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    U16 s;
    if (argc > 0) {
        int rc = in.ToStr(args[0], &s);
        if (rc) return rc;
    }
    return StrResult(in, std::move(s), out);
}

int FromCharCode(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    U16 s;
    for (int i = 0; i < argc; ++i) {
        double d;
        int rc = in.ToNum(args[i], &d);
        if (rc) return rc;
        s.push_back(static_cast<char16_t>(ToUint32(d) & 0xFFFF));
    }
    return StrResult(in, std::move(s), out);
}

int StrToString(Interp& in, const Val&, const Val& thisv, int, Val*, Val* out) {
    U16 s;
    int rc = ThisText(in, thisv, &s);
    if (rc) return rc;
    return StrResult(in, std::move(s), out);
}

double ClampIndex(double d, double len) {
    if (std::isnan(d)) return 0;
    d = std::trunc(d);
    return d < 0 ? 0 : d > len ? len : d;
}

int CharAt(Interp& in, const Val&, const Val& thisv, int argc, Val* args, Val* out) {
    U16 s;
    int rc = ThisText(in, thisv, &s);
    double d = 0;
    if (!rc && argc > 0) rc = in.ToNum(args[0], &d);
    if (rc) return rc;
    d = ToInteger(d);
    if (d < 0 || d >= static_cast<double>(s.size())) return StrResult(in, U16(), out);
    return StrResult(in, U16(1, s[static_cast<std::size_t>(d)]), out);
}

int CharCodeAt(Interp& in, const Val&, const Val& thisv, int argc, Val* args, Val* out) {
    U16 s;
    int rc = ThisText(in, thisv, &s);
    double d = 0;
    if (!rc && argc > 0) rc = in.ToNum(args[0], &d);
    if (rc) return rc;
    d = ToInteger(d);
    *out = Val::Num(d < 0 || d >= static_cast<double>(s.size()) ? std::nan("")
                                                                : s[static_cast<std::size_t>(d)]);
    return 0;
}

int IndexOfImpl(Interp& in, const Val& thisv, int argc, Val* args, Val* out, bool last) {
    U16 s, needle;
    int rc = ThisText(in, thisv, &s);
    if (!rc) rc = ArgStr(in, argc, args, 0, &needle);
    double pos = last ? INFINITY : 0;
    if (!rc && argc > 1) {
        rc = in.ToNum(args[1], &pos);
        if (std::isnan(pos)) pos = last ? INFINITY : 0;
    }
    if (rc) return rc;
    double start = ClampIndex(pos, static_cast<double>(s.size()));
    std::size_t r;
    if (last)
        r = s.rfind(needle, static_cast<std::size_t>(start));
    else
        r = s.find(needle, static_cast<std::size_t>(start));
    *out = Val::Num(r == U16::npos ? -1.0 : static_cast<double>(r));
    return 0;
}
int IndexOf(Interp& in, const Val&, const Val& t, int argc, Val* args, Val* out) {
    return IndexOfImpl(in, t, argc, args, out, false);
}
int LastIndexOf(Interp& in, const Val&, const Val& t, int argc, Val* args, Val* out) {
    return IndexOfImpl(in, t, argc, args, out, true);
}

int Slice(Interp& in, const Val&, const Val& thisv, int argc, Val* args, Val* out) {
    U16 s;
    int rc = ThisText(in, thisv, &s);
    double a = 0, b = static_cast<double>(s.size());
    if (!rc && argc > 0) rc = in.ToNum(args[0], &a);
    if (!rc && argc > 1 && !args[1].IsUndef()) rc = in.ToNum(args[1], &b);
    if (rc) return rc;
    double len = static_cast<double>(s.size());
    a = ToInteger(a);
    b = ToInteger(b);
    if (a < 0) a = std::max(0.0, len + a);
    if (b < 0) b = std::max(0.0, len + b);
    a = std::min(a, len);
    b = std::min(b, len);
    if (b <= a) return StrResult(in, U16(), out);
    return StrResult(in, s.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a)),
                     out);
}

int Substring(Interp& in, const Val&, const Val& thisv, int argc, Val* args, Val* out) {
    U16 s;
    int rc = ThisText(in, thisv, &s);
    double a = 0, b = static_cast<double>(s.size());
    if (!rc && argc > 0) rc = in.ToNum(args[0], &a);
    if (!rc && argc > 1 && !args[1].IsUndef()) rc = in.ToNum(args[1], &b);
    if (rc) return rc;
    double len = static_cast<double>(s.size());
    a = ClampIndex(a, len);
    b = ClampIndex(b, len);
    if (a > b) std::swap(a, b);
    return StrResult(in, s.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a)),
                     out);
}

int Substr(Interp& in, const Val&, const Val& thisv, int argc, Val* args, Val* out) {
    U16 s;
    int rc = ThisText(in, thisv, &s);
    double a = 0, n = INFINITY;
    if (!rc && argc > 0) rc = in.ToNum(args[0], &a);
    if (!rc && argc > 1 && !args[1].IsUndef()) rc = in.ToNum(args[1], &n);
    if (rc) return rc;
    double len = static_cast<double>(s.size());
    a = ToInteger(a);
    if (a < 0) a = std::max(0.0, len + a);
    a = std::min(a, len);
    n = std::min(std::max(ToInteger(n), 0.0), len - a);
    return StrResult(in, s.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(n)), out);
}

int Split(Interp& in, const Val&, const Val& thisv, int argc, Val* args, Val* out) {
    U16 s;
    int rc = ThisText(in, thisv, &s);
    if (rc) return rc;
    double limit = 4294967295.0;
    if (argc > 1 && !args[1].IsUndef()) {
        rc = in.ToNum(args[1], &limit);
        if (rc) return rc;
        limit = ToUint32(limit);
    }
    std::vector<Val> items;
    if (argc == 0 || args[0].IsUndef()) {
        if (limit > 0) items.push_back(Val::NewStr(s));
    } else {
        U16 sep;
        rc = in.ToStr(args[0], &sep);
        if (rc) return rc;
        if (sep.empty()) {
            for (std::size_t i = 0; i < s.size() && items.size() < limit; ++i)
                items.push_back(Val::NewStr(U16(1, s[i])));
        } else {
            std::size_t p = 0;
            while (items.size() < limit) {
                std::size_t q = s.find(sep, p);
                if (q == U16::npos) {
                    items.push_back(Val::NewStr(s.substr(p)));
                    break;
                }
                items.push_back(Val::NewStr(s.substr(p, q - p)));
                p = q + sep.size();
            }
        }
    }
    *out = in.NewArray(std::move(items));
    return 0;
}

char16_t FoldChar(char16_t c) {
    // Lower case, with the accents of Latin letters folded away.
    if (c >= 'A' && c <= 'Z') return static_cast<char16_t>(c + 32);
    if (c < 0xC0 || c > 0x17F) return c;
    static const char kBase[] =
        "aaaaaaaceeeeiiii"   // C0-CF
        "dnooooo ouuuuyts"   // D0-DF
        "aaaaaaaceeeeiiii"   // E0-EF
        "dnooooo ouuuuyty"   // F0-FF
        "aaaaaaccccccccdd"   // 100-10F
        "ddeeeeeeeeeegggg"   // 110-11F
        "gggghhhhiiiiiiii"   // 120-12F
        "iijjjjkkklllllll"   // 130-13F
        "llllnnnnnnnnnooo"   // 140-14F
        "oooorrrrrrssssss"   // 150-15F
        "ssttttttuuuuuuuu"   // 160-16F
        "uuuuwwyyyzzzzzzs";  // 170-17F
    char b = kBase[c - 0xC0];
    return b == ' ' ? static_cast<char16_t>(c == 0xD7 || c == 0xF7 ? c : c + (c < 0xE0 ? 32 : 0))
                    : static_cast<char16_t>(b);
}

int CaseImpl(Interp& in, const Val& thisv, Val* out, int mode) {
    U16 s;
    int rc = ThisText(in, thisv, &s);
    if (rc) return rc;
    for (char16_t& c : s) {
        if (mode == 0) {
            if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c += 32;
        } else if (mode == 1) {
            if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c -= 32;
        } else {
            c = FoldChar(c);
        }
    }
    return StrResult(in, std::move(s), out);
}
int ToLowerCase(Interp& in, const Val&, const Val& t, int, Val*, Val* out) {
    return CaseImpl(in, t, out, 0);
}
int ToUpperCase(Interp& in, const Val&, const Val& t, int, Val*, Val* out) {
    return CaseImpl(in, t, out, 1);
}
int Fold(Interp& in, const Val&, const Val& t, int, Val*, Val* out) {
    return CaseImpl(in, t, out, 2);
}

// ---------------------------------------------------------------- Number, Boolean, Object

int NumberCtor(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    double d = 0;
    if (argc > 0) {
        int rc = in.ToNum(args[0], &d);
        if (rc) return rc;
    }
    *out = Val::Num(d);
    return 0;
}

int NumToString(Interp& in, const Val&, const Val& thisv, int argc, Val* args, Val* out) {
    double d;
    int rc = in.ToNum(thisv, &d);
    if (rc) return rc;
    double radix = 10;
    if (argc > 0 && !args[0].IsUndef()) {
        rc = in.ToNum(args[0], &radix);
        if (rc) return rc;
    }
    int r = ToInt32(radix);
    if (r < 2 || r > 36) return ScriptErrors::kInvalidType;
    U16 s;
    if (r == 10 || !std::isfinite(d)) {
        NumberToString(d, &s);
    } else {
        double v = std::trunc(std::fabs(d));
        U16 digits;
        do {
            int dg = static_cast<int>(std::fmod(v, r));
            digits.push_back(static_cast<char16_t>(dg < 10 ? '0' + dg : 'a' + dg - 10));
            v = std::floor(v / r);
        } while (v > 0 && digits.size() < 1100);
        if (d < 0) s.push_back('-');
        s.append(digits.rbegin(), digits.rend());
    }
    return StrResult(in, std::move(s), out);
}

int ValueOfThis(Interp&, const Val&, const Val& thisv, int, Val*, Val* out) {
    if (thisv.IsObj() && thisv.o->kind == OK::Date) {
        *out = Val::Num(static_cast<DateObj*>(thisv.o)->time);
    } else {
        *out = thisv;
    }
    return 0;
}

int BooleanCtor(Interp&, const Val&, const Val&, int argc, Val* args, Val* out) {
    *out = Val::Bool(argc > 0 && Interp::ToBool(args[0]));
    return 0;
}

int BoolToString(Interp& in, const Val&, const Val& thisv, int, Val*, Val* out) {
    return StrResult(in, Ascii(Interp::ToBool(thisv) ? "true" : "false"), out);
}

int ObjectCtor(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    if (argc > 0 && args[0].IsObj()) {
        *out = args[0];
        return 0;
    }
    *out = in.NewPlain();
    return 0;
}

int ObjToString(Interp& in, const Val&, const Val& thisv, int, Val*, Val* out) {
    U16 s;
    BasicToText(in.heap, thisv.IsObj() && thisv.o->kind == OK::Plain ? thisv : thisv, &s);
    if (thisv.IsObj() && thisv.o->kind == OK::Plain) s = Ascii("[object Object]");
    return StrResult(in, std::move(s), out);
}

// ---------------------------------------------------------------- Array

ArrayObj* ThisArray(const Val& thisv) {
    return thisv.IsObj() && thisv.o->kind == OK::Array ? static_cast<ArrayObj*>(thisv.o) : nullptr;
}

int ArrayCtor(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    std::vector<Val> items;
    if (argc == 1 && args[0].IsNum()) {
        double n = args[0].n;
        if (n < 0 || n != std::floor(n) || n > kMaxArrayLength) return ScriptErrors::kOutOfMemory;
        items.resize(static_cast<std::size_t>(n));
    } else {
        for (int i = 0; i < argc; ++i) items.push_back(args[i]);
    }
    *out = in.NewArray(std::move(items));
    return 0;
}

int Join(Interp& in, const Val&, const Val& thisv, int argc, Val* args, Val* out) {
    ArrayObj* a = ThisArray(thisv);
    if (!a) return ScriptErrors::kInvalidType;
    U16 sep = Ascii(",");
    if (argc > 0 && !args[0].IsUndef()) {
        int rc = in.ToStr(args[0], &sep);
        if (rc) return rc;
    }
    U16 s;
    for (std::size_t i = 0; i < a->items.size(); ++i) {
        if (i) s += sep;
        Val item = a->items[i];
        if (item.IsNullish()) continue;
        U16 t;
        int rc = in.ToStr(item, &t);
        if (rc) return rc;
        if (s.size() + t.size() > kMaxStringUnits) return ScriptErrors::kOutOfMemory;
        s += t;
        if (!ThisArray(thisv) || i >= a->items.size()) break;
    }
    return StrResult(in, std::move(s), out);
}

int Push(Interp&, const Val&, const Val& thisv, int argc, Val* args, Val* out) {
    ArrayObj* a = ThisArray(thisv);
    if (!a) return ScriptErrors::kInvalidType;
    if (a->items.size() + argc > kMaxArrayLength) return ScriptErrors::kOutOfMemory;
    for (int i = 0; i < argc; ++i) a->items.push_back(args[i]);
    *out = Val::Num(static_cast<double>(a->items.size()));
    return 0;
}

int Pop(Interp&, const Val&, const Val& thisv, int, Val*, Val* out) {
    ArrayObj* a = ThisArray(thisv);
    if (!a) return ScriptErrors::kInvalidType;
    if (a->items.empty()) {
        out->Clear();
        return 0;
    }
    *out = std::move(a->items.back());
    a->items.pop_back();
    return 0;
}

int ArrToString(Interp& in, const Val& self, const Val& thisv, int, Val*, Val* out) {
    return Join(in, self, thisv, 0, nullptr, out);
}

int SetTimeoutFn(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    return StartTimer(in, argc, args, false, out);
}
int SetIntervalFn(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    return StartTimer(in, argc, args, true, out);
}
int ClearTimerFn(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    return StopTimer(in, argc, args, out);
}

}  // namespace

bool ArrayJoin(ArrayObj* a, const U16& sep, U16* out, int depth) {
    if (depth > 32) return true;  // self-containing arrays end here
    for (std::size_t i = 0; i < a->items.size(); ++i) {
        if (i) out->append(sep);
        const Val& v = a->items[i];
        if (v.IsNullish()) continue;
        if (v.IsObj() && v.o->kind == OK::Array) {
            if (!ArrayJoin(static_cast<ArrayObj*>(v.o), sep, out, depth + 1)) return false;
        } else {
            BasicToText(a->heap, v, out);
        }
        if (out->size() > kMaxStringUnits) return false;
    }
    return true;
}

// ---------------------------------------------------------------- Date

namespace {

const double kMsPerDay = 86400000.0;
const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

double DaysFromCivil(double y, double m, double d) {  // m 1-12
    y -= m <= 2;
    double era = std::floor(y / 400);
    double yoe = y - era * 400;
    double mp = std::fmod(m + 9, 12);
    double doy = std::floor((153 * mp + 2) / 5) + d - 1;
    double doe = yoe * 365 + std::floor(yoe / 4) - std::floor(yoe / 100) + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(double z, int* y, int* m, int* d) {
    z += 719468;
    double era = std::floor(z / 146097);
    double doe = z - era * 146097;
    double yoe = std::floor(
        (doe - std::floor(doe / 1460) + std::floor(doe / 36524) - std::floor(doe / 146096)) / 365);
    double yy = yoe + era * 400;
    double doy = doe - (365 * yoe + std::floor(yoe / 4) - std::floor(yoe / 100));
    double mp = std::floor((5 * doy + 2) / 153);
    *d = static_cast<int>(doy - std::floor((153 * mp + 2) / 5) + 1);
    *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *y = static_cast<int>(yy + (*m <= 2));
}

double MakeTime(double y, double mon, double d, double h, double mi, double s, double ms) {
    if (!std::isfinite(y) || !std::isfinite(mon) || !std::isfinite(d) || !std::isfinite(h) ||
        !std::isfinite(mi) || !std::isfinite(s) || !std::isfinite(ms))
        return std::nan("");
    y = ToInteger(y);
    mon = ToInteger(mon);
    double ym = y + std::floor(mon / 12);
    double mn = std::fmod(mon, 12);
    if (mn < 0) mn += 12;
    if (std::fabs(ym) > 400000) return std::nan("");
    double days = DaysFromCivil(ym, mn + 1, 1) + ToInteger(d) - 1;
    double t = days * kMsPerDay + ToInteger(h) * 3600000.0 + ToInteger(mi) * 60000.0 +
               ToInteger(s) * 1000.0 + ToInteger(ms);
    return t;
}

double TimeClip(double t) {
    if (!std::isfinite(t) || std::fabs(t) > 8.64e15) return std::nan("");
    return ToInteger(t) + 0.0;
}

// Offset of local time from UTC at the UTC time t, in ms.
double LocalOffset(double t) {
    if (!std::isfinite(t)) return 0;
    std::time_t secs = static_cast<std::time_t>(std::floor(t / 1000));
    std::tm tm{};
    if (!localtime_r(&secs, &tm)) return 0;
    return static_cast<double>(tm.tm_gmtoff) * 1000.0;
}

double LocalToUtc(double local) {
    double off = LocalOffset(local - LocalOffset(local));
    return local - off;
}

struct Parts {
    int year, month, day, hours, minutes, seconds, ms, weekday;
};

Parts Split(double t) {
    Parts p{};
    double days = std::floor(t / kMsPerDay);
    double msInDay = t - days * kMsPerDay;
    CivilFromDays(days, &p.year, &p.month, &p.day);
    p.month -= 1;
    p.hours = static_cast<int>(msInDay / 3600000.0);
    p.minutes = static_cast<int>(std::fmod(msInDay / 60000.0, 60));
    p.seconds = static_cast<int>(std::fmod(msInDay / 1000.0, 60));
    p.ms = static_cast<int>(std::fmod(msInDay, 1000));
    int wd = static_cast<int>(std::fmod(days + 4, 7));
    p.weekday = wd < 0 ? wd + 7 : wd;
    return p;
}

void Append(U16* out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void Append(U16* out, const char* fmt, ...) {
    char buf[128];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    AppendAscii(out, buf);
}

// kind: 0 full, 1 date, 2 time, 3 UTC
void FormatDate(double t, int kind, U16* out) {
    if (std::isnan(t)) return AppendAscii(out, "Invalid Date");
    if (kind == 3) {
        Parts p = Split(t);
        Append(out, "%s, %02d %s %d %02d:%02d:%02d GMT", kDays[p.weekday], p.day, kMonths[p.month],
               p.year, p.hours, p.minutes, p.seconds);
        return;
    }
    double off = LocalOffset(t);
    Parts p = Split(t + off);
    int offMin = static_cast<int>(off / 60000);
    char sign = offMin < 0 ? '-' : '+';
    if (offMin < 0) offMin = -offMin;
    if (kind == 0 || kind == 1)
        Append(out, "%s %s %02d %d", kDays[p.weekday], kMonths[p.month], p.day, p.year);
    if (kind == 0) out->push_back(' ');
    if (kind == 0 || kind == 2)
        Append(out, "%02d:%02d:%02d GMT%c%02d%02d", p.hours, p.minutes, p.seconds, sign,
               offMin / 60, offMin % 60);
}

// Reads what FormatDate writes, and "YYYY/MM/DD [HH:MM[:SS]]".
double ParseDate(const U16& s) {
    std::string a;
    for (char16_t c : s) a.push_back(c < 0x80 ? static_cast<char>(c) : ' ');
    int y = -1, mon = -1, d = -1, h = 0, mi = 0, sec = 0;
    bool utc = false;
    int offMin = 0;
    std::size_t i = 0;
    std::vector<int> nums;
    while (i < a.size()) {
        char c = a[i];
        if (std::isalpha(static_cast<unsigned char>(c))) {
            std::size_t b = i;
            while (i < a.size() && std::isalpha(static_cast<unsigned char>(a[i]))) ++i;
            std::string w = a.substr(b, i - b);
            for (int k = 0; k < 12; ++k) {
                if (strncasecmp(w.c_str(), kMonths[k], 3) == 0 && w.size() >= 3) mon = k;
            }
            if (w == "GMT" || w == "UTC" || w == "Z") {
                utc = true;
                if (i < a.size() && (a[i] == '+' || a[i] == '-')) {
                    int sign = a[i] == '-' ? -1 : 1;
                    ++i;
                    int v = 0, n = 0;
                    while (i < a.size() && std::isdigit(static_cast<unsigned char>(a[i])) && n < 4)
                        v = v * 10 + (a[i++] - '0'), ++n;
                    if (n != 4) return std::nan("");
                    offMin = sign * (v / 100 * 60 + v % 100);
                }
            }
            continue;
        }
        if (std::isdigit(static_cast<unsigned char>(c))) {
            long v = 0;
            int n = 0;
            while (i < a.size() && std::isdigit(static_cast<unsigned char>(a[i])) && n < 9)
                v = v * 10 + (a[i++] - '0'), ++n;
            if (i < a.size() && a[i] == ':') {
                h = static_cast<int>(v);
                ++i;
                int v2 = 0;
                while (i < a.size() && std::isdigit(static_cast<unsigned char>(a[i])))
                    v2 = v2 * 10 + (a[i++] - '0');
                mi = v2;
                if (i < a.size() && a[i] == ':') {
                    ++i;
                    int v3 = 0;
                    while (i < a.size() && std::isdigit(static_cast<unsigned char>(a[i])))
                        v3 = v3 * 10 + (a[i++] - '0');
                    sec = v3;
                }
                continue;
            }
            if (i < a.size() && a[i] == '/' && nums.empty() && y < 0) {
                // YYYY/MM/DD
                y = static_cast<int>(v);
                ++i;
                int m2 = 0, d2 = 0;
                while (i < a.size() && std::isdigit(static_cast<unsigned char>(a[i])))
                    m2 = m2 * 10 + (a[i++] - '0');
                if (i >= a.size() || a[i] != '/') return std::nan("");
                ++i;
                while (i < a.size() && std::isdigit(static_cast<unsigned char>(a[i])))
                    d2 = d2 * 10 + (a[i++] - '0');
                mon = m2 - 1;
                d = d2;
                continue;
            }
            nums.push_back(static_cast<int>(v));
            continue;
        }
        ++i;
    }
    for (int v : nums) {
        if (d < 0 && v <= 31 && (mon >= 0 || nums.size() > 1))
            d = v;
        else if (y < 0)
            y = v;
    }
    if (y < 0 || mon < 0 || mon > 11 || d < 1 || d > 31 || h > 24 || mi > 59 || sec > 59)
        return std::nan("");
    double t = MakeTime(y, mon, d, h, mi, sec, 0);
    if (utc)
        t -= offMin * 60000.0;
    else
        t = LocalToUtc(t);
    return TimeClip(t);
}

double Now() {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return std::floor(static_cast<double>(ts.tv_sec) * 1000.0 + ts.tv_nsec / 1000000);
}

Val NewDate(ScriptHeap* heap, double t) {
    return Val::Object(new DateObj(heap, t));
}

int DateCtor(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    if (!in.constructing) {
        U16 s;
        FormatDate(Now(), 0, &s);
        *out = Val::NewStr(std::move(s));
        return 0;
    }
    double t;
    if (argc == 0) {
        t = Now();
    } else if (argc == 1) {
        Val p;
        int rc = in.ToPrimitive(args[0], -1, &p);
        if (rc) return rc;
        if (p.IsStr()) {
            t = ParseDate(p.s->text);
        } else {
            rc = in.ToNum(p, &t);
            if (rc) return rc;
            t = TimeClip(t);
        }
    } else {
        double f[7] = {0, 0, 1, 0, 0, 0, 0};
        for (int i = 0; i < argc && i < 7; ++i) {
            int rc = in.ToNum(args[i], &f[i]);
            if (rc) return rc;
        }
        if (!std::isnan(f[0]) && f[0] >= 0 && f[0] <= 99 && f[0] == std::floor(f[0])) f[0] += 1900;
        t = TimeClip(LocalToUtc(MakeTime(f[0], f[1], f[2], f[3], f[4], f[5], f[6])));
    }
    *out = NewDate(in.heap, t);
    return 0;
}

int DateParse(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    U16 s;
    int rc = ArgStr(in, argc, args, 0, &s);
    *out = Val::Num(ParseDate(s));
    return rc;
}

int DateUtc(Interp& in, const Val&, const Val&, int argc, Val* args, Val* out) {
    double f[7] = {std::nan(""), 0, 1, 0, 0, 0, 0};
    for (int i = 0; i < argc && i < 7; ++i) {
        int rc = in.ToNum(args[i], &f[i]);
        if (rc) return rc;
    }
    if (!std::isnan(f[0]) && f[0] >= 0 && f[0] <= 99 && f[0] == std::floor(f[0])) f[0] += 1900;
    *out = Val::Num(TimeClip(MakeTime(f[0], f[1], f[2], f[3], f[4], f[5], f[6])));
    return 0;
}

DateObj* ThisDate(const Val& thisv) {
    return thisv.IsObj() && thisv.o->kind == OK::Date ? static_cast<DateObj*>(thisv.o) : nullptr;
}

// One native per method; the method is told apart by the function's name key.
int DateMethod(Interp& in, const Val& self, const Val& thisv, int argc, Val* args, Val* out) {
    DateObj* d = ThisDate(thisv);
    if (!d) return ScriptErrors::kInvalidType;
    const U16& name = in.heap->KeyText(static_cast<NativeObj*>(self.o)->nameKey);
    std::string n;
    for (char16_t c : name) n.push_back(static_cast<char>(c));
    double t = d->time;
    auto text = [&](int kind) {
        U16 s;
        FormatDate(t, kind, &s);
        *out = Val::NewStr(std::move(s));
        return 0;
    };
    if (n == "toString" || n == "toLocaleString") return text(0);
    if (n == "toDateString" || n == "toLocaleDateString") return text(1);
    if (n == "toTimeString" || n == "toLocaleTimeString") return text(2);
    if (n == "toUTCString" || n == "toGMTString") return text(3);
    if (n == "getTime" || n == "valueOf") {
        *out = Val::Num(t);
        return 0;
    }
    if (n == "getTimeZoneOffset" || n == "getTimezoneOffset") {
        *out = Val::Num(std::isnan(t) ? t : -LocalOffset(t) / 60000.0);
        return 0;
    }
    bool utc = n.find("UTC") != std::string::npos;
    if (n.compare(0, 3, "get") == 0) {
        if (std::isnan(t)) {
            *out = Val::Num(t);
            return 0;
        }
        Parts p = Split(utc ? t : t + LocalOffset(t));
        std::string f = n.substr(utc ? 6 : 3);
        double v = f == "FullYear"       ? p.year
                   : f == "Year"         ? p.year - 1900
                   : f == "Month"        ? p.month
                   : f == "Date"         ? p.day
                   : f == "Hours"        ? p.hours
                   : f == "Minutes"      ? p.minutes
                   : f == "Seconds"      ? p.seconds
                   : f == "Milliseconds" ? p.ms
                   : f == "Day"          ? p.weekday
                                         : std::nan("");
        *out = Val::Num(v);
        return 0;
    }
    if (n.compare(0, 3, "set") == 0) {
        double a[4] = {std::nan(""), std::nan(""), std::nan(""), std::nan("")};
        for (int i = 0; i < argc && i < 4; ++i) {
            int rc = in.ToNum(args[i], &a[i]);
            if (rc) return rc;
        }
        if (n == "setTime") {
            d->time = TimeClip(a[0]);
            *out = Val::Num(d->time);
            return 0;
        }
        double base = std::isnan(t) ? 0 : (utc ? t : t + LocalOffset(t));
        Parts p = Split(base);
        double f[7] = {static_cast<double>(p.year),    static_cast<double>(p.month),
                       static_cast<double>(p.day),     static_cast<double>(p.hours),
                       static_cast<double>(p.minutes), static_cast<double>(p.seconds),
                       static_cast<double>(p.ms)};
        std::string what = n.substr(utc ? 6 : 3);
        int start = what == "FullYear"       ? 0
                    : what == "Year"         ? 0
                    : what == "Month"        ? 1
                    : what == "Date"         ? 2
                    : what == "Hours"        ? 3
                    : what == "Minutes"      ? 4
                    : what == "Seconds"      ? 5
                    : what == "Milliseconds" ? 6
                                             : -1;
        if (start < 0) return ScriptErrors::kMemberUnknown;
        int room = start == 0   ? 3
                   : start == 1 ? 2
                   : start == 2 ? 1
                   : start == 3 ? 4
                   : start == 4 ? 3
                   : start == 5 ? 2
                                : 1;
        if (what == "Year") room = 1;
        for (int i = 0; i < room && i < std::max(argc, 1); ++i) f[start + i] = a[i];
        if (what == "Year" && f[0] >= 0 && f[0] <= 99) f[0] += 1900;
        double nt = MakeTime(f[0], f[1], f[2], f[3], f[4], f[5], f[6]);
        d->time = TimeClip(utc ? nt : LocalToUtc(nt));
        *out = Val::Num(d->time);
        return 0;
    }
    return ScriptErrors::kMemberUnknown;
}

}  // namespace

void DateToText(double time, U16* out) {
    FormatDate(time, 0, out);
}

void InstallBuiltins(ScriptHeap* heap) {
    auto plain = [heap]() {
        Obj* o = new Obj(OK::Plain, heap);
        return Val::Object(o);
    };
    heap->builtins = plain();
    heap->protoObject = plain();
    heap->protoString = plain();
    heap->protoNumber = plain();
    heap->protoBoolean = plain();
    heap->protoArray = plain();
    heap->protoDate = plain();
    heap->protoFunction = plain();
    Obj* g = heap->builtins.o;

    Define(heap, g, "eval", Eval);
    Define(heap, g, "parseInt", ParseIntFn);
    Define(heap, g, "parseFloat", ParseFloatFn);
    Define(heap, g, "isNaN", IsNaNFn);
    Define(heap, g, "isFinite", IsFiniteFn);
    Define(heap, g, "encodeURI", EncodeUri);
    Define(heap, g, "decodeURI", DecodeUri);
    Define(heap, g, "encodeURIComponent", EncodeUriComponent);
    Define(heap, g, "decodeURIComponent", DecodeUriComponent);
    Define(heap, g, "setTimeout", SetTimeoutFn);
    Define(heap, g, "setInterval", SetIntervalFn);
    Define(heap, g, "clearTimeout", ClearTimerFn);
    Define(heap, g, "clearInterval", ClearTimerFn);
    DefineValue(heap, g, "NaN", Val::Num(std::nan("")));
    DefineValue(heap, g, "Infinity", Val::Num(INFINITY));
    DefineValue(heap, g, "undefined", Val());

    Val math = plain();
    Obj* m = math.o;
    DefineValue(heap, m, "E", Val::Num(M_E));
    DefineValue(heap, m, "LN10", Val::Num(M_LN10));
    DefineValue(heap, m, "LN2", Val::Num(M_LN2));
    DefineValue(heap, m, "LOG10E", Val::Num(M_LOG10E));
    DefineValue(heap, m, "LOG2E", Val::Num(M_LOG2E));
    DefineValue(heap, m, "PI", Val::Num(M_PI));
    DefineValue(heap, m, "SQRT1_2", Val::Num(M_SQRT1_2));
    DefineValue(heap, m, "SQRT2", Val::Num(M_SQRT2));
    Define(heap, m, "abs", Math1<Abs>);
    Define(heap, m, "acos", Math1<std::acos>);
    Define(heap, m, "asin", Math1<std::asin>);
    Define(heap, m, "atan", Math1<std::atan>);
    Define(heap, m, "ceil", Math1<std::ceil>);
    Define(heap, m, "cos", Math1<std::cos>);
    Define(heap, m, "exp", Math1<std::exp>);
    Define(heap, m, "floor", Math1<std::floor>);
    Define(heap, m, "log", Math1<std::log>);
    Define(heap, m, "round", Math1<Round>);
    Define(heap, m, "sin", Math1<std::sin>);
    Define(heap, m, "sqrt", Math1<std::sqrt>);
    Define(heap, m, "tan", Math1<std::tan>);
    Define(heap, m, "atan2", Math2<std::atan2>);
    Define(heap, m, "pow", Math2<Pow>);
    Define(heap, m, "max", MaxFn);
    Define(heap, m, "min", MinFn);
    Define(heap, m, "random", RandomFn);
    DefineValue(heap, g, "Math", math);

    NativeObj* str = Define(heap, g, "String", StringCtor, true);
    Define(heap, str, "fromCharCode", FromCharCode);
    Obj* sp = heap->protoString.o;
    Define(heap, sp, "toString", StrToString);
    Define(heap, sp, "valueOf", StrToString);
    Define(heap, sp, "charAt", CharAt);
    Define(heap, sp, "charCodeAt", CharCodeAt);
    Define(heap, sp, "indexOf", IndexOf);
    Define(heap, sp, "lastIndexOf", LastIndexOf);
    Define(heap, sp, "slice", Slice);
    Define(heap, sp, "substring", Substring);
    Define(heap, sp, "substr", Substr);
    Define(heap, sp, "split", Split);
    Define(heap, sp, "toLowerCase", ToLowerCase);
    Define(heap, sp, "toUpperCase", ToUpperCase);
    Define(heap, sp, "fold", Fold);

    Define(heap, g, "Number", NumberCtor, true);
    Define(heap, heap->protoNumber.o, "toString", NumToString);
    Define(heap, heap->protoNumber.o, "valueOf", ValueOfThis);
    Define(heap, g, "Boolean", BooleanCtor, true);
    Define(heap, heap->protoBoolean.o, "toString", BoolToString);
    Define(heap, heap->protoBoolean.o, "valueOf", ValueOfThis);
    Define(heap, g, "Object", ObjectCtor, true);
    Define(heap, heap->protoObject.o, "toString", ObjToString);
    Define(heap, heap->protoObject.o, "valueOf", ValueOfThis);
    Define(heap, g, "Array", ArrayCtor, true);
    Define(heap, heap->protoArray.o, "join", Join);
    Define(heap, heap->protoArray.o, "push", Push);
    Define(heap, heap->protoArray.o, "pop", Pop);
    Define(heap, heap->protoArray.o, "toString", ArrToString);

    NativeObj* date = Define(heap, g, "Date", DateCtor, true);
    Define(heap, date, "parse", DateParse);
    Define(heap, date, "UTC", DateUtc);
    static const char* const kDateMethods[] = {"toString",
                                               "toUTCString",
                                               "toGMTString",
                                               "toDateString",
                                               "toLocaleString",
                                               "toLocaleDateString",
                                               "toTimeString",
                                               "toLocaleTimeString",
                                               "getTime",
                                               "valueOf",
                                               "getFullYear",
                                               "getYear",
                                               "getMonth",
                                               "getDate",
                                               "getHours",
                                               "getMinutes",
                                               "getSeconds",
                                               "getMilliseconds",
                                               "getDay",
                                               "getUTCFullYear",
                                               "getUTCMonth",
                                               "getUTCDate",
                                               "getUTCHours",
                                               "getUTCMinutes",
                                               "getUTCSeconds",
                                               "getUTCMilliseconds",
                                               "getUTCDay",
                                               "getTimeZoneOffset",
                                               "getTimezoneOffset",
                                               "setTime",
                                               "setFullYear",
                                               "setYear",
                                               "setMonth",
                                               "setDate",
                                               "setHours",
                                               "setMinutes",
                                               "setSeconds",
                                               "setMilliseconds",
                                               "setUTCFullYear",
                                               "setUTCMonth",
                                               "setUTCDate",
                                               "setUTCHours",
                                               "setUTCMinutes",
                                               "setUTCSeconds",
                                               "setUTCMilliseconds"};
    for (const char* name : kDateMethods) Define(heap, heap->protoDate.o, name, DateMethod);
}

}  // namespace scr
