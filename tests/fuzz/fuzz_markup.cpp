// Fuzzes the message-panel markup: any text renders into runs that cover
// the displayed text in order, one alignment per paragraph, and every
// displayed character can be looked up for a link.
#include "src/widgets/linkmarkup.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString source = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    TMarkupDefaults defaults;
    defaults.Font.FontName = QStringLiteral("Arial");
    defaults.Font.Size = 12;
    TMarkupState state = TMarkupState::FromFont(defaults.Font);
    // Twice on one state: what the first text leaves open carries over.
    for (int pass = 0; pass < 2; ++pass) {
        const TMarkupText text = RenderMarkup(source, state, defaults);
        qsizetype end = 0;
        for (const TMarkupRun &run : text.Runs) {
            if (run.Start != end || run.Length <= 0)
                std::abort();
            end += run.Length;
        }
        if (end != text.Text.size() || qsizetype(text.Aligns.size()) != text.Text.count(kMarkupBreak) + 1)
            std::abort();
        for (qsizetype i = -1; i <= text.Text.size(); ++i) {
            const auto link = LinkAt(source, i);
            if (link && (link->Target.isEmpty() || i < 0 || i >= text.Text.size()))
                std::abort();
        }
    }
    return 0;
}
