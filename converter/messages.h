// Every failure a conversion can end in, once: its text as the window shows
// it, the field of the page it belongs to, and the file the command line
// names after it. The converter reports the texts (reportError); the front
// ends find them here, so the command line and the web page cannot drift.
#pragma once

#include <string_view>

enum class MessageField { Source, Template, OwnTemplateFile, TitleRange, Encoding, Date, Product, Memory };

struct FailureMessage {
    std::string_view id;        // the page's name for the failure
    std::u16string_view text;   // byte for byte as the user reads it
    MessageField field;
    bool systemReason;          // the command line adds the system's reason
};

extern const FailureMessage failureMessages[17];

// The entry whose text is exactly `text`; nullptr for any other text.
const FailureMessage* failureMessageOf(std::u16string_view text);

// The entry named `id`; nullptr for an unknown id.
const FailureMessage* failureMessageNamed(std::string_view id);

// The page's name of a field ("source", "titleRange", ...).
std::string_view fieldName(MessageField field);
