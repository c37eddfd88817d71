#include "shell/template_list.h"

#include <algorithm>

#include "toolkit/fs/directory_scan.h"
#include "toolkit/fs/paths.h"
#include "toolkit/process/system_error.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file.h"

std::vector<std::u16string> templateNames;

namespace {

constexpr int TemplateScan = 0;
constexpr std::u16string_view templateEnding = u".tpl.txt";

}  // namespace

void insertTemplateName(std::vector<std::u16string>& names, const std::u16string& name) {
    // std::u16string compares code units as unsigned numbers, and upper_bound
    // lands after equal keys, which keeps the scan's order among them.
    const std::u16string key = lowerCase(name);
    auto at = std::upper_bound(names.begin(), names.end(), key,
                               [](const std::u16string& wanted, const std::u16string& entry) {
                                   return wanted < lowerCase(entry);
                               });
    names.insert(at, name);
}

int scanTemplates(const std::u16string& templateDirectory, int* listingFailure) {
    templateNames.clear();
    if (listingFailure) *listingFailure = 0;
    if (!examineDirectory(TemplateScan, templateDirectory, u"*.tpl.txt")) {
        if (listingFailure) *listingFailure = lastSystemError();
        return 0;
    }
    int count = 0;
    while (nextEntry(TemplateScan)) {
        if (entryType(TemplateScan) != FileEntry) continue;
        ++count;
        // The pattern chose the entry without regard to case, so the ending
        // is simply cut off: Report.TPL.TXT is listed as Report.
        std::u16string name = entryName(TemplateScan);
        insertTemplateName(templateNames,
                           leftPart(name, textLength(name) - int(templateEnding.size())));
    }
    finishDirectory(TemplateScan);
    return count;
}

int templateSelection(const std::vector<std::u16string>& names, std::u16string_view templateName) {
    const std::u16string key = lowerCase(templateName);
    int selected = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        if (lowerCase(names[i]) == key) selected = int(i);
    }
    return selected;
}

std::u16string prepareTemplateForEditing(const std::u16string& templateDirectory,
                                         std::u16string_view selectedName) {
    if (!selectedName.empty())
        return templateDirectory + std::u16string(selectedName) + std::u16string(templateEnding);
    std::u16string path = templateDirectory + u"Template.tpl.txt";
    // create would empty a template written in an earlier "Edit" of this run.
    if (!pathExists(path)) {
        FileId file = text_file::create(path);
        if (file != FileId::none) text_file::close(file);
    }
    return path;
}
