// The one record of all settings of a conversion, and the converter's
// program-wide state. Both outlive a run.
#pragma once

#include <cstdint>
#include <string>

struct JobSettings {
    std::u16string programDirectory;   // ends in the path separator
    std::u16string sourcePath;
    std::u16string productPath;
    std::u16string templateDirectory;  // always ends in the path separator
    std::u16string templateName;       // without ".tpl.txt"
    std::u16string templatePath;       // derived for each run, never stored
    std::u16string settingsPath;       // the settings file of this program run, never stored
    std::u16string tagStartSymbol;
    std::u16string tagEndSymbol;
    std::u16string levelSymbol;
    std::int32_t titleRange = 0;
    std::int32_t pageSeparator = 0;
    std::u16string browserTitle;
    std::int32_t namedEntities = 0;    // 1 ">", 2 "<", 4 double quote
};

enum NamedEntity : std::int32_t { EntityGt = 1, EntityLt = 2, EntityQuot = 4 };

extern JobSettings job;

// Converter state shared by the template assembly, the source reader, the line
// converter and the page lists.
extern std::u16string currentLine;
extern int inSource;
extern int headingWritten;
extern int listDepth;

// Every text empty, every number 0, as at program start.
void clearJobSettings();

// The settings a fresh installation runs with, and what a setting missing
// from the settings file reads as: symbols "[", "]" and ".",
// one heading style, separators on, every named entity on.
void applyDefaultSettings(JobSettings& settings);
