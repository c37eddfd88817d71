// The templates of the template directory: every "*.tpl.txt" file, listed by
// name without that ending, ordered without regard to case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The result of the last scan, sorted by lower-case form; names with equal
// lower-case forms keep the order the directory delivered them in.
extern std::vector<std::u16string> templateNames;

// Rebuilds templateNames from `templateDirectory` (ending in the path
// separator); returns how many templates were found (0 also when the
// directory cannot be listed, and then `*listingFailure`, when given, gets
// the system's code for why; it is 0 after a listing).
int scanTemplates(const std::u16string& templateDirectory, int* listingFailure = nullptr);

// Inserts `name` after every entry whose lower-case form is not greater.
void insertTemplateName(std::vector<std::u16string>& names, const std::u16string& name);

// Position of the entry that matches `templateName` without regard to case,
// exactly; 0 (the first entry) when none does.
int templateSelection(const std::vector<std::u16string>& names, std::u16string_view templateName);

// The file in `templateDirectory` that "Edit" opens for the selected
// template: the template itself, or with none selected "Template.tpl.txt",
// created empty when missing and never emptied when present.
std::u16string prepareTemplateForEditing(const std::u16string& templateDirectory,
                                         std::u16string_view selectedName);
