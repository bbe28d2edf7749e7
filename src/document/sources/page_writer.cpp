#include "document/sources/page_writer.h"

#include <cstring>
#include <new>

#include "bookfiles/palm_database.h"
#include "core/charset.h"
#include "core/resources.h"
#include "core/string.h"
#include "core/text.h"

namespace {

constexpr uint32_t kUnknown = 0xFFFFFFFFu;

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

void Put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// The length of a UTF-8 sequence from its first byte (1 for anything else).
uint32_t SequenceLength(uint8_t lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

}  // namespace

PageWriter::PageWriter() = default;

PageWriter::~PageWriter() {
    if (database_) Abort();
}

uint32_t PageWriter::TextPosition() const {
    uint32_t charSize = codePage_ == CodePages::kUtf8 ? 1 : 2;
    return fullRecords_ * (kRecordBytes / charSize) + recordUsed_ / charSize;
}

int PageWriter::Open(const Text& path, uint32_t titleBytes, uint32_t codePage) {
    if (path.IsEmpty() || database_ || titleBytes > 0xFFFF) {
        failed_ = true;
        return 1;
    }
    int error = 0;
    database_.reset(PalmDatabase::Open(path, createMode_ == 1 ? 151 : 23, "FOLV", "BOOK", &error));
    if (!database_) {
        failed_ = true;
        return 1;
    }
    codePage_ = codePage;
    if (codePage == CodePages::kUtf8) {
        recordAllocation_ = kRecordBytes + 6;
        charsPerRecord_ = kRecordBytes;
    }
    uint32_t header = 0;
    if (!database_->NewRecord(PalmDatabase::kAppend, kHeaderSize + titleBytes, &header) ||
        !database_->NewRecord(PalmDatabase::kAppend, recordAllocation_, &record_)) {
        Abort();
        return 1;
    }
    recordCapacity_ = recordAllocation_;
    recordUsed_ = 0;
    fullRecords_ = 0;
    return 0;
}

bool PageWriter::CloseRecord(bool last) {
    uint32_t size = recordUsed_;
    if (codePage_ == CodePages::kUtf8) {
        // Every record ends with its trailing entry: the bytes of a character that goes on in
        // the next record, then their count; tail_ holds them.
        uint8_t count = static_cast<uint8_t>(tail_.size());
        bool ok = (tail_.empty() || database_->WriteRecord(record_, size, tail_.data(), count)) &&
                  database_->WriteRecord(record_, size + count, &count, 1);
        if (!ok) return false;
        size += count + 1u;
        tail_.clear();
    }
    if (!database_->ResizeRecord(record_, size)) return false;
    if (last) return true;
    uint32_t next = 0;
    if (!database_->NewRecord(PalmDatabase::kAppend, recordAllocation_, &next)) return false;
    record_ = next;
    ++fullRecords_;
    recordUsed_ = 0;
    return true;
}

void PageWriter::WriteRaw(const uint8_t* bytes, uint32_t count) {
    if (!bytes || count == 0 || failed_) return;
    while (count > 0) {
        if (!database_ || record_ == 0 || recordCapacity_ == 0) {
            failed_ = true;
            return;
        }
        uint32_t room = kRecordBytes - recordUsed_;
        if (room > count) {
            if (!database_->WriteRecord(record_, recordUsed_, bytes, count)) return Abort();
            recordUsed_ += count;
            return;
        }
        if (!database_->WriteRecord(record_, recordUsed_, bytes, room)) return Abort();
        recordUsed_ += room;
        bytes += room;
        count -= room;
        if (codePage_ == CodePages::kUtf8) {
            // The last character's first byte lies at most 6 bytes back.
            uint8_t last[6] = {};
            uint32_t got = 0;
            database_->ReadRecord(record_, kRecordBytes - 6, last, 6, &got);
            for (int back = 0; back < 6; ++back) {
                uint8_t b = last[5 - back];
                if ((b & 0xC0) == 0x80) continue;
                uint32_t length = SequenceLength(b);
                uint32_t have = static_cast<uint32_t>(back) + 1;
                for (uint32_t i = 0; have < length && i < length - have && i < count; ++i)
                    tail_.push_back(bytes[i]);
                break;
            }
        }
        if (!CloseRecord(false)) return Abort();
    }
}

void PageWriter::WriteChars(const char16_t* chars, uint32_t count) {
    if (!chars || count == 0 || failed_) return;
    std::vector<uint8_t> bytes;
    try {
        if (codePage_ == CodePages::kUtf8) {
            bytes.resize(static_cast<size_t>(count) * 3);
            int32_t n = Utf8::EncodeFromUtf16(chars, count, bytes.data(), bytes.size());
            if (n < 0) {
                failed_ = true;
                return;
            }
            bytes.resize(static_cast<size_t>(n));
        } else {
            bytes.resize(static_cast<size_t>(count) * 2);
            for (uint32_t i = 0; i < count; ++i) {
                bytes[2 * i] = static_cast<uint8_t>(chars[i]);
                bytes[2 * i + 1] = static_cast<uint8_t>(chars[i] >> 8);
            }
        }
    } catch (const std::bad_alloc&) {
        failed_ = true;
        return;
    }
    WriteRaw(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void PageWriter::WriteNumber(uint32_t value) {
    if (value == kNoNumber) return;
    char16_t digits[10];
    int n = 0;
    do {
        digits[9 - n++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value);
    WriteChars(digits + 10 - n, static_cast<uint32_t>(n));
}

void PageWriter::WriteString(uint32_t id) {
    String text;
    if (!Resources::LoadString(text, id)) {
        failed_ = true;
        return;
    }
    WriteChars(text.Data(), static_cast<uint32_t>(text.Length()));
}

void PageWriter::FillString(uint32_t id, std::initializer_list<Arg> args) {
    String text;
    if (!Resources::LoadString(text, id)) {
        failed_ = true;
        return;
    }
    FillTemplate(text.Data(), static_cast<uint32_t>(text.Length()), args);
}

void PageWriter::FillTemplate(const char16_t* text, uint32_t length,
                              std::initializer_list<Arg> args) {
    const Arg* arg = args.begin();
    auto find = [](const char16_t* s, uint32_t n, uint32_t from) {
        for (uint32_t i = from; i + 3 <= n; ++i)
            if (s[i] == u'#' && s[i + 1] == u'#' && s[i + 2] == u'#') return i;
        return kUnknown;
    };
    while (!failed_) {
        uint32_t open = text ? find(text, length, 0) : kUnknown;
        uint32_t close = open == kUnknown ? kUnknown : find(text, length, open + 3);
        if (close == kUnknown) {
            WriteChars(text, length);
            for (; arg != args.end(); ++arg)
                if (arg->text || arg->value != 0) failed_ = true;
            return;
        }
        uint32_t fieldEnd = close + 3;
        WriteChars(text, open);
        bool href = fieldEnd - open == 10 && std::memcmp(text + open + 3, u"HREF", 8) == 0;
        if (arg == args.end()) {
            // A field with no argument left shows nothing; a link without one cannot be made.
            if (href) failed_ = true;
        } else if (href) {
            AddReference(arg->value, TextPosition());
            WriteChars(u"00000000", 8);
        } else if (arg->text) {
            WriteChars(arg->text, arg->value);
        } else {
            WriteNumber(arg->value);
        }
        if (arg != args.end()) ++arg;
        text += fieldEnd;
        length -= fieldEnd;
    }
}

void PageWriter::AddReference(uint32_t id, uint32_t position) {
    bool taken = false;
    for (Fixup& f : fixups_)
        if (f.id == id && f.position == kUnknown) {
            f.position = position;
            taken = true;
        }
    if (taken) return;
    try {
        fixups_.push_back({position, id, kUnknown});
    } catch (const std::bad_alloc&) {
        failed_ = true;
    }
}

void PageWriter::DefineTarget(uint32_t id) {
    if (failed_) return;
    uint32_t here = TextPosition();
    bool any = false;
    for (Fixup& f : fixups_) {
        if (f.id != id) continue;
        any = true;
        if (f.target != kUnknown) failed_ = true;
        f.target = here;
    }
    if (any) return;
    try {
        fixups_.push_back({kUnknown, id, here});
    } catch (const std::bad_alloc&) {
        failed_ = true;
    }
}

bool PageWriter::Patch(uint64_t textByte, const uint8_t* bytes, uint32_t count) {
    // Text record k (from 1) holds text bytes (k - 1) * 4096 ..; a patch may run into the next.
    while (count > 0) {
        uint64_t record = 1 + textByte / kRecordBytes;
        uint32_t offset = static_cast<uint32_t>(textByte % kRecordBytes);
        uint32_t n = kRecordBytes - offset < count ? kRecordBytes - offset : count;
        if (record > record_ || !database_->WriteRecord(static_cast<uint32_t>(record), offset, bytes, n))
            return false;
        bytes += n;
        count -= n;
        textByte += n;
    }
    return true;
}

bool PageWriter::Finish(uint32_t type, uint32_t uniqueId, const char16_t* title,
                        uint32_t titleBytes) {
    if (!database_ || record_ == 0 || recordCapacity_ == 0) {
        Abort();
        return true;
    }
    uint32_t textRecords = record_;
    uint32_t textLength = TextPosition();
    if (!failed_ && !CloseRecord(true)) failed_ = true;

    // A link is patched only inside its own placeholder, and only when both ends are known.
    uint32_t charSize = codePage_ == CodePages::kUtf8 ? 1 : 2;
    for (const Fixup& f : fixups_) {
        if (failed_) break;
        if (f.position == kUnknown || f.target == kUnknown || f.target > 99999999u ||
            f.position > textLength || textLength - f.position < 8) {
            failed_ = true;
            break;
        }
        uint8_t digits[16] = {};
        uint32_t v = f.target;
        for (int i = 7; i >= 0; --i) {
            uint8_t d = static_cast<uint8_t>('0' + v % 10);
            v /= 10;
            digits[i * charSize] = d;
        }
        if (!Patch(static_cast<uint64_t>(f.position) * charSize, digits, 8 * charSize))
            failed_ = true;
    }

    if (uniqueId == kNoNumber) uniqueId = random_.Next();
    uint32_t reserved = database_->GetRecordLength(0);
    if (reserved < kHeaderSize || titleBytes > reserved - kHeaderSize || (titleBytes && !title) ||
        titleBytes % 2 != 0)
        failed_ = true;
    if (!failed_) {
        std::vector<uint8_t> r(kHeaderSize + titleBytes, 0);
        uint8_t* p = r.data();
        Put16(p + 0, compression_);
        Put32(p + 4, textLength);
        Put16(p + 8, textRecords);
        Put16(p + 10, kRecordBytes / charSize);
        std::memcpy(p + 16, "FOLV", 4);
        Put32(p + 20, 208);
        Put32(p + 24, type);
        Put32(p + 28, codePage_);
        Put32(p + 32, uniqueId);
        Put32(p + 36, 4);
        std::memset(p + 40, 0xFF, 40);
        Put32(p + 84, titleBytes ? kHeaderSize : kUnknown);
        Put32(p + 88, titleBytes);
        Put32(p + 104, 1);
        std::memset(p + 164, 0xFF, 8);
        Put32(p + 192, kUnknown);
        Put32(p + 196, 1);
        for (uint32_t i = 0; i < titleBytes / 2; ++i) {
            p[kHeaderSize + 2 * i] = static_cast<uint8_t>(title[i]);
            p[kHeaderSize + 2 * i + 1] = static_cast<uint8_t>(title[i] >> 8);
        }
        if (!database_->ResizeRecord(0, static_cast<uint32_t>(r.size())) ||
            !database_->WriteRecord(0, 0, r.data(), static_cast<uint32_t>(r.size())) ||
            !database_->Flush())
            failed_ = true;
    }
    if (failed_) Abort();
    return failed_;
}

PalmDatabase* PageWriter::TakeDatabase() {
    return failed_ ? nullptr : database_.release();
}

void PageWriter::Abort() {
    failed_ = true;
    if (!database_) return;
    database_->Destroy();
    database_.reset();
    record_ = 0;
    recordCapacity_ = 0;
}

bool PageWriter::EscapeForScriptString(const String& in, String& out, bool encodePercent) {
    String made;
    if (!made.Reserve(in.Length() + in.Length() / 2)) return false;
    for (int32_t i = 0; i < in.Length(); ++i) {
        char16_t c = in[i];
        bool ok = true;
        if (c == u'"')
            ok = made.AppendAscii("\\&quot;");
        else if (c == u'\'' || c == u'\\')
            ok = made.AppendChar(u'\\') && made.AppendChar(c);
        else if (c == u'%' && encodePercent)
            ok = made.AppendAscii("%25");
        else
            ok = made.AppendChar(c);
        if (!ok) return false;
    }
    out = made;
    return true;
}
