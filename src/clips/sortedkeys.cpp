#include "src/clips/sortedkeys.h"

#include <algorithm>
#include <numeric>

TSortedKeys::TSortedKeys(const QLocale &locale) : FCollator(locale)
{
    FCollator.setCaseSensitivity(Qt::CaseInsensitive);
}

int TSortedKeys::Compare(const QString &a, const QString &b) const
{
    const int byCollation = FCollator.compare(a, b);
    if (byCollation != 0)
        return byCollation;
    return a.toCaseFolded().compare(b.toCaseFolded());
}

bool TSortedKeys::Find(const QString &text, int &index) const
{
    int low = 0, high = Count() - 1;
    while (low <= high) {
        const int middle = low + (high - low) / 2;
        const int c = Compare(FTexts[middle], text);
        if (c < 0) {
            low = middle + 1;
        } else if (c > 0) {
            high = middle - 1;
        } else {
            index = middle;
            return true;
        }
    }
    index = low;
    return false;
}

int TSortedKeys::Add(const QString &text, bool *added)
{
    int index = 0;
    const bool found = Find(text, index);
    if (!found)
        FTexts.insert(index, text);
    if (added)
        *added = !found;
    return index;
}

void TSortedKeys::Delete(int index)
{
    FTexts.removeAt(index);
}

void TSortedKeys::Clear()
{
    FTexts.clear();
}

std::vector<int> TSortedKeys::Assign(const QStringList &texts)
{
    std::vector<int> order(std::size_t(texts.size()));
    std::iota(order.begin(), order.end(), 0);
    // Stable, so that among equal texts the last given stays last.
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return Compare(texts[a], texts[b]) < 0; });
    std::vector<int> kept;
    kept.reserve(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        const bool equalToNext = i + 1 < order.size() && Compare(texts[order[i]], texts[order[i + 1]]) == 0;
        if (!equalToNext)
            kept.push_back(order[i]);
    }
    FTexts.clear();
    FTexts.reserve(qsizetype(kept.size()));
    for (int i : kept)
        FTexts.push_back(texts[i]);
    return kept;
}
