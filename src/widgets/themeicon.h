// The pictures of the buttons: the desktop's icon theme first, by the
// freedesktop names, and a picture bundled with the program under the same
// name where the theme has none. The bundled ones are SVG, drawn at the
// size they are placed at.
#pragma once

#include <QIcon>
#include <QString>

// The theme's icon of that name (or its "-symbolic" variant), else the
// bundled one; a null icon when neither exists. *fromTheme, when given,
// tells which.
QIcon ThemeIcon(const QString &name, bool *fromTheme = nullptr);

// The picture bundled under that name, whatever the theme holds; null
// when none is bundled.
QIcon BundledIcon(const QString &name);
