#include "shell/file_choosers.h"

#include "converter/job_settings.h"
#include "shell/main_window.h"
#include "shell/template_list.h"
#include "toolkit/gui/gui.h"
#include "toolkit/fs/paths.h"
#include "toolkit/gui/requesters.h"

void refreshTemplateList() {
    clearItems(TemplateList);
    if (scanTemplates(job.templateDirectory) == 0) return;
    for (size_t i = 0; i < templateNames.size(); ++i) addItem(TemplateList, int(i), templateNames[i]);
    setState(TemplateList, templateSelection(templateNames, job.templateName));
}

void editTemplate() {
    openWithShell(prepareTemplateForEditing(job.templateDirectory, getText(TemplateList)));
}

void chooseSourceFile() {
    std::u16string chosen = openFileRequester(u"Source File", job.sourcePath, u"Textfile | *.*", 0);
    if (chosen.empty()) return;
    setText(SourceField, chosen);
    job.sourcePath = chosen;
}

void chooseProductFile() {
    // Opens the requester in the current directory with an empty name;
    // makeProduct takes the field's text before this value is ever used.
    if (job.productPath.empty()) job.productPath = u".\\*.*";
    std::u16string chosen =
        saveFileRequester(u"Product File", job.productPath, u"HTML file | *.HTM;*.HTML", 0);
    if (chosen.empty()) return;
    if (extensionPart(chosen).empty()) chosen += u".htm";
    setText(ProductField, chosen);
    job.productPath = chosen;
}
