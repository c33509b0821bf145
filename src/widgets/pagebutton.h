// The image buttons of the page rows, shared by every page.
#pragma once

class QToolButton;
class QWidget;

// A page button at (x, y): 108 × 36, picture beside the caption.
QToolButton *NewPageButton(QWidget *parent, const char *name, int x, int y);
