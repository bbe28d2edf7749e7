#include "media_books.h"

#include <string>

#include "support/bookfiles/book_builder.h"
#include "support/layout/picture_data.h"
#include "support/media/audio_fixtures.h"
#include "support/platform/temp_device.h"

namespace fvt::test {

bool WriteTalkBook(const TempDevice& device) {
    const auto& tones = fixtures::Tones();
    if (!tones.ready) return false;
    BookBuilder book;
    std::string html =
        "<html><body><p><img recindex=\"00001\"></p><p><img recindex=\"00002\"></p>";
    for (std::uint32_t i = 0; i < 12; ++i)
        html += "<p>Words about the sea " + SampleText(200, i + 1) + "</p>";
    book.text = ToBytes(html + "</body></html>");
    book.databaseName = "Talk";
    book.resources = {GifOfSize(40, 60), GifOfSize(400, 100), tones.mono.ogg, tones.stereo.ogg};
    const Bytes bytes = book.Build();
    device.WriteHost("books/talk.prc", std::string(bytes.begin(), bytes.end()));
    return true;
}

}  // namespace fvt::test
