// The discs of the disc page in list order, as the processing loops and the
// burn thread read them. The page publishes its entries here after every
// change; readers on any thread take a disc out with its own reference, so a
// disc stays valid while a step works on it, whatever happens to the list.
#pragma once

#include "src/authoring/split.h"

#include <mutex>
#include <vector>

class TDiscList
{
public:
    void Assign(std::vector<TDiscPtr> discs);
    int Count() const;
    // The disc at index, or null when the list holds no such index now.
    TDiscPtr At(int index) const;

private:
    mutable std::mutex FMutex;
    std::vector<TDiscPtr> FDiscs;
};
