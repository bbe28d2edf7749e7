// A compiled unit: string constants, numbers, names and the bytecode of its functions. Immutable
// once compiled or read, and may run many times. Its serialised form is plain text (digits and
// letters only), so that it survives whatever code page a document source decodes it with.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/string.h"
#include "script/script_bytecode.h"

class ScriptCode {
public:
    ScriptCode();
    ~ScriptCode();
    ScriptCode(const ScriptCode&) = delete;
    ScriptCode& operator=(const ScriptCode&) = delete;

    // Adds a string constant and returns its index (-1 when it cannot be added). A forced entry
    // always gets a new index, so that literal i of a script page is constant i; other entries
    // share an equal existing one.
    int AddString(const char16_t* chars, std::uint32_t count, bool forced);
    int AddString(const String& text, bool forced) {
        return AddString(text.Data(), static_cast<std::uint32_t>(text.Length()), forced);
    }
    std::uint32_t StringCount() const;
    const std::u16string* StringAt(std::uint32_t index) const;
    void SetName(const std::u16string& name);
    const std::u16string& Name() const;
    bool IsCompiled() const;

    // Serialised form.
    bool Write(std::u16string* out) const;
    static constexpr int kReadComplete = 0;
    static constexpr int kReadIncomplete = -1;
    // Feeds the next piece of a serialised unit: kReadIncomplete until the whole unit has been
    // seen, then kReadComplete; a positive error code (17 corrupt or wrong version, 1 out of
    // memory) when the text is no unit. Pieces after completion are an error.
    int Read(const char16_t* chars, std::uint32_t count);
    void ResetRead();

    // ---- engine side
    std::shared_ptr<scr::UnitData> Data() const { return data_; }
    // The unit data for changing; copied first when a running function still shares it.
    scr::UnitData* Mutable();

private:
    std::shared_ptr<scr::UnitData> data_;
    std::u16string readBuffer_;
    std::uint64_t readNeed_ = 0;
    int readState_ = 0;  // 0 none, 1 reading, 2 complete, 3 failed
};
