// The three outside tools the settings name: which are missing, the texts
// that list them, and the copies this installation keeps beside its own
// executable. No widget here; the locator panels and dialogs show these.
#pragma once

#include "src/prefs/settings.h"

#include <QString>

#include <array>

// One outside tool, always taken in the order of Tools.
struct TToolFile
{
    QString TSettings::*Setting;
    QString FileName;  // the name searched for, letter case ignored
    QString Item;  // its entry in the missing list (markup)
    QString Label;  // the caption over its file edit
    QString Filter;  // its browse filter, "description|pattern"
};

extern const std::array<TToolFile, 3> Tools;  // eac3to, tsmuxer, imgburn

// A tool is missing when its path names no existing file (an empty path,
// a path to nothing or to a folder).
bool ToolMissing(const QString &path);

// The missing list ("a", "a et b", "a, b et c") and how many are missing.
void GetMissingTools(const TSettings &settings, QString &text, int &count);

// The texts of the locate dialog and of the missing-tools dialog for a
// missing list of count tools; the locate dialog's text for no missing
// tool says that all are found, once a search or a pick found the last.
QString LocaliserText(const QString &list, int count);
QString ConfirmMissingText(const QString &list, int count);

// Every tool path left empty takes the copy of the tool in folder (the
// executable's own, with its trailing delimiter) when there is one there.
void FillEmptyToolPaths(TSettings &settings, const QString &folder);
