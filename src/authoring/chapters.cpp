#include "authoring/chapters.h"

QByteArray TChapters::getmetastring() const
{
    return join(';');
}
