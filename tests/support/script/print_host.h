// A small global host object for trying scripts: print(value) writes the value's text and a
// newline to an output (standard output in scriptrun).
#pragma once

#include <string>

#include "script/script_heap.h"
#include "script/script_object.h"

class PrintHost : public ScriptObject {
public:
    explicit PrintHost(std::string* sink = nullptr) : sink_(sink) {}

    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool) override {
        if (ref->IsBound() || !name.EqualsAscii("print"))
            return Done(err, ScriptErrors::kMemberUnknown);
        return BindMember(err, ref, kPrint);
    }
    int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
             ScriptValue* result) override {
        if (ref->code != kPrint || !heap_) return Done(err, ScriptErrors::kInvalidType);
        std::u16string text;
        for (int i = 0; i < argc; ++i) {
            std::u16string part;
            int rc = heap_->ToText(stack[i], &part);
            if (rc) return Done(err, rc);
            if (i) text.push_back(' ');
            text += part;
        }
        std::string line = ToUtf8(text);
        line.push_back('\n');
        if (sink_)
            *sink_ += line;
        else
            std::fwrite(line.data(), 1, line.size(), stdout);
        *result = ScriptValues::kUndefined;
        return Done(err, 0);
    }
    void Notify(int event, ScriptHeap* heap) override { heap_ = event == 0 ? heap : nullptr; }

    // What print() wrote, as one line: trailing line ends dropped, the others become '|'.
    static std::string JoinLines(std::string printed) {
        while (!printed.empty() && printed.back() == '\n') printed.pop_back();
        for (char& c : printed) {
            if (c == '\n') c = '|';
        }
        return printed;
    }

    static std::string ToUtf8(const std::u16string& s) {
        std::string r;
        for (std::size_t i = 0; i < s.size(); ++i) {
            std::uint32_t c = s[i];
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
                s[i + 1] <= 0xDFFF)
                c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
            if (c < 0x80) {
                r.push_back(static_cast<char>(c));
            } else if (c < 0x800) {
                r.push_back(static_cast<char>(0xC0 | (c >> 6)));
                r.push_back(static_cast<char>(0x80 | (c & 63)));
            } else if (c < 0x10000) {
                r.push_back(static_cast<char>(0xE0 | (c >> 12)));
                r.push_back(static_cast<char>(0x80 | ((c >> 6) & 63)));
                r.push_back(static_cast<char>(0x80 | (c & 63)));
            } else {
                r.push_back(static_cast<char>(0xF0 | (c >> 18)));
                r.push_back(static_cast<char>(0x80 | ((c >> 12) & 63)));
                r.push_back(static_cast<char>(0x80 | ((c >> 6) & 63)));
                r.push_back(static_cast<char>(0x80 | (c & 63)));
            }
        }
        return r;
    }
    static std::u16string FromUtf8(const std::string& s) {
        std::u16string r;
        for (std::size_t i = 0; i < s.size();) {
            unsigned char c = static_cast<unsigned char>(s[i]);
            std::uint32_t cp;
            int n;
            if (c < 0x80)
                cp = c, n = 1;
            else if ((c & 0xE0) == 0xC0)
                cp = c & 31, n = 2;
            else if ((c & 0xF0) == 0xE0)
                cp = c & 15, n = 3;
            else if ((c & 0xF8) == 0xF0)
                cp = c & 7, n = 4;
            else
                cp = 0xFFFD, n = 1;
            if (i + n > s.size()) {
                r.push_back(0xFFFD);
                break;
            }
            for (int k = 1; k < n; ++k)
                cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 63);
            i += n;
            if (cp >= 0x10000) {
                cp -= 0x10000;
                r.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
                r.push_back(static_cast<char16_t>(0xDC00 + (cp & 1023)));
            } else {
                r.push_back(static_cast<char16_t>(cp));
            }
        }
        return r;
    }

private:
    static constexpr int kPrint = 1000;
    std::string* sink_;
    ScriptHeap* heap_ = nullptr;
};
