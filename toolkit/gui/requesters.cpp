#include "toolkit/gui/requesters.h"

#include "toolkit/fs/paths.h"

std::u16string requesterFilterList(std::u16string_view patternText) {
    std::u16string list(patternText);
    for (char16_t& c : list) {
        if (c == u'|') c = u'\0';
    }
    // The dialog reads pairs up to an empty string, so the list needs two
    // terminators of its own besides the one std::u16string keeps.
    list.push_back(u'\0');
    list.push_back(u'\0');
    return list;
}

void splitDefaultFile(std::u16string_view defaultFile, std::u16string& directory,
                      std::u16string& fileName) {
    directory.clear();
    fileName.clear();
    size_t cut = defaultFile.rfind(u'\\');
    if (cut == std::u16string_view::npos || cut == 0) {
        fileName = defaultFile;
    } else {
        directory = defaultFile.substr(0, cut);
        // "C:" alone would name the drive's current directory, not its root.
        if (directory.size() == 2 && directory[1] == u':') directory += u'\\';
        fileName = defaultFile.substr(cut + 1);
    }
    // Wildcards or separators in the name field would make the dialog filter
    // or fail instead of opening.
    if (!isValidFileName(fileName)) fileName.clear();
    if (fileName.size() > maxRequesterName) fileName.resize(maxRequesterName);
}
