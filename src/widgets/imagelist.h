// The image list of the main window's actions: pictures looked up by
// index, taken from the desktop's icon theme by freedesktop name, with the
// picture bundled under that name when the theme has none (themeicon.h).
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
        QString themeName;  // freedesktop icon name, bundled as well
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
    int FWidth;
    int FHeight;
    QVector<QIcon> FIcons;
    QVector<bool> FThemed;
};
