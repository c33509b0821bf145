// The sorted key list of the clip list box: one text per item, kept in the
// order of the user's locale collation with letter case ignored, equal texts
// refused. Positions are found by bisection.
#pragma once

#include <QCollator>
#include <QString>
#include <QStringList>

#include <vector>

class TSortedKeys
{
public:
    // Compares with the collation of locale (the user's one by default).
    explicit TSortedKeys(const QLocale &locale = QLocale());

    // Adds text at its place and returns that index. When an equal text is
    // already held, nothing is added and its index is returned; added (when
    // given) tells which happened.
    int Add(const QString &text, bool *added = nullptr);
    // Finds text by bisection: true when an equal entry is at index,
    // otherwise false with index at the place where text would go.
    bool Find(const QString &text, int &index) const;
    void Delete(int index);
    void Clear();
    // Empties the list, then adds texts in their order as Add would, where
    // a later text equal to an earlier one takes the earlier one's place.
    // Returns, in list order, the position in texts of each entry kept.
    std::vector<int> Assign(const QStringList &texts);

    int Count() const { return int(FTexts.size()); }
    const QString &operator[](int index) const { return FTexts[index]; }

    // < 0, 0 or > 0. Texts equal for the collation but different once
    // their case is folded (another Unicode normal form, characters the
    // collation ignores) are told apart, so that only texts differing in
    // letter case alone are equal.
    int Compare(const QString &a, const QString &b) const;

private:
    QCollator FCollator;
    // A QList moves its texts as plain memory when one is inserted, which
    // keeps insertion into long lists cheap.
    QStringList FTexts;
};
