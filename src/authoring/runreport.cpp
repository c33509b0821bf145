#include "src/authoring/runreport.h"

#include "src/authoring/toolsteps.h"
#include "src/platform/timetexts.h"

#include <QStringList>

#include <algorithm>

namespace {

constexpr int64_t kSecond = 10'000'000;

// "1 gravé", "2 gravés"
QString Counted(int count, const char *one, const char *many)
{
    return QString::number(count) + u' ' + QString::fromUtf8(count == 1 ? one : many);
}

// FormatDuration, with "0s" under a second.
QString DurationText(int64_t duration)
{
    const QByteArray text = FormatDuration(duration);
    return text.isEmpty() ? QStringLiteral("0s") : QString::fromLatin1(text);
}

QString StepName(TStepKind step)
{
    switch (step) {
    case skDemux: return QStringLiteral("Démultiplexage");
    case skMux: return QStringLiteral("Multiplexage");
    case skBurn: break;
    }
    return QStringLiteral("Gravure");
}

}  // namespace

QString TRunSummary::FailuresText() const
{
    if (Failed == 0)
        return {};
    return Counted(Failed, "échec", "échecs") + QStringLiteral(" (voir le journal)");
}

QString TRunSummary::Text() const
{
    QStringList parts;
    if (Ready > 0)
        parts << Counted(Ready, "disque prêt", "disques prêts");
    if (Burnt > 0)
        parts << Counted(Burnt, "gravé", "gravés");
    if (Interrupted > 0)
        parts << Counted(Interrupted, "interrompu", "interrompus");
    if (Warnings > 0)
        parts << Counted(Warnings, "avec avertissements", "avec avertissements");
    if (Failed > 0)
        parts << Counted(Failed, "échec", "échecs");
    if (parts.isEmpty())
        parts << QStringLiteral("aucun disque traité");
    QString text = (Interrupted > 0 ? QStringLiteral("Interrompu : ") : QStringLiteral("Terminé : "))
                   + parts.join(QStringLiteral(", "));
    if (Failed > 0 || Warnings > 0)
        text += QStringLiteral(" (voir le journal)");
    return text;
}

TStatusKind TRunSummary::Kind() const
{
    if (Failed > 0)
        return TStatusKind::Error;
    return Warnings > 0 || Interrupted > 0 ? TStatusKind::Interrupted : TStatusKind::Normal;
}

QString StepProgressText(TStepKind step, const QString &discName, int percent, bool verifying)
{
    const QString name = verifying ? QStringLiteral("Vérification") : StepName(step);
    QString text = name + QStringLiteral(" du ") + discName;
    if (percent >= 0)
        text += QStringLiteral(" : ") + QString::number(percent) + QStringLiteral(" %");
    return text;
}

QString StepEndText(TStepKind step, const QString &discName, TStepResult result, int64_t duration)
{
    const QString what = StepName(step) + QStringLiteral(" du ") + discName + QStringLiteral(" : ");
    const QString took = DurationText(duration);
    switch (result) {
    case TStepResult::Done: return what + QStringLiteral("terminé en ") + took;
    case TStepResult::Warnings: return what + QStringLiteral("terminé avec des avertissements en ") + took;
    case TStepResult::Interrupted: return what + QStringLiteral("interrompu après ") + took;
    default: return what + QStringLiteral("échec après ") + took;
    }
}

int64_t EstimateTimeLeft(int64_t elapsedAtCheckpoint, int64_t doneAtCheckpoint, int64_t doneNow,
                         int64_t total)
{
    if (doneAtCheckpoint <= 0 || elapsedAtCheckpoint <= 0)
        return -1;
    const double perUnit = double(elapsedAtCheckpoint) / double(doneAtCheckpoint);
    return int64_t(perUnit * double(std::max<int64_t>(0, total - doneNow)));
}

QString TimeLeftText(int64_t timeLeft)
{
    // Rounded up to the next ten seconds: a guess shown to the second
    // would flicker without being any truer.
    const int64_t tens = (std::max<int64_t>(0, timeLeft) + 10 * kSecond - 1) / (10 * kSecond);
    return QStringLiteral("environ ") + DurationText(tens * 10 * kSecond) + QStringLiteral(" restantes");
}
