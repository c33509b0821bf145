// When a clip was filmed, as a text for its hint and the preview. The
// other time texts are in src/platform/timetexts.h.
#pragma once

#include "media/recordingdate.h"

#include <QString>

// "Filmé le 14/07/2012 à 15:30:00": when a clip was filmed, as its
// camcorder's clock showed it.
QString RecordingDateText(const TRecordingDate &date);
