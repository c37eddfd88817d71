// What the page needs to know of the program, from the C++ that holds it:
// the settings' defaults, the encoding names, the shipped templates, the
// failures and their fields, and the product's name. The page keeps only
// their presentation.
#include <emscripten.h>

#include <string>
#include <string_view>

#include "converter/job_settings.h"
#include "converter/messages.h"
#include "converter/settings_text.h"
#include "converter/site_writer.h"
#include "toolkit/fs/paths.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file.h"
#include "web/engine/shipped_templates.h"

namespace {

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[(c >> 4) & 15];
            out += hex[c & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string quoted(std::u16string_view text) { return quoted(utf8FromText(text)); }

const ShippedTemplate* shippedTemplate(std::u16string_view name) {
    for (int i = 0; i < shippedTemplateCount; ++i) {
        if (shippedTemplates[i].name == name) return &shippedTemplates[i];
    }
    return nullptr;
}

std::string rulesJson() {
    JobSettings defaults;
    applyDefaultSettings(defaults);
    std::string templates;
    for (int i = 0; i < shippedTemplateCount; ++i) templates += (i ? "," : "") + quoted(shippedTemplates[i].name);
    std::string encodings;
    for (const text_file::NamedEncoding& named : text_file::namedEncodings)
        encodings += (encodings.empty() ? "" : ",") + quoted(named.name);
    std::string messages;
    for (const FailureMessage& message : failureMessages) {
        messages += (messages.empty() ? "" : ",") + quoted(message.id) + ":{\"text\":" + quoted(message.text) +
                    ",\"field\":" + quoted(fieldName(message.field)) + "}";
    }
    // The window starts with the first template of its sorted list, and the
    // command line reads an export without a mark as ANSI.
    return "{\"defaults\":{\"template\":" + (shippedTemplateCount ? quoted(shippedTemplates[0].name) : "\"\"") +
           ",\"titleRange\":\"" + std::to_string(defaults.titleRange) + "\",\"separator\":" +
           (defaults.pageSeparator ? "true" : "false") + ",\"title\":" + quoted(defaults.browserTitle) +
           ",\"encoding\":" + quoted(text_file::namedEncodings[0].name) + ",\"date\":\"\",\"make\":\"page\",\"splitLevel\":" +
           std::to_string(defaultSplitLevel) + "}" +
           ",\"makes\":[\"page\",\"site\"],\"templates\":[" + templates + "],\"encodings\":[" + encodings + "],\"messages\":{" + messages + "}}";
}

}  // namespace

// The rules as JSON: {defaults: {template, titleRange, separator, title,
// encoding, date, make, splitLevel}, makes: ["page", "site"], templates:
// [name], encodings: [name], messages: {id: {text, field}}}.
extern "C" EMSCRIPTEN_KEEPALIVE const char* pagesmith_rules() {
    static const std::string rules = rulesJson();
    return rules.c_str();
}

// The product's name for a source's file name, as the command line names a
// product beside its source.
extern "C" EMSCRIPTEN_KEEPALIVE const char* pagesmith_product_name(const char* sourceName) {
    static std::string name;
    name = utf8FromText(productBesideSource(textFromUtf8(sourceName)));
    return name.c_str();
}

// The site's zip for a source's file name: the name of the folder the
// command line makes for the site beside its source, without the
// extension, and "-site.zip" (notes.txt -> notes-site.zip).
extern "C" EMSCRIPTEN_KEEPALIVE const char* pagesmith_site_name(const char* sourceName) {
    static std::string name;
    const std::u16string source = textFromUtf8(sourceName);
    const std::u16string extension = extensionPart(source);
    name = utf8FromText(extension.empty() ? source : source.substr(0, source.size() - extension.size() - 1)) + "-site.zip";
    return name.c_str();
}

// A shipped template's bytes and their count; nullptr and 0 for another name.
extern "C" EMSCRIPTEN_KEEPALIVE const char* pagesmith_template_bytes(const char* name) {
    const ShippedTemplate* shipped = shippedTemplate(textFromUtf8(name));
    return shipped ? shipped->bytes.data() : nullptr;
}

extern "C" EMSCRIPTEN_KEEPALIVE int pagesmith_template_size(const char* name) {
    const ShippedTemplate* shipped = shippedTemplate(textFromUtf8(name));
    return shipped ? static_cast<int>(shipped->bytes.size()) : 0;
}
