// The sides of the document controller: what each of its rooms asks of it, one side for each
// concern, each given only the objects it reads and, where it needs them, the controller's own
// operations. A private part of the controller, included only by its own source files.
#pragma once

#include "reader/book_document_controller.h"
#include "reader/controller_frame_side.h"
#include "reader/controller_navigation_side.h"
#include "reader/controller_page_side.h"
#include "reader/controller_popup_side.h"
#include "reader/controller_records_side.h"
#include "reader/controller_script_side.h"
#include "reader/controller_speech_side.h"
#include "reader/controller_views_side.h"

// Made before the rooms, whose fields they refer to; none of them is read before the rooms are
// made.
struct BookDocumentController::Sides {
    explicit Sides(BookDocumentController& c)
        : page(c, c, c.resource_, c.location_, c.sideFile_, c.forms_, c.frames_, c.page_),
          frame(c, c, c.resource_, c.location_, c.view_, c.page_, c.scripting_),
          views(c, c, c.resource_, c.location_, c.page_),
          records(c, c, c.resource_, c.location_, c.records_, c.requests_, c.reports_),
          script(c, c, c.resource_, c.scripting_, c.forms_),
          navigation(c, c, c.resource_, c.location_, c.view_, c.page_),
          speech(c, c, c.resource_, c.page_),
          popup(c, c.scripting_, c.page_) {}

    PageSide page;            // the page presentation
    FrameSide frame;          // the frames
    ViewsSide views;          // the cover, picture and audio pages
    RecordsSide records;      // the record pages and their requests
    ScriptSide script;        // the forms and the book script
    NavigationSide navigation;  // the history and the references
    SpeechSide speech;        // speech
    PopupSide popup;          // the list pop-ups
};
