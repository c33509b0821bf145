#include "src/authoring/failurereasons.h"

namespace {

struct TReason
{
    const char *Said;  // what the program writes
    const char *Meant;  // what the user reads
};

// In the order they are looked for: the most telling first.
const TReason kReasons[] = {
    {"No optical drive found", "aucun graveur de DVD n'a été trouvé"},
    {"cannot be opened as a drive", "le graveur ne peut pas être ouvert"},
    {"a blank writable disc is needed", "le graveur ne contient pas de disque vierge inscriptible"},
    {"cannot be written:", "le disque du graveur ne peut pas être écrit"},
    {"bytes free; nothing was written", "la place libre ne suffit pas pour l'image"},
    {"holds only", "le disque est trop petit pour ce contenu"},
    {"No space left on device", "le disque dur est plein"},
    {"Disk quota exceeded", "le quota du disque dur est atteint"},
    {"Read-only file system", "un dossier est sur un système de fichiers en lecture seule"},
    {"Permission denied", "un dossier n'est pas accessible en écriture (permission refusée)"},
    {"Operation not permitted", "un dossier n'est pas accessible en écriture (opération non permise)"},
    {"cannot read the transport stream", "un clip est endommagé ou n'est pas une vidéo AVCHD"},
    {"no picture could be read", "un clip est endommagé : aucune image lisible"},
    {"holds no picture", "un flux vidéo ne contient aucune image"},
    {"no readable slice header", "un flux vidéo est endommagé"},
    {"Not a directory", "un élément du chemin n'est pas un dossier"},
    {"No such file or directory", "un fichier ou un dossier est introuvable"},
};

}  // namespace

QString ToolFailureReason(const QByteArray &errorOutput)
{
    for (const TReason &reason : kReasons)
        if (errorOutput.contains(reason.Said))
            return QString::fromUtf8(reason.Meant);
    return {};
}
