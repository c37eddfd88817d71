// Which settings keys fill which JobSettings fields, shared by the window
// program and the command line.
#pragma once

#include "converter/job_settings.h"
#include "shell/settings_store.h"

// Reads every setting in the fixed order. `sourcePath` is read from the file
// only while `settings.sourcePath` is empty. `programDirectory` must be set.
void readJobSettings(SettingsStore& store, JobSettings& settings);

// Writes the six values a successful run keeps; does not save.
void writeJobSettings(SettingsStore& store, const JobSettings& settings);
