// The settings record, the converter's program-wide state, and the settings
// of a fresh installation.
#include "converter/job_settings.h"

JobSettings job;

std::u16string currentLine;
int inSource = 0;
int headingWritten = 0;
int listDepth = 0;

void clearJobSettings() { job = JobSettings(); }

void applyDefaultSettings(JobSettings& settings) {
    settings.tagStartSymbol = u"[";
    settings.tagEndSymbol = u"]";
    settings.levelSymbol = u".";
    settings.titleRange = 1;
    settings.pageSeparator = 1;
    settings.namedEntities = EntityGt | EntityLt | EntityQuot;
}
