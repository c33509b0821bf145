// The percentages our three programs print on standard output while they
// work, each rewritten in place after a carriage return: "Demuxing: 43%"
// (the demultiplexer), "Muxing: 43%" (the muxer), "Writing: 43%" and
// "Verifying: 43%" (the burner). The reader takes them out of the output,
// so that the log keeps the programs' other lines, and keeps the last
// percentage and the stage it counts.
#pragma once

#include <QByteArray>

class TToolProgress
{
public:
    // Feeds the next piece of standard output. Returns the lines completed
    // by it that are not progress updates, each ended by "\n"; an
    // unfinished line waits for the next piece.
    QByteArray Feed(const QByteArray &output);
    // Once the program has ended: its unfinished last line, unless that is
    // a progress update (then it is empty).
    QByteArray Finish();
    // The last percentage read, from 0 to 100; -1 before any.
    int Percent() const { return FPercent; }
    // The word before the last percentage ("Demuxing", "Writing"…), empty
    // when the program printed the number alone.
    const QByteArray &Stage() const { return FStage; }

    // True when line is a progress update; its stage and percentage then.
    static bool ReadProgress(const QByteArray &line, QByteArray &stage, int &percent);

private:
    bool Take(const QByteArray &line);

    QByteArray FPending;
    int FPercent = -1;
    QByteArray FStage;
};
