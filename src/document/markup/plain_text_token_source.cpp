#include "document/markup/plain_text_token_source.h"

#include <algorithm>

#include "core/byte_stream.h"
#include "document/markup/keyword_tree.h"

namespace {
constexpr uint32_t kMaxColumn = 1u << 24;
}

PlainTextTokenSource::PlainTextTokenSource() { stream_.scanner.LoadTables(PlainTextTableSet()); }

PlainTextTokenSource::~PlainTextTokenSource() { stream_.ClearSegments(); }

bool PlainTextTokenSource::Attach(DocumentSource* source, uint32_t mode) {
    stream_.Attach(source, mode);
    return source != nullptr;
}

bool PlainTextTokenSource::GetPosition(uint32_t& position) {
    position = stream_.GetPosition();
    return true;
}

uint32_t PlainTextTokenSource::GetTag(bool& isEnd, bool& isEmpty) {
    isEnd = state_ == 3 || state_ == 4;
    isEmpty = state_ == 6;
    switch (state_) {
        case 1:
        case 4:
            return kTagHtml;
        case 2:
        case 3:
            return kTagBody;
        case 6:
            return kTagBr;
        default:
            isEnd = isEmpty = false;
            return 0;
    }
}

uint32_t PlainTextTokenSource::LastTokenKind() {
    switch (state_) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 6:
            return kTokenTag;
        case 7:
            return kTokenText;
        case 8:
            return kTokenSpace;
        case 5:
            if (lastRead_ != CharStream::kReadToken) return kTokenEnd;
            if (lastAction_ == kPlainSpaces || lastAction_ == kPlainSpacesTabs) return kTokenSpace;
            if (lastAction_ == kPlainBreak) return kTokenTag;
            if (lastAction_ == kPlainWord) return kTokenText;
            return kTokenEnd;
        default:
            return kTokenEnd;
    }
}

bool PlainTextTokenSource::Start(uint32_t position, bool resync) {
    state_ = position ? 5 : 0;
    column_ = 0;
    lastRead_ = CharStream::kReadToken;
    lastAction_ = 0;
    text_.Release();
    stream_.ClearPieces();
    stream_.SetPosition(position);
    // The layout restarts at 0 to have the pages given back.
    if (position == 0) stream_.ReleaseUnusedButCurrent();
    if (resync && position) {
        // Reading starts after the word the position fell in, unless it is a word start.
        uint32_t prevPos = position - 1;
        stream_.SetPosition(prevPos);
        char16_t prev = 0;
        bool atBoundary = !stream_.Peek(prev) || prev <= 32;
        stream_.SetPosition(position);
        if (!atBoundary) {
            char16_t c;
            if (stream_.Peek(c) && c > 32) {
                int32_t token;
                stream_.ReadToken(token, 30);
            }
        }
    }
    return true;
}

uint32_t PlainTextTokenSource::Read() {
    while (true) {
        int32_t token = -1;
        int r = stream_.ReadToken(token, 30);
        lastRead_ = static_cast<uint32_t>(r);
        if (r == CharStream::kReadNoToken) {
            // A control character: dropped.
            char16_t c;
            stream_.NextChar(c);
            continue;
        }
        if (r != CharStream::kReadToken) {
            state_ = 3;
            lastRead_ = CharStream::kReadToken;
            return kTokenTag;
        }
        const ScannerToken* info = stream_.scanner.TokenInfo(token);
        lastAction_ = info ? info->action : 0;
        switch (lastAction_) {
            case kPlainWord:
                if (!stream_.ExtractText(text_, false, false, false)) {
                    state_ = 3;
                    return kTokenTag;
                }
                column_ = std::min(kMaxColumn, column_ + static_cast<uint32_t>(text_.Length()));
                return kTokenText;
            case kPlainSpaces: {
                uint32_t n = stream_.GetLength();
                if (n <= 1) {
                    column_ = std::min(kMaxColumn, column_ + 1);
                    return kTokenSpace;
                }
                text_.Release();
                if (!text_.AppendRepeat(u' ', static_cast<int32_t>(n - 1))) {
                    state_ = 3;
                    return kTokenTag;
                }
                column_ = std::min(kMaxColumn, column_ + n - 1);
                state_ = 7;
                return kTokenText;
            }
            case kPlainSpacesTabs: {
                // Left to right: a space takes one column, a TAB runs to the next multiple of 8.
                String run;
                uint32_t col = column_;
                for (uint32_t i = 0; i < stream_.PieceCount(); ++i) {
                    const char16_t* p = stream_.PieceData(i);
                    for (uint32_t k = 0; k < stream_.PieceLength(i); ++k) {
                        uint32_t n = p[k] == u'\t' ? 8 - col % 8 : 1;
                        run.AppendRepeat(u' ', static_cast<int32_t>(n));
                        col += n;
                    }
                }
                if (run.Length() <= 1) {
                    column_ = std::min(kMaxColumn, column_ + 1);
                    state_ = 8;
                    return kTokenSpace;
                }
                text_.AssignSub(run, 0, run.Length() - 1);
                column_ = std::min(kMaxColumn, column_ + static_cast<uint32_t>(text_.Length()));
                state_ = 7;
                return kTokenText;
            }
            case kPlainBreak:
                state_ = 6;
                column_ = 0;
                return kTokenTag;
            default:
                continue;
        }
    }
}

uint32_t PlainTextTokenSource::NextToken() {
    switch (state_) {
        case 0:
            state_ = 1;
            return kTokenTag;
        case 1:
            state_ = 2;
            return kTokenTag;
        case 3:
            state_ = 4;
            return kTokenTag;
        case 4:
            state_ = 9;
            return kTokenEnd;
        case 7:
            state_ = 8;
            column_ = std::min(kMaxColumn, column_ + 1);
            return kTokenSpace;
        case 2:
        case 6:
        case 8:
            state_ = 5;
            return Read();
        case 5:
            return Read();
        default:
            state_ = 9;
            return kTokenEnd;
    }
}

bool PlainTextTokenSource::SaveState(ByteStream& out) {
    out.WriteWord32BE(stream_.GetPosition());
    out.WriteWord32BE(state_);
    out.WriteWord32BE(column_);
    return out.Ok();
}

bool PlainTextTokenSource::RestoreState(ByteStream& in) {
    if (in.Remaining() < 12) return false;
    uint32_t mark = in.ReadPosition();
    uint32_t position = 0, state = 0, column = 0;
    in.ReadWord32BE(position);
    in.ReadWord32BE(state);
    in.ReadWord32BE(column);
    // From a side file: a state outside the machine is refused.
    if (!in.Ok() || state > 9) {
        in.SetReadPosition(mark);
        return false;
    }
    stream_.ClearPieces();
    stream_.SetPosition(position);
    state_ = state;
    column_ = std::min(column, kMaxColumn);
    lastRead_ = CharStream::kReadToken;
    return true;
}

PlainTextTokenSource* PlainTextTokenSource::Clone(bool copyState) {
    PlainTextTokenSource* c = new (std::nothrow) PlainTextTokenSource();
    if (!c) return nullptr;
    c->Attach(stream_.Source(), stream_.Mode());
    if (copyState) {
        c->stream_.SetPosition(stream_.GetPosition());
        c->state_ = state_;
        c->column_ = column_;
        c->lastRead_ = lastRead_;
        c->lastAction_ = lastAction_;
        c->text_.Assign(text_);
    }
    return c;
}
