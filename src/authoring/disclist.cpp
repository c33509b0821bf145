#include "src/authoring/disclist.h"

void TDiscList::Assign(std::vector<TDiscPtr> discs)
{
    std::vector<TDiscPtr> old;
    {
        std::lock_guard lock(FMutex);
        old.swap(FDiscs);
        FDiscs = std::move(discs);
    }
    // Discs no longer listed and used by nobody go here, outside the lock.
}

int TDiscList::Count() const
{
    std::lock_guard lock(FMutex);
    return int(FDiscs.size());
}

TDiscPtr TDiscList::At(int index) const
{
    std::lock_guard lock(FMutex);
    if (index < 0 || index >= int(FDiscs.size()))
        return nullptr;
    return FDiscs[size_t(index)];
}
