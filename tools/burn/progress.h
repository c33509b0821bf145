// A percentage rewritten in place on the burner's standard output.
#pragma once

#include <cstdint>
#include <ostream>

class TProgress
{
public:
    TProgress(std::ostream &out, const char *what, uint64_t total) : FOut(out), FWhat(what), FTotal(total) { }
    void Show(uint64_t done)
    {
        int percent = FTotal ? static_cast<int>(100 * done / FTotal) : 100;
        if (percent == FShown)
            return;
        FOut << "\r" << FWhat << ": " << percent << "%" << std::flush;
        FShown = percent;
    }
    void End() { FOut << "\n"; }

private:
    std::ostream &FOut;
    const char *FWhat;
    uint64_t FTotal;
    int FShown = -1;
};
