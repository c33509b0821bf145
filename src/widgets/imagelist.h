// The image list of the main window's actions: pictures looked up by
// index, taken from the desktop's icon theme by freedesktop name, with a
// picture drawn here when the theme has none.
#pragma once

#include <QIcon>
#include <QString>
#include <QVector>

class TImageList
{
public:
    struct Entry
    {
        int index;
        QString themeName;  // freedesktop icon name
        QChar glyph;  // drawn when the theme has no such icon
        QColor colour;
    };

    TImageList(int width, int height);

    // Makes the freedesktop names find pictures everywhere: the system's
    // icon folders are searched, and desktops that name no theme of their
    // own (or only the bare "hicolor") get Adwaita.
    static void ChooseIconTheme();

    // Registers the picture of one index.
    void Add(const Entry &entry);
    // The picture at index; a null icon for an index without one.
    QIcon Icon(int index) const;
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // True when the picture at index came from the icon theme.
    bool FromTheme(int index) const;

private:
    QIcon DrawFallback(const Entry &entry) const;

    int FWidth;
    int FHeight;
    QVector<Entry> FEntries;
    QVector<QIcon> FIcons;
    QVector<bool> FThemed;
};
