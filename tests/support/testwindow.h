// The main window of the window tests: opened from a test folder as a
// first start would open it, and closed once its burn thread is done.
#pragma once

#include "src/app/form1.h"
#include "src/authoring/abort.h"
#include "src/authoring/disquesframe.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

// Opens the window of root + "bin/tavrel" (root ends with "/") with its
// hive in root and fresh settings: no tools dialog, the split's messages
// kept in messages. The first showing has loaded the settings, so a test
// sets its own after this.
inline std::unique_ptr<TForm1> OpenTestWindow(const QString &root, TPrefsLocation &where,
                                              QStringList &messages)
{
    where.ExeName = root + QStringLiteral("bin/tavrel");
    where.HiveFile = root + QStringLiteral("registry.reg");
    Settings = TSettings();
    AbortRequested = false;
    auto form = std::make_unique<TForm1>(where);
    form->Localiser = [] { return true; };
    form->ShowSplitMessage = [&messages](const QString &text) { messages << text; };
    form->show();
    return form;
}

// Closes the window once the burn thread of its runs, if one started, has
// ended.
inline void CloseTestWindow(std::unique_ptr<TForm1> &form)
{
    if (form)
        if (const auto thread = form->Disquesframe->Processor.BurnThread()) {
            EXPECT_TRUE(thread->WaitFor(30'000));
        }
    form.reset();
}
