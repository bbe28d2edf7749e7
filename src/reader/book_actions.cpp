#include "reader/book_actions.h"

#include <memory>

#include "core/lang_name.h"
#include "document/markup/link_target.h"
#include "graphics/core/command_ids.h"
#include "layout/page_moves.h"
#include "reader/actions.h"
#include "script/script_heap.h"

namespace {

using namespace ReaderObjects;
using namespace ReaderMethods;

String Ascii(const char* text) {
    String s;
    s.AppendAscii(text);
    return s;
}

// Argument shapes: 't' text, 'n' number.
bool Shape(const CommandRecord& r, const char* shape) {
    uint32_t i = 0;
    for (; shape[i]; ++i) {
        if (shape[i] == 't' ? !r.IsText(i) : !r.IsNumber(i)) return false;
    }
    return r.Count() == i;
}

bool NumberArg(const CommandRecord& r, uint32_t i, uint32_t& value) {
    return r.GetUnsigned(i, value);
}

bool TextArg(const CommandRecord& r, uint32_t i, String& value) {
    return r.GetText(i, value);
}

bool Ask(BookActionHost& host, ShellAction action, const String& subject) {
    ShellActionPolicy* policy = host.ShellPolicy();
    return policy && policy->Allow(action, subject);
}

// The slot's own answer is the record's result.
uint32_t Done(bool ok) {
    return ok ? 1 : 0;
}

// A call that asks for one of the reader's actions runs its command (reader/actions.h).
uint32_t RunAction(const CommandRecord& r, BookActionHost& host) {
    const int32_t command = Actions::CommandForScript(r.objectKind, r.methodId);
    return command >= 0 ? Done(host.RunCommand(command)) : 0;
}

uint32_t DocumentMethods(const CommandRecord& r, BookActionHost& host) {
    uint32_t n = 0;
    String t;
    switch (r.methodId) {
        case kClose:
            return Shape(r, "") ? Done(host.BackToOtherDocument()) : 0;
        case kGoToPage:
            if (Shape(r, "")) return RunAction(r, host);
            return Shape(r, "n") && NumberArg(r, 0, n) ? Done(host.GoToPage(n)) : 0;
        case kGoToPageRelative: {
            int32_t step = 0;
            if (!Shape(r, "n") || !r.GetSigned(0, step)) return 0;
            const PageMove move = PageMoveFor(MoveRequest{MoveKind::kBookStep, step});
            return Done(host.StepPage(move.step, move.mark));
        }
        case kGoToFirstPage:
            return Shape(r, "") ? Done(host.GoFirstPage()) : 0;
        case kGoToLastPage:
            return Shape(r, "") ? Done(host.GoLastPage()) : 0;
        case kGoToContents:
            return Shape(r, "") ? Done(host.GoToContents()) : 0;
        case kRunNamedAction:
            return Shape(r, "n") && NumberArg(r, 0, n) ? Done(host.RunNamedAction(n)) : 0;
        case kSearch:
            return Shape(r, "") ? RunAction(r, host) : 0;
        case kGoToRandomEntry:
            if (Shape(r, "")) return Done(host.OpenRandomTableEntry(nullptr));
            return Shape(r, "t") && TextArg(r, 0, t) ? Done(host.OpenRandomTableEntry(&t)) : 0;
        default:
            return 0;
    }
}

uint32_t BookmarksMethods(const CommandRecord& r, BookActionHost& host) {
    uint32_t n = 0;
    String t;
    switch (r.methodId) {
        case kAdd:
            if (Shape(r, "")) return RunAction(r, host);
            if (r.Count() != 1) return 0;
            {
                // The selection goes into a copy of the argument: the book gets nothing back.
                String scratch(r.arguments.Get(0)->text);
                return Done(host.SelectionText(scratch));
            }
        case kDisplayAnnotationList:
            return Shape(r, "") ? Done(host.ActivateLink(Ascii("oeb:bookmarks"))) : 0;
        case kPreviousAnnotation:
            return Shape(r, "") ? Done(host.PreviousAnnotation()) : 0;
        case kNextAnnotation:
            return Shape(r, "") ? Done(host.NextAnnotation()) : 0;
        case kGoToAnnotation:
            if (r.Count() != 2 || !NumberArg(r, 1, n)) return 0;
            return Done(host.OpenAnnotationAt(r.arguments.Get(0)->text, n));
        case kEditAnnotation:
            return Shape(r, "n") && NumberArg(r, 0, n) ? Done(host.EditAnnotation(n)) : 0;
        case kRemove:
            return Shape(r, "n") && NumberArg(r, 0, n) ? Done(host.DeleteAnnotation(n)) : 0;
        case kOpenAnnotationLink:
            return Shape(r, "n") && NumberArg(r, 0, n) ? Done(host.OpenAnnotationLink(n)) : 0;
        default:
            return 0;
    }
}

bool IsSearchMethod(uint32_t id) {
    return id == kIndexSearch || id == kFilteredIndexSearch || id == kCondIndexSearch ||
           id == kSqlSearch || id == kSqlBulletSearch || id == kIdeogramSearch;
}

uint32_t OpenWindow(const CommandRecord& r, BookActionHost& host) {
    String url;
    if (Shape(r, "t")) return TextArg(r, 0, url) ? Done(host.ActivateLink(url)) : 0;
    String target;
    if (r.Count() < 2 || !TextArg(r, 0, url) || !TextArg(r, 1, target)) return 0;
    Rect rect;
    bool flag = true;
    if (r.Count() >= 6) {
        uint32_t v[4];
        for (uint32_t i = 0; i < 4; ++i) {
            if (!NumberArg(r, 2 + i, v[i])) return 0;
        }
        rect = Rect{static_cast<int32_t>(v[0]), static_cast<int32_t>(v[1]),
                    static_cast<int32_t>(v[2]), static_cast<int32_t>(v[3])};
        if (r.Count() == 7) {
            uint32_t last = 0;
            if (!NumberArg(r, 6, last)) return 0;
            flag = last != 0;
        } else if (r.Count() != 6) {
            return 0;
        }
    } else if (r.Count() != 2) {
        return 0;
    }
    return Done(host.OpenInTarget(url, target, rect, flag));
}

uint32_t WindowMethods(const CommandRecord& r, BookActionHost& host, ScriptHeap* heap,
                       ScriptValue* out) {
    uint32_t n = 0, m = 0;
    int32_t step = 0;
    String t, u;
    if (IsSearchMethod(r.methodId)) return Done(host.ReopenWithRecord(r));
    switch (r.methodId) {
        case kOpen:
            return OpenWindow(r, host);
        case kClose:
            // Closing the window ends the program's session with the book: ask first.
            if (!Shape(r, "") || !Ask(host, ShellAction::kCloseWindow, String())) return 0;
            return Done(host.CloseWindow());
        case kIncreaseFont:
            return Shape(r, "") ? Done(host.ChangeFontSize(1)) : 0;
        case kDecreaseFont:
            return Shape(r, "") ? Done(host.ChangeFontSize(-1)) : 0;
        case kBrowseFiles:
            return Shape(r, "") ? RunAction(r, host) : 0;
        case kDisplayTip:
            if (!Shape(r, "tn") || !TextArg(r, 0, t) || !NumberArg(r, 1, n) || n >= 3) return 0;
            return Done(host.ShowPopupPage(t, n));
        case kPlayMusic:
        case kPlayMusicEx:
            if (!Shape(r, "t") || !TextArg(r, 0, t) || !Ask(host, ShellAction::kPlaylist, t))
                return 0;
            if (r.methodId == kPlayMusicEx && !Ask(host, ShellAction::kRecorder, String()))
                return 0;
            return Done(host.PlayPlaylist(t, r.methodId == kPlayMusicEx));
        case kStartRecorder:
            if (!Shape(r, "") || !Ask(host, ShellAction::kRecorder, String())) return 0;
            return Done(host.StartRecorder());
        case kMoveTable:
            if (Shape(r, "n")) return NumberArg(r, 0, n) ? Done(host.SetPositionView(n)) : 0;
            if (!Shape(r, "nn") || !NumberArg(r, 0, n) || !r.GetSigned(1, step)) return 0;
            return Done(host.SelectRange(n, step));
        case kDisplayBookmarkTip:
            return Shape(r, "n") && NumberArg(r, 0, n) ? Done(host.ShowNotePopup(n)) : 0;
        case kDial:
            if (!Shape(r, "t") || !TextArg(r, 0, t) || !Ask(host, ShellAction::kDial, t)) return 0;
            return Done(host.Dial(t));
        case kStartPopupViewer: {
            bool point = false;
            if (Shape(r, "tnn")) {
                if (!NumberArg(r, 1, n) || !NumberArg(r, 2, m)) return 0;
                point = true;
            } else if (!Shape(r, "t")) {
                return 0;
            }
            if (!TextArg(r, 0, t) || !Ask(host, ShellAction::kStartProgram, t)) return 0;
            return Done(host.OpenWithAssociatedApp(t, point, n, m));
        }
        case kStartExternalApp:
            if (!Shape(r, "t") && !Shape(r, "tt")) return 0;
            TextArg(r, 0, t);
            if (r.Count() == 2) TextArg(r, 1, u);
            if (!Ask(host, ShellAction::kStartProgram, t)) return 0;
            return Done(host.OpenWithApplication(t, u));
        case kOpenSync:
        case kDebugAlert:
            // Accepted and ignored: nothing here to synchronise or to debug into.
            return 0;
        case kStartWebBrowser:
            if (!Shape(r, "t") || !TextArg(r, 0, t) || !Ask(host, ShellAction::kWebBrowser, t))
                return 0;
            return Done(host.StartWebBrowser(t));
        case kRearrangeWindows:
            return Shape(r, "n") && NumberArg(r, 0, n) ? Done(host.TileWindows(n, 1)) : 0;
        case kAlert:
            return Shape(r, "t") && TextArg(r, 0, t) ? Done(host.ShowPopupPage(t, 0)) : 0;
        case kScroll:
            return Shape(r, "") ? RunAction(r, host) : 0;
        case kCurrentIndexEntry: {
            std::unique_ptr<ScriptObject> set;
            if (Shape(r, "")) {
                set.reset(host.OpenTableEntry(nullptr));
            } else if (Shape(r, "t") && TextArg(r, 0, t)) {
                set.reset(host.OpenTableEntry(&t));
            } else {
                return 0;
            }
            // The heap takes the set over; one it cannot take, or that no script asked for
            // (a link's call wants no value), goes with the holder.
            if (set && out && heap) {
                if (heap->NewObject(std::move(set), out) != 0) *out = ScriptHeap::NewNull();
                return 1;
            }
            if (out) *out = ScriptHeap::NewNull();
            return 1;
        }
        case kAddToWordList: {
            // A word given without a language name is the book's; when the book names none
            // either, the word list takes the device's.
            String name;
            const char* book = LangName::Name(static_cast<uint16_t>(host.BookLanguage() & 1023));
            const bool named = r.Count() > 1 && r.GetText(1, name) && LangName::Find(name);
            if (r.Count() < 1 || named || !book)
                return Done(host.OpenRequest(Ascii("oeb:database?name=folivant_wordlist"), r));
            CommandRecord filled(r.methodId, r.objectKind);
            String word, language;
            language.AppendAscii(book);
            if (!r.GetText(0, word) || !filled.AppendText(word) || !filled.AppendText(language))
                return 0;
            for (uint32_t i = 2; i < r.Count(); ++i) {
                const StringFlagArray::Item* item = r.arguments.Get(i);
                if (filled.arguments.Append(item->text, item->numeric) < 0) return 0;
            }
            return Done(host.OpenRequest(Ascii("oeb:database?name=folivant_wordlist"), filled));
        }
        case kDisplayWordList:
        case kAddEntryToWordList:
            return Done(host.OpenRequest(Ascii("oeb:database?name=folivant_wordlist"), r));
        case kFlashMessage:
            return Shape(r, "t") && TextArg(r, 0, t) ? Done(host.ShowBusyText(t, 1000)) : 0;
        case kDisplaySearchHistory:
            if (!Shape(r, "")) return 0;
            return Done(host.OpenRequest(Ascii("oeb:database?name=folivant_history"), r));
        default:
            return 0;
    }
}

uint32_t HistoryMethods(const CommandRecord& r, BookActionHost& host, ScriptHeap* heap,
                        ScriptValue* out) {
    if (!Shape(r, "")) return 0;
    switch (r.methodId) {
        case kHistoryBack:
            return Done(host.HistoryBack());
        case kHistoryForward:
            return Done(host.HistoryForward());
        case kSetCheckpoint:
            return Done(host.SetCheckpoint());
        case kGoToCheckpoint: {
            bool found = host.HistoryToLast();
            if (out && (!heap || heap->NewBoolean(found, out) != 0))
                *out = found ? ScriptValues::kTrue : ScriptValues::kFalse;
            return 1;
        }
        case kClearHistory:
            return Done(host.ClearHistory());
        default:
            return 0;
    }
}

uint32_t CartMethods(const CommandRecord& r, BookActionHost& host) {
    String a, b, c;
    uint32_t n = 0;
    switch (r.methodId) {
        case kAdd:
            if (Shape(r, "t")) return TextArg(r, 0, b) ? Done(host.AddToCart(a, b, c)) : 0;
            if (Shape(r, "tt"))
                return TextArg(r, 0, a) && TextArg(r, 1, b) ? Done(host.AddToCart(a, b, c)) : 0;
            if (Shape(r, "ttt") && TextArg(r, 0, a) && TextArg(r, 1, b) && TextArg(r, 2, c))
                return Done(host.AddToCart(a, b, c));
            return 0;
        case kRemove:
            if (Shape(r, "n")) return NumberArg(r, 0, n) ? Done(host.RemoveFromCart(a, n)) : 0;
            if (Shape(r, "tn") && TextArg(r, 0, a) && NumberArg(r, 1, n))
                return Done(host.RemoveFromCart(a, n));
            return 0;
        case kResetCart:
            if (Shape(r, "")) return Done(host.ClearCart(a));
            return Shape(r, "t") && TextArg(r, 0, a) ? Done(host.ClearCart(a)) : 0;
        case kSubmitCart:
            if (!Shape(r, "") && !Shape(r, "t") && !Shape(r, "tt")) return 0;
            TextArg(r, 0, a);
            TextArg(r, 1, b);
            return Done(host.SubmitInteractionsCart(a, b));
        case kExportCart:
            if (!Shape(r, "tt") || !TextArg(r, 0, a) || !TextArg(r, 1, b)) return 0;
            // A book names only a file in the data folder; anything else is refused outright.
            if (!IsPlainExportName(b)) return 0;
            return Done(host.WriteCartXml(a, b));
        default:
            return 0;
    }
}

uint32_t SelectionMethods(const CommandRecord& r, BookActionHost& host) {
    switch (r.methodId) {
        // Their arguments are not read.
        case kCopySelection:
        case kHighlightSelection:
        case kAnnotateSelection:
        case kLookUpSelection:
            return RunAction(r, host);
        default:
            return 0;
    }
}

uint32_t LocationMethods(const CommandRecord& r, BookActionHost& host) {
    String url;
    if (r.methodId != kReplaceLocation || !Shape(r, "t") || !TextArg(r, 0, url)) return 0;
    std::weak_ptr<void> alive = host.Lifetime();
    bool guarded = !alive.expired();
    uint32_t mode = host.HistoryMode();
    host.SetHistoryMode(1);
    bool opened = host.ActivateLink(url);
    // The link may have closed the window and its controller with it.
    if (guarded && !alive.expired()) host.SetHistoryMode(mode);
    return Done(opened);
}

uint32_t VoiceMethods(const CommandRecord& r, BookActionHost& host) {
    uint32_t n = 0;
    String t;
    switch (r.methodId) {
        case kReadAloud:
            if (Shape(r, "n")) {
                if (!NumberArg(r, 0, n)) return 0;
            } else if (!Shape(r, "")) {
                return 0;
            }
            host.SetSpeechLanguage(n);
            return Done(host.ReadAloud());
        case kSay:
            if (Shape(r, "tn")) {
                if (!NumberArg(r, 1, n)) return 0;
            } else if (!Shape(r, "t")) {
                return 0;
            }
            TextArg(r, 0, t);
            host.SetSpeechLanguage(n);
            return Done(host.StartSpeech(t));
        case kSystemPlay:
            return 0;
        default:
            return 0;
    }
}

uint32_t AudioMethods(const CommandRecord& r, BookActionHost& host) {
    uint32_t n = 0;
    String t;
    switch (r.methodId) {
        case kPlaySounds:
            return Shape(r, "t") && TextArg(r, 0, t) ? Done(host.PlaySoundList(t)) : 0;
        case kStopSound:
            return Shape(r, "") ? Done(host.StopSound()) : 0;
        case kSetVolume:
            return Shape(r, "n") && NumberArg(r, 0, n) ? Done(host.SetSoundVolume(n)) : 0;
        case kPauseAudio:
            return Shape(r, "") ? Done(host.PauseAudio()) : 0;
        case kResumeAudio:
            return Shape(r, "") ? Done(host.ResumeAudio()) : 0;
        case kShowAudioPlayer:
            return Shape(r, "t") || Shape(r, "tt") ? Done(host.ReopenWithRecord(r)) : 0;
        case kGoToTrack:
            return Shape(r, "n") && NumberArg(r, 0, n) ? Done(host.PlayTrack(n)) : 0;
        default:
            return 0;
    }
}

}  // namespace

bool IsPlainExportName(const String& name) {
    int32_t length = name.Length();
    if (length == 0) return false;
    int32_t at = 0;
    if (name.FindChar(u'\\', at) || name.FindChar(u'/', at) || name.FindChar(u':', at))
        return false;
    // "." and ".." name folders, not files.
    const char16_t* c = name.Data();
    return !(c[0] == u'.' && (length == 1 || (length == 2 && c[1] == u'.')));
}

uint32_t RunReaderCommand(const CommandRecord& record, BookActionHost& host, ScriptHeap* heap,
                          ScriptValue* out) {
    switch (record.objectKind) {
        case kDocument:
            return DocumentMethods(record, host);
        case kBookmarks:
            return BookmarksMethods(record, host);
        case kWindow:
            return WindowMethods(record, host, heap, out);
        case kHistory:
            return HistoryMethods(record, host, heap, out);
        case kCart:
            return CartMethods(record, host);
        case kSelection:
            return SelectionMethods(record, host);
        case kLocation:
            return LocationMethods(record, host);
        case kVoice:
            return VoiceMethods(record, host);
        case kIndex: {
            String text;
            if (record.methodId != kSeekIndex || !Shape(record, "t") || !TextArg(record, 0, text))
                return 0;
            return Done(host.ViewSearchText(text));
        }
        case kAudio:
            return AudioMethods(record, host);
        default:
            return 0;
    }
}

bool PerformAction(const LinkTarget* target, BookActionHost& host, uint32_t argument,
                   String* result) {
    if (!target) return false;
    bool done = false;
    switch (target->kind) {
        case kLinkAddress:
            done = host.ActivateLink(target->text);
            break;
        case kLinkNamedEntry: {
            CommandRecord record(kGoToPosition, 0);
            if (!record.AppendNumber(static_cast<int32_t>(target->number))) break;
            done = host.OpenRequest(target->text, record);
            break;
        }
        case kLinkFilePosition:
            done = host.GoToTextPosition(target->number);
            break;
        case kLinkScript:
            done = host.DispatchWidgetEvent(target->text, argument, result);
            break;
        case kLinkCoordinates:
        case kLinkPairText: {
            CommandRecord record(target->methodId, target->objectKind);
            bool ok = target->kind == kLinkCoordinates
                          ? record.AppendNumber(static_cast<int32_t>(target->number))
                          : record.AppendText(target->text);
            done = ok && RunReaderCommand(record, host, nullptr, nullptr) != 0;
            break;
        }
        case kLinkRecordRow:
            done = host.OpenIndexEntry(target->number, target->text, argument, target->secondText);
            break;
        case kLinkTableSelection:
        case kLinkTableSelectionCompact:
            done = host.OpenLookupResult(*target, argument,
                                         target->kind == kLinkTableSelectionCompact);
            break;
        case kLinkIndexTarget: {
            WordListEntry entry;
            String after, before;
            LinkTarget::SplitName(target->text, after, before);
            entry.key.Assign(target->secondText);
            entry.headword.Assign(target->name);
            entry.link.AppendAscii("oeb:redirect?title=");
            entry.link.Append(after);
            entry.shortName.Assign(before);
            entry.language = target->objectKind & 1023u;
            entry.number = target->number;
            done = host.AddToWordList(entry);
            break;
        }
        default: {
            CommandRecord record(target->methodId, target->objectKind);
            done = RunReaderCommand(record, host, nullptr, nullptr) != 0;
            break;
        }
    }
    return done;
}
