// What the display surface and the widgets need of the reader's controllers, which live in a
// higher layer: the reader controller and the document controller implement these interfaces.
#pragma once

#include <cstdint>

#include "core/geometry.h"
#include "core/ref_counted.h"

class AnnotationFile;
class AppPaths;
class DrawingSurface;
class GraphicsContext;

// The window's document controller, as seen from the graphics layer.
class DocumentControllerLink {
public:
    // The page's text area; false without a layout.
    virtual bool GetViewRect(Rect& out) = 0;
    // Steps the page (the display surface passes 2, 0, 255); true when the page moved.
    virtual bool PageStep(int32_t how, int32_t count, int32_t flags) = 0;
    // The part of the view the page's lines take, from the view's top: the top of the first
    // line and the bottom of the last. False when unknown (the scroll then steps by the view).
    virtual bool GetPageTextSpan(int32_t& /*top*/, int32_t& /*bottom*/) { return false; }
    // Moves the text by the given pixels (mode -2: keep what the auto-scroll showed).
    virtual void Scroll(int32_t pixels, int32_t mode) = 0;
    // Leaves the current special view (the cover) for the document at its position.
    virtual void Refresh() = 0;
    virtual void HistoryBack() = 0;
    // The current document's length in positions; 0 without a document.
    virtual uint32_t DocumentLength() = 0;
    // The text position where the current page starts, -1 without a layout or page record.
    virtual int32_t GetPageStart() = 0;
    // The current page number: 0 without a layout, -1 without a page record.
    virtual int32_t GetPageNumber() = 0;
    // The current book's side file, null without a book.
    virtual AnnotationFile* GetAnnotationFile() = 0;

protected:
    ~DocumentControllerLink() = default;
};

// The window's reader controller (with its settings), as seen from the graphics layer.
class ReaderControllerLink {
public:
    // Null without a document controller.
    virtual DocumentControllerLink* GetDocumentController() = 0;
    virtual DrawingSurface* GetSurface() = 0;
    virtual void GetCommandStates(bool& first, bool& second, bool& third) = 0;
    virtual void SetPopupRect(const Rect& r, bool forced) = 0;
    // A message box with string-resource texts (caption -1: none); the button.
    virtual int32_t MessageBoxById(int32_t captionId, int32_t textId, uint32_t style) = 0;
    virtual void OnCommand(uint32_t command, uint32_t argument) = 0;
    // Rotating the system's own screen; each true when the screen was turned.
    virtual bool RotateToNextOrientation() = 0;
    virtual bool SetDisplayOrientation(int orientation) = 0;
    // Whether the rotatable display surface may be active (the settings allow it).
    virtual bool DisplaySurfaceAllowed() = 0;
    // The settings' orientation field.
    virtual void SetOrientationSetting(int orientation) = 0;
    // Reader settings.
    virtual uint32_t GetTextColour() = 0;
    virtual uint32_t GetBackgroundColour() = 0;
    virtual int8_t PositionBarFontSize() = 0;
    // For the interface metric table; may be null.
    virtual const AppPaths* Paths() = 0;

protected:
    ~ReaderControllerLink() = default;
};

// A counted drawable picture (the cover's image object).
class DrawablePicture : public RefCounted {
public:
    // The picture's size in pixels; false when it has none.
    virtual bool GetSize(int32_t& width, int32_t& height, uint32_t& extra) = 0;
    virtual bool Draw(GraphicsContext& gc, const Rect& r, uint32_t flag) = 0;
};
