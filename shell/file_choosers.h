// The actions behind the template list, "Edit" and the two ".." buttons.
// Windows only.
#pragma once

// Refills TemplateList from a fresh scan and selects job.templateName.
void refreshTemplateList();

// Opens the selected template with its associated program; with none, the
// template directory's "Template.tpl.txt", created empty first when missing.
void editTemplate();

// The ".." buttons: a requester starting from job.sourcePath or
// job.productPath; a chosen file goes to the field and to job.
void chooseSourceFile();
void chooseProductFile();
