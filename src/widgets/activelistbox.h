// The key and mouse handling the clip list and the disc list share: a list
// with an active (current) item whose counts and active item are brought up
// to date after each click and each navigation key, and whose selected items
// the Delete key removes when asked to.
#pragma once

#include <QListWidget>

class TActiveListBox : public QListWidget
{
    Q_OBJECT
public:
    explicit TActiveListBox(QWidget *parent = nullptr);

    // The Delete key removes the selected items.
    bool KeyDelete = false;

    // Announces the counts (and refreshes the hint that gives them).
    virtual void UpdateCounts() = 0;
    // Announces the current item's entry when it is not the active one.
    virtual void CheckActive() = 0;
    // Removes the selected items and makes a neighbour current.
    virtual void DeleteSelected() = 0;

protected:
    // The control's own handling moves the selection and the current item
    // first; the counts and the active entry follow.
    void mouseReleaseEvent(QMouseEvent *event) override;
    // Page Up, Page Down, End, Home, Up, Down and Delete, without Ctrl or
    // Alt: Delete without Shift removes the selection when KeyDelete is
    // set; then the counts and the active entry follow.
    void keyReleaseEvent(QKeyEvent *event) override;
};
