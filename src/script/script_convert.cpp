// Number <-> text conversions with the language's rules.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "script/script_internal.h"

namespace scr {

void AppendAscii(U16* out, const char* s) {
    while (*s) out->push_back(static_cast<char16_t>(static_cast<unsigned char>(*s++)));
}

U16 Ascii(const char* s) {
    U16 r;
    AppendAscii(&r, s);
    return r;
}

static bool IsSpace(char16_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0x0B || c == 0x0C || c == 0xA0 ||
           c == 0xFEFF || c == 0x2028 || c == 0x2029;
}

double StringToNumber(const U16& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsSpace(s[b])) ++b;
    while (e > b && IsSpace(s[e - 1])) --e;
    if (b == e) return 0;
    if (e - b > 2 && s[b] == '0' && (s[b + 1] == 'x' || s[b + 1] == 'X')) {
        double v = 0;
        for (std::size_t i = b + 2; i < e; ++i) {
            char16_t c = s[i];
            int d = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : -1;
            if (d < 0) return std::nan("");
            v = v * 16 + d;
        }
        return v;
    }
    std::string a;
    a.reserve(e - b);
    for (std::size_t i = b; i < e; ++i) {
        char16_t c = s[i];
        if (c >= 0x80) return std::nan("");
        a.push_back(static_cast<char>(c));
    }
    std::size_t p = 0;
    bool neg = false;
    if (a[0] == '+' || a[0] == '-') {
        neg = a[0] == '-';
        p = 1;
    }
    if (a.compare(p, std::string::npos, "Infinity") == 0) return neg ? -INFINITY : INFINITY;
    // Only decimal literals: digits, one point, an optional exponent.
    std::size_t i = p;
    bool digits = false;
    while (i < a.size() && a[i] >= '0' && a[i] <= '9') ++i, digits = true;
    if (i < a.size() && a[i] == '.') {
        ++i;
        while (i < a.size() && a[i] >= '0' && a[i] <= '9') ++i, digits = true;
    }
    if (!digits) return std::nan("");
    if (i < a.size() && (a[i] == 'e' || a[i] == 'E')) {
        ++i;
        if (i < a.size() && (a[i] == '+' || a[i] == '-')) ++i;
        bool ed = false;
        while (i < a.size() && a[i] >= '0' && a[i] <= '9') ++i, ed = true;
        if (!ed) return std::nan("");
    }
    if (i != a.size()) return std::nan("");
    return std::strtod(a.c_str(), nullptr);
}

void NumberToString(double d, U16* out) {
    if (std::isnan(d)) return AppendAscii(out, "NaN");
    if (d == 0) return AppendAscii(out, "0");
    if (std::isinf(d)) return AppendAscii(out, d < 0 ? "-Infinity" : "Infinity");
    if (d < 0) {
        out->push_back('-');
        d = -d;
    }
    if (d < 1e15 && d == std::floor(d)) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", d);
        return AppendAscii(out, buf);
    }
    // Shortest digits that read back as the same number.
    char buf[40];
    int prec = 1;
    for (; prec <= 17; ++prec) {
        std::snprintf(buf, sizeof buf, "%.*e", prec - 1, d);
        if (std::strtod(buf, nullptr) == d) break;
    }
    if (prec > 17) prec = 17;
    std::snprintf(buf, sizeof buf, "%.*e", prec - 1, d);
    char digits[20];
    int k = 0;
    const char* q = buf;
    for (; *q && *q != 'e'; ++q) {
        if (*q >= '0' && *q <= '9') digits[k++] = *q;
    }
    int exp10 = std::atoi(q + 1);
    while (k > 1 && digits[k - 1] == '0') --k;
    int n = exp10 + 1;  // position of the decimal point
    std::string r;
    if (k <= n && n <= 21) {
        r.assign(digits, k);
        r.append(n - k, '0');
    } else if (0 < n && n <= 21) {
        r.assign(digits, n);
        r.push_back('.');
        r.append(digits + n, k - n);
    } else if (-6 < n && n <= 0) {
        r = "0.";
        r.append(-n, '0');
        r.append(digits, k);
    } else {
        r.push_back(digits[0]);
        if (k > 1) {
            r.push_back('.');
            r.append(digits + 1, k - 1);
        }
        r.push_back('e');
        r.push_back(n - 1 >= 0 ? '+' : '-');
        r += std::to_string(n - 1 >= 0 ? n - 1 : 1 - n);
    }
    AppendAscii(out, r.c_str());
}

std::uint32_t ToUint32(double d) {
    if (!std::isfinite(d) || d == 0) return 0;
    double t = std::trunc(d);
    double m = std::fmod(t, 4294967296.0);
    if (m < 0) m += 4294967296.0;
    return static_cast<std::uint32_t>(m);
}

std::int32_t ToInt32(double d) {
    return static_cast<std::int32_t>(ToUint32(d));
}

double ToInteger(double d) {
    if (std::isnan(d)) return 0;
    if (std::isinf(d)) return d;
    return std::trunc(d);
}

const char* TypeName(const Val& v) {
    switch (v.t) {
        case VT::Undef:
            return "undefined";
        case VT::Null:
            return "object";
        case VT::Bool:
            return "boolean";
        case VT::Num:
        case VT::Word:
            return "number";
        case VT::Str:
            return "string";
        case VT::Obj:
            return (v.o->kind == OK::Function || v.o->kind == OK::Native) ? "function" : "object";
    }
    return "undefined";
}

}  // namespace scr
