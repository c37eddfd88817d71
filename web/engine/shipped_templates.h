// The templates shipped with Pagesmith, compiled into the engine so that the
// page lists and reads them from the one place they come from.
#pragma once

#include <string_view>

struct ShippedTemplate {
    std::u16string_view name;  // the file name without ".tpl.txt"
    std::string_view bytes;    // the file's exact bytes
};

extern const ShippedTemplate shippedTemplates[];
extern const int shippedTemplateCount;
