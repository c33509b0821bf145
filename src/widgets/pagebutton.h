// What every page of the main window shares: its frame and the image
// buttons of its top row.
#pragma once

class QFrame;
class QToolButton;
class QWidget;

// Makes page one of the window's pages: named, 684 × 498, painting its own
// background so that nothing of a page behind it shows through. Returns the
// sunken line under its top row of buttons.
QFrame *SetUpPage(QFrame *page, const char *name);

// A page button at (x, y): 108 × 36, picture beside the caption.
QToolButton *NewPageButton(QWidget *parent, const char *name, int x, int y);
