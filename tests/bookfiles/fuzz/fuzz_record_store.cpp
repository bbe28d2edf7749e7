// Side files read from any bytes: every accessor and the annotation walk, then edits.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "bookfiles/configuration_store.h"
#include "bookfiles/sorted_record_database.h"
#include "read_side_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (int readOnly = 1; readOnly >= 0; --readOnly) {
        AnnotationFile* f = new AnnotationFile;
        if (f->OpenInMemory(data, size, readOnly) == 0) {
            ReadEveryPart(*f);
            if (!readOnly) {
                std::int32_t i = f->AddBookmark(1, 10, 20, 0, 0, 0, 0);
                f->SetBookmarkText(i, u"x", 1);
                f->SetReadingPosition(1, 2, "abcd", 4);
                f->Reset();
            }
        }
        f->Release();
        ConfigurationStore config;
        if (config.OpenInMemory(data, size, readOnly) == 0) {
            std::uint32_t n = 0;
            std::u16string text;
            config.GetText252(&text);
            config.GetBlob64(&n);
            config.GetText(32, &n);
            for (std::uint32_t at = 0; at < 320; at += 4) config.GetWord(at);
            config.FindCategoryRecord(u"x", 1);
            if (!readOnly) {
                config.SetText(252, u"oeb:x", 5);
                config.AddCategoryRecord(u"list", 4);
            }
        }
        SortedRecordDatabase forms;
        if (forms.OpenInMemory(data, size, readOnly) == 0) {
            SortedRecordItem item{u"a", u"", 0, 0};
            std::u16string pairs;
            forms.ReadSubmission(item, 0, &pairs);
            forms.SubmissionCount(item);
            if (!readOnly) {
                std::unique_ptr<SortedRecordWriter> w = forms.OpenEntry(item);
                if (w) {
                    w->AppendPair(u"n", 1, u"v", 1);
                    w->SetFlag();
                    w->Finish();
                }
            }
        }
    }
    return 0;
}
