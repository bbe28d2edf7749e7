#include "script/script_code.h"

#include <cstring>

namespace {

using scr::FuncProto;
using scr::UnitData;

constexpr std::uint32_t kFormatVersion = 1;
constexpr std::uint64_t kMaxPayload = 1u << 28;
const char kFinal[] = "0123456789abcdefghijklmnopqrstuv";
const char kMore[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZwxyz+-";

int DigitValue(char16_t c, bool* more) {
    if (c >= 128) return -1;
    const char* p = std::strchr(kFinal, static_cast<char>(c));
    if (p && c) {
        *more = false;
        return static_cast<int>(p - kFinal);
    }
    p = std::strchr(kMore, static_cast<char>(c));
    if (p && c) {
        *more = true;
        return static_cast<int>(p - kMore);
    }
    return -1;
}

class Writer {
public:
    explicit Writer(std::u16string* out) : out_(out) {}
    void Num(std::uint32_t v) {
        char groups[8];
        int n = 0;
        do {
            groups[n++] = static_cast<char>(v & 31);
            v >>= 5;
        } while (v);
        for (int i = n - 1; i > 0; --i) Put(kMore[static_cast<int>(groups[i])], groups[i]);
        Put(kFinal[static_cast<int>(groups[0])], groups[0]);
    }
    void Str(const std::u16string& s) {
        Num(static_cast<std::uint32_t>(s.size()));
        for (char16_t c : s) Num(c);
    }
    std::uint32_t sum = 0;
    std::uint64_t count = 0;

private:
    void Put(char c, int v) {
        out_->push_back(static_cast<char16_t>(c));
        sum = sum * 31 + static_cast<std::uint32_t>(v) + 1;
        ++count;
    }
    std::u16string* out_;
};

class Reader {
public:
    Reader(const std::u16string& s, std::size_t pos, std::size_t end) : s_(s), p_(pos), end_(end) {}
    bool Num(std::uint32_t* v) {
        std::uint64_t r = 0;
        for (int i = 0; i < 8; ++i) {
            if (p_ >= end_) return false;
            bool more;
            int d = DigitValue(s_[p_++], &more);
            if (d < 0) return false;
            sum = sum * 31 + static_cast<std::uint32_t>(d) + 1;
            r = (r << 5) | static_cast<std::uint64_t>(d);
            if (r > 0xFFFFFFFFu) return false;
            if (!more) {
                *v = static_cast<std::uint32_t>(r);
                return true;
            }
        }
        return false;
    }
    bool Count(std::uint32_t* v) { return Num(v) && *v <= Remaining(); }
    bool Str(std::u16string* s) {
        std::uint32_t n;
        if (!Count(&n)) return false;
        s->resize(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            std::uint32_t c;
            if (!Num(&c) || c > 0xFFFF) return false;
            (*s)[i] = static_cast<char16_t>(c);
        }
        return true;
    }
    std::size_t Remaining() const { return end_ - p_; }
    std::size_t Pos() const { return p_; }
    std::uint32_t sum = 0;

private:
    const std::u16string& s_;
    std::size_t p_, end_;
};

void WritePayload(const UnitData& u, Writer& w) {
    w.Str(u.unitName);
    w.Num(static_cast<std::uint32_t>(u.strings.size()));
    for (const auto& s : u.strings) w.Str(s);
    w.Num(static_cast<std::uint32_t>(u.numbers.size()));
    for (double d : u.numbers) {
        std::uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        w.Num(static_cast<std::uint32_t>(bits >> 32));
        w.Num(static_cast<std::uint32_t>(bits));
    }
    w.Num(static_cast<std::uint32_t>(u.names.size()));
    for (const auto& s : u.names) w.Str(s);
    w.Num(static_cast<std::uint32_t>(u.funcs.size()));
    for (const FuncProto& f : u.funcs) {
        w.Str(f.name);
        w.Num(f.params);
        w.Num(f.locals);
        w.Num(f.usesEnv ? 1 : 0);
        w.Num(static_cast<std::uint32_t>(f.parent + 1));
        w.Num(f.depth);
        w.Num(static_cast<std::uint32_t>(f.code.size()));
        for (std::uint8_t b : f.code) w.Num(b);
        w.Num(static_cast<std::uint32_t>(f.lines.size()));
        for (const auto& l : f.lines) {
            w.Num(l.first);
            w.Num(l.second);
        }
    }
}

bool ReadPayload(Reader& r, UnitData* u) {
    std::uint32_t n;
    if (!r.Str(&u->unitName) || !r.Count(&n)) return false;
    u->strings.resize(n);
    for (auto& s : u->strings) {
        if (!r.Str(&s)) return false;
    }
    if (!r.Count(&n)) return false;
    u->numbers.resize(n);
    for (double& d : u->numbers) {
        std::uint32_t hi, lo;
        if (!r.Num(&hi) || !r.Num(&lo)) return false;
        std::uint64_t bits = (static_cast<std::uint64_t>(hi) << 32) | lo;
        std::memcpy(&d, &bits, sizeof d);
    }
    if (!r.Count(&n)) return false;
    u->names.resize(n);
    for (auto& s : u->names) {
        if (!r.Str(&s)) return false;
    }
    if (!r.Count(&n) || n == 0) return false;
    u->funcs.resize(n);
    for (FuncProto& f : u->funcs) {
        std::uint32_t usesEnv, parent, size;
        if (!r.Str(&f.name) || !r.Num(&f.params) || !r.Num(&f.locals) || !r.Num(&usesEnv) ||
            usesEnv > 1 || !r.Num(&parent) || !r.Num(&f.depth) || !r.Count(&size))
            return false;
        f.usesEnv = usesEnv == 1;
        f.parent = static_cast<std::int32_t>(parent) - 1;
        f.code.resize(size);
        for (auto& b : f.code) {
            std::uint32_t v;
            if (!r.Num(&v) || v > 255) return false;
            b = static_cast<std::uint8_t>(v);
        }
        if (!r.Count(&size)) return false;
        f.lines.resize(size);
        for (auto& l : f.lines) {
            if (!r.Num(&l.first) || !r.Num(&l.second)) return false;
        }
    }
    return r.Remaining() == 0;
}

bool IsSpace(char16_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

ScriptCode::ScriptCode() : data_(std::make_shared<UnitData>()) {}
ScriptCode::~ScriptCode() = default;

UnitData* ScriptCode::Mutable() {
    if (data_.use_count() > 1) data_ = std::make_shared<UnitData>(*data_);
    return data_.get();
}

int ScriptCode::AddString(const char16_t* chars, std::uint32_t count, bool forced) {
    std::u16string s(chars ? chars : u"", chars ? count : 0);
    UnitData* u = Mutable();
    if (!forced) {
        for (std::size_t i = 0; i < u->strings.size(); ++i) {
            if (u->strings[i] == s) return static_cast<int>(i);
        }
    }
    if (u->strings.size() >= 0x7FFFFFF) return -1;
    u->strings.push_back(std::move(s));
    return static_cast<int>(u->strings.size() - 1);
}

std::uint32_t ScriptCode::StringCount() const {
    return static_cast<std::uint32_t>(data_->strings.size());
}

const std::u16string* ScriptCode::StringAt(std::uint32_t index) const {
    return index < data_->strings.size() ? &data_->strings[index] : nullptr;
}

void ScriptCode::SetName(const std::u16string& name) {
    Mutable()->unitName = name;
}
const std::u16string& ScriptCode::Name() const {
    return data_->unitName;
}
bool ScriptCode::IsCompiled() const {
    return !data_->funcs.empty();
}

bool ScriptCode::Write(std::u16string* out) const {
    if (!out || !IsCompiled()) return false;
    std::u16string payload;
    Writer w(&payload);
    WritePayload(*data_, w);
    out->clear();
    for (const char* p = "FVSC"; *p; ++p) out->push_back(static_cast<char16_t>(*p));
    Writer h(out);
    h.Num(kFormatVersion);
    h.Num(static_cast<std::uint32_t>(payload.size()));
    out->append(payload);
    h.Num(w.sum);
    return true;
}

void ScriptCode::ResetRead() {
    readBuffer_.clear();
    readNeed_ = 0;
    readState_ = 0;
}

int ScriptCode::Read(const char16_t* chars, std::uint32_t count) {
    if (readState_ == 3) return 17;
    if (readState_ == 2) {
        for (std::uint32_t i = 0; i < count; ++i) {
            if (!IsSpace(chars[i])) {
                readState_ = 3;
                return 17;
            }
        }
        return kReadComplete;
    }
    readState_ = 1;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!IsSpace(chars[i])) readBuffer_.push_back(chars[i]);
    }
    auto fail = [this](int code) {
        readState_ = 3;
        readBuffer_.clear();
        return code;
    };
    // Header: "FVSC", version, payload length.
    const std::size_t have = readBuffer_.size();
    for (std::size_t i = 0; i < 4 && i < have; ++i) {
        if (readBuffer_[i] != static_cast<char16_t>("FVSC"[i])) return fail(17);
    }
    if (have > kMaxPayload + 64) return fail(17);
    Reader hr(readBuffer_, 4, have);
    std::uint32_t version, length;
    {
        // A number is complete once its final digit is there.
        std::size_t p = 4;
        int numbers = 0;
        while (p < have && numbers < 2) {
            bool more;
            if (DigitValue(readBuffer_[p], &more) < 0) return fail(17);
            if (!more) ++numbers;
            ++p;
        }
        if (numbers < 2) return kReadIncomplete;
    }
    if (!hr.Num(&version)) return fail(17);
    if (version != kFormatVersion) return fail(17);
    if (!hr.Num(&length)) return fail(17);
    std::size_t payloadAt = hr.Pos();
    std::size_t payloadEnd = payloadAt + length;
    if (have < payloadEnd + 1) return kReadIncomplete;
    std::size_t p = payloadEnd;
    while (p < have) {
        bool more;
        if (DigitValue(readBuffer_[p], &more) < 0) return fail(17);
        ++p;
        if (!more) break;
        if (p == have) return kReadIncomplete;
    }
    if (p != have) return fail(17);
    UnitData u;
    Reader pr(readBuffer_, payloadAt, payloadEnd);
    if (!ReadPayload(pr, &u)) return fail(17);
    Reader cr(readBuffer_, payloadEnd, have);
    std::uint32_t sum;
    if (!cr.Num(&sum) || sum != pr.sum) return fail(17);
    if (!scr::VerifyUnit(u)) return fail(17);
    data_ = std::make_shared<UnitData>(std::move(u));
    readBuffer_.clear();
    readBuffer_.shrink_to_fit();
    readState_ = 2;
    return kReadComplete;
}
