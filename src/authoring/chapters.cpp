#include "src/authoring/chapters.h"

QByteArray TChapters::getmetastring() const
{
    return join(';');
}
