#include "reader/speech_chunker.h"

#include "document/markup/markup_tags.h"
#include "document/markup/token_source.h"

namespace {
constexpr uint32_t kTagBr = 32;
constexpr uint32_t kTagSpeech = 140;  // FVT:TTS
constexpr uint32_t kAttributePhon = 141;
// A source that keeps answering "continue" is not read for ever.
constexpr uint32_t kMaxEmptyReads = 1u << 20;

bool EndsSentence(const String& text) {
    if (text.IsEmpty()) return false;
    char16_t c = text[text.Length() - 1];
    return c == u'.' || c == u'!' || c == u'?';
}
}  // namespace

bool CollectSpeechChunk(TokenSource& source, uint32_t pageEnd, SpeechChunk& out) {
    out.text.SetEmpty();
    out.sentenceTarget = -1;
    int32_t gaps = 0;
    bool afterGap = false;
    uint32_t emptyReads = 0;
    for (;;) {
        uint32_t position = 0;
        bool known = source.GetPosition(position);
        uint32_t kind = source.NextToken();
        if (kind == kTokenEnd) break;
        if (kind == kTokenContinue) {
            if (++emptyReads > kMaxEmptyReads) break;
            continue;
        }
        emptyReads = 0;
        if (kind == kTokenText) {
            if (afterGap && out.sentenceTarget < 0 && known && position >= pageEnd)
                out.sentenceTarget = gaps;
            afterGap = false;
            out.text.Append(source.Text());
        } else if (kind == kTokenSpace) {
            if (!out.text.IsEmpty()) {
                ++gaps;
                afterGap = true;
                out.text.AppendChar(u' ');
            }
        } else if (kind == kTokenTag) {
            bool isEnd = false, isEmpty = false;
            uint32_t tag = source.GetTag(isEnd, isEmpty);
            if (tag == kTagSpeech && !isEnd) {
                String said;
                if (source.GetAttributeText(kAttributePhon, said)) out.text.Append(said);
                if (!isEmpty) source.SkipElement();
            } else if ((tag == kTagBr || MarkupTags::IsClass1or9to12(tag)) && !out.text.IsEmpty()) {
                break;
            }
        }
        if (EndsSentence(out.text) || out.text.Length() > SpeechChunk::kMaxLength) break;
    }
    return !out.text.IsEmpty();
}
