// Table-driven recogniser that cuts characters into tokens. A table set holds, per mode, a
// class table (129 entries: characters 0-127, then one class for everything from 128 up) and a
// next-state table whose rows end with the row's stop entry, plus the token table.
#pragma once

#include <cstddef>
#include <cstdint>

struct ScannerMode {
    const int8_t* next;      // rows of classCount entries; the last one is the stop entry
    const uint8_t* classes;  // 129 entries
    uint8_t classCount;      // including the stop column
};

struct ScannerToken {
    uint16_t kind;    // 0 or 1 delivers the action; bit 0x20: the token switches the mode
    uint16_t action;
    uint16_t mode;    // high byte: the mode to switch to
    uint16_t unused;
};

struct ScannerTableSet {
    const ScannerMode* modes;
    uint8_t startMode;
    uint8_t modeCount;
    uint8_t tokenCount;
    const ScannerToken* tokens;
};

constexpr uint16_t kTokenSwitchesMode = 0x20;

class Scanner {
public:
    void LoadTables(const ScannerTableSet* set);
    // Switches the mode; nothing when it is already current.
    void SetState(uint32_t mode) {
        if (mode == mode_ || !set_ || mode >= set_->modeCount) return;
        mode_ = mode;
        const ScannerMode& m = set_->modes[mode];
        next_ = m.next;
        classes_ = m.classes;
        classCount_ = m.classCount;
    }
    void Reset() {}
    void Release() {}

    // Scans chars[*index, count) in the current state, taking at most *limit characters.
    // True when the scan stopped (with a token, or none: Token() == -1); false when the
    // characters ran out first (the caller may go on with more in the same state). A run that
    // used up the limit counts as stopped.
    bool Run(const char16_t* chars, uint32_t* index, uint32_t count, uint32_t* limit);

    // The stop entry of the state reached, for input that ends where the scan ran out.
    int32_t StopToken() const;

    int32_t Token() const { return token_; }
    const ScannerToken* TokenInfo(int32_t token) const {
        if (!set_ || token < 0 || token >= set_->tokenCount) return nullptr;
        return &set_->tokens[token];
    }
    uint32_t Mode() const { return mode_; }
    uint32_t StartMode() const { return set_ ? set_->startMode : 0; }
    int8_t state = 0;  // reset to 0 by the caller at the start of each token

private:
    const ScannerTableSet* set_ = nullptr;
    const int8_t* next_ = nullptr;
    const uint8_t* classes_ = nullptr;
    uint32_t classCount_ = 0;
    uint32_t mode_ = 0;
    int32_t token_ = -1;
};

inline bool Scanner::Run(const char16_t* chars, uint32_t* index, uint32_t count,
                         uint32_t* limit) {
    uint32_t start = *index;
    uint32_t i = start;
    uint32_t left = *limit;
    uint32_t end = count - i > left ? i + left : count;
    const uint8_t* classes = classes_;
    const int8_t* next = next_;
    const uint32_t width = classCount_;
    int32_t current = state;
    const int8_t* row = next + current * static_cast<int32_t>(width);
    while (i < end) {
        char16_t c = chars[i];
        int32_t entry = row[classes[c < 128 ? c : 128]];
        if (entry == current) {  // staying in the state: the row is unchanged
            ++i;
            continue;
        }
        if (entry >= 0) {
            current = entry;
            row = next + entry * static_cast<int32_t>(width);
            ++i;
            continue;
        }
        if (entry <= -2) {
            ++i;
            token_ = -2 - entry;
        } else {
            token_ = row[width - 1];
        }
        state = static_cast<int8_t>(current);
        *limit = left - (i - start);
        *index = i;
        return true;
    }
    state = static_cast<int8_t>(current);
    *limit = left - (i - start);
    *index = i;
    token_ = row[width - 1];
    // A run that used up the limit counts as stopped.
    return *limit == 0;
}

// Markup modes and the actions of their tokens.
enum MarkupMode : uint32_t {
    kModeCData = 0,
    kModeRawScript = 1,
    kModeTagName = 2,
    kModeSkipAttribute = 3,
    kModeSkipToClose = 4,
    kModeComment = 5,
    kModeAttributes = 6,
    kModeText = 7,
    kModeValue = 8,  // an attribute's value, after its '='
};

enum MarkupAction : uint16_t {
    kActTagClose = 1,
    kActInstructionOpen = 2,
    kActDeclarationOpen = 3,
    kActEndTagOpen = 4,
    kActStartTagOpen = 5,
    kActWord = 6,
    kActQuotedValue = 7,
    kActEquals = 8,
    kActEmptyTagClose = 9,
    kActUnquotedValue = 10,
    kActName = 11,
    kActRawClose = 12,
    kActReference = 16,
    kActSpace = 18,
    kActCDataOpen = 83,
    kActCDataClose = 84,
};

// Plain-text actions.
enum PlainAction : uint16_t {
    kPlainSpaces = 13,
    kPlainSpacesTabs = 14,
    kPlainBreak = 15,
    kPlainWord = 17,
};

const ScannerTableSet* MarkupTableSet();
const ScannerTableSet* PlainTextTableSet();
