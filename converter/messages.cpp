#include "converter/messages.h"

const FailureMessage failureMessages[17] = {
    // Reported by the converter, in every front end.
    {"sourceNotFound", u"Source not found", MessageField::Source, true},
    {"cannotReadSource", u"Cannot read source file", MessageField::Source, true},
    {"sourceNotText", u"Source is not a text file", MessageField::Source, false},
    {"cannotReadTemplate", u"Cannot read template file", MessageField::Template, true},
    {"markerNotFound", u"'[...]' not found in template", MessageField::Template, false},
    {"cannotMakeProduct", u"Cannot make product file", MessageField::Product, true},
    {"cannotWriteProduct", u"Cannot write product file", MessageField::Product, true},
    {"productIsInput", u"Product file must differ from source and template", MessageField::Product, false},
    {"productIsSettings", u"Product file must differ from the settings file", MessageField::Product, false},
    {"notEnoughMemory", u"Not enough memory", MessageField::Memory, false},
    // The web page's own: its fields take what the command line's options
    // take, and a browser ties a picked file to its state when picked.
    {"chooseSource", u"Choose the export first.", MessageField::Source, false},
    {"chooseTemplateFile", u"Choose your template file first.", MessageField::OwnTemplateFile, false},
    {"sourceChanged", u"The source file changed after you picked it: pick it again.", MessageField::Source, false},
    {"templateChanged", u"The template file changed after you picked it: pick it again.", MessageField::OwnTemplateFile,
     false},
    {"titleRangeNotNumber", u"Number of different header styles must be a whole number of at most 9 digits",
     MessageField::TitleRange, false},
    {"dateNotDay", u"Date for date tags must be a day as YYYY-MM-DD", MessageField::Date, false},
    {"unknownEncoding", u"Unknown encoding", MessageField::Encoding, false},
};

const FailureMessage* failureMessageOf(std::u16string_view text) {
    for (const FailureMessage& message : failureMessages) {
        if (message.text == text) return &message;
    }
    return nullptr;
}

const FailureMessage* failureMessageNamed(std::string_view id) {
    for (const FailureMessage& message : failureMessages) {
        if (message.id == id) return &message;
    }
    return nullptr;
}

std::string_view fieldName(MessageField field) {
    switch (field) {
    case MessageField::Source: return "source";
    case MessageField::Template: return "template";
    case MessageField::OwnTemplateFile: return "templateFile";
    case MessageField::TitleRange: return "titleRange";
    case MessageField::Encoding: return "encoding";
    case MessageField::Date: return "date";
    case MessageField::Product: return "product";
    case MessageField::Memory: return "memory";
    }
    return "product";
}
