// The texts of the disc page's details panel and counts label.
#pragma once

#include "src/authoring/disque.h"

#include <QString>

#include <cstdint>

// value in decimal, no decimals, groups of three digits separated by ".":
// 4600000000 reads 4.600.000.000.
QString GroupedNumber(int64_t value);

// "Aucun disque", "Un disque", then "{count} disques".
QString DiscCountText(int count);

// The lines of the details panel.
QString DiscSizeText(const TDisque &disc);  // taille: 4.600.000.000
QString DiscClipCountText(const TDisque &disc);  // nb de fichiers: 3
QString DiscDurationText(const TDisque &disc);  // Durée: 1h 02mn 05s
