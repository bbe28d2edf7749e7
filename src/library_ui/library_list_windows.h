// The library's two list windows as the reader controller sees them: the library view and the
// annotations list behind its ReaderListWindow interface. The shell's view factory makes them.
#pragma once

#include <memory>

#include "reader/reader_views.h"

class Library;
class LibraryView;
class LibraryViewServices;
class ListWindow;
class ReaderController;

// Null when the window cannot be made. The library view needs the catalogue; the annotations
// list does not.
std::unique_ptr<ReaderListWindow> CreateLibraryListWindow(ReaderViewFactory::List kind,
                                                          ReaderController* controller,
                                                          HWND parent, Library* library,
                                                          LibraryViewServices* services);

// The library view behind a list window made here; null for any other window.
LibraryView* LibraryViewOf(ReaderListWindow* window);
// The list window (library view or annotations list) behind a window made here; null for any
// other window.
ListWindow* ListWindowOf(ReaderListWindow* window);
