// The contents: the page titles as nested lists, read back from the file
// they waited in, so that no run holds them all.
#include <algorithm>
#include <string>
#include <vector>

#include "converter/conversion_run.h"
#include "converter/site_parts.h"
#include "converter/site_writer.h"
#include "toolkit/text/strings.h"

using namespace std::literals;

namespace {

bool readEntry(ContentsEntry& entry, std::u16string& line) {
    if (text_file::atEnd(ContentsFile)) return false;
    text_file::readLine(ContentsFile, line, TextEncoding::Utf8);
    const std::size_t tab = line.find(u'\t');
    const std::size_t second = line.find(u'\t', tab + 1);
    if (tab == std::u16string::npos || second == std::u16string::npos) return false;
    entry.level = static_cast<int>(textToNumber(std::u16string_view(line).substr(0, tab)));
    entry.href.assign(line, tab + 1, second - tab - 1);
    entry.title.assign(line, second + 1);
    return true;
}

// The nested lists of one contents file, the page lists' own rule: a title
// several levels down opens a list for each level passed over.
class Tree {
public:
    explicit Tree(FileId file) : file_(file) {}
    void add(int level, const ContentsEntry& entry, std::u16string_view branch = {}) {
        while (level < depth_) {
            text_file::writeString(file_, u"</li></ul>"sv);
            --depth_;
        }
        if (level == depth_) {
            text_file::writeString(file_, u"</li>\r\n<li>"sv);
        } else {
            // The outermost list sits right in the page, where a template
            // lays out the notes' own: a template that leaves pages out of
            // view unlaid does the same with the contents.
            if (depth_ == 0) text_file::writeString(file_, u"\r\n<ul class=\"pagesmith-contents\"><li>"sv);
            for (depth_ = std::max(depth_, 1); depth_ < level; ++depth_) text_file::writeString(file_, u"\r\n<ul><li>"sv);
        }
        // An entry starts its item as a page title does in the notes, a
        // bold line, so that a template's script that folds and filters the
        // pages does the same with the contents.
        text_file::writeStrings(file_, {u"<b><a href=\""sv, entry.href, u"\">"sv, entry.title, u"</a></b><br>"sv});
        if (!branch.empty()) text_file::writeStrings(file_, {u"(<a href=\""sv, branch, u"\">contents</a>)"sv});
    }
    void close() {
        for (; depth_ > 0; --depth_) text_file::writeString(file_, u"</li></ul>"sv);
        text_file::writeString(file_, u"\r\n"sv);
    }

private:
    FileId file_;
    int depth_ = 0;
};

// A branch's contents file: a small page of its own, quick to open
// whatever the template carries.
bool openBranch(const std::u16string& folder, const std::u16string& name, const ContentsEntry& top) {
    if (text_file::createNew(folder + name, BranchFile) == FileId::none) return false;
    text_file::writeByteOrderMark(BranchFile, TextEncoding::Utf8);
    text_file::writeStrings(BranchFile, {u"<!DOCTYPE html>\r\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Contents: "sv, top.title,
                                         u"</title></head><body>\r\n<nav class=\"pagesmith-site\" aria-label=\"Path\"><a href=\""sv,
                                         siteIndexName, u"\" rel=\"up\" accesskey=\"u\">Up: Contents</a></nav>\r\n<main><h1>Contents: "sv, top.title, u"</h1>"sv});
    return true;
}

bool closeBranch() {
    text_file::writeString(BranchFile, u"</main>\r\n</body></html>\r\n"sv);
    text_file::flush(BranchFile);
    const bool failed = text_file::writeFailed(BranchFile);
    text_file::close(BranchFile);
    return !failed;
}

// Groups of first-level pages, each with its branches, closed at a first-
// level page once they hold this share of the limit: many small files open
// quicker than a few at the limit.
constexpr long long groupShare = 4;

class Groups {
public:
    explicit Groups(long long target) : target_(target) {}
    // Whether `entry` starts a group; the entries are given in order.
    bool starts(const ContentsEntry& entry) {
        const bool start = bytes_ < 0 || (entry.level <= 1 && bytes_ >= target_);
        if (start) bytes_ = 0;
        bytes_ += contentsEntryBytes(entry.href, entry.title);
        return start;
    }

private:
    long long target_;
    long long bytes_ = -1;
};

bool openContents(const std::u16string& folder) {
    return text_file::openRead(folder + std::u16string(contentsWaitingName), ContentsFile) != FileId::none;
}

// The groups' last first-level titles, read ahead, so that a group's file
// can name its span at its top.
bool groupEnds(const std::u16string& folder, long long target, std::vector<std::u16string>& ends) {
    if (!openContents(folder)) return false;
    Groups groups(target);
    std::u16string line;
    ContentsEntry entry;
    while (readEntry(entry, line)) {
        if (groups.starts(entry)) ends.emplace_back();
        if (entry.level <= 1 || ends.back().empty()) ends.back() = entry.title;
    }
    text_file::close(ContentsFile);
    return true;
}

bool writeGroups(const std::u16string& folder, long long target) {
    std::vector<std::u16string> ends;
    if (!groupEnds(folder, target, ends) || !openContents(folder)) return false;
    Tree index(ProductFile);
    Tree group(BranchFile);
    Groups groups(target);
    bool written = true;
    bool open = false;
    std::size_t count = 0;
    ContentsEntry span;
    std::u16string line;
    ContentsEntry entry;
    const auto close = [&] {
        if (!open) return;
        group.close();
        written = closeBranch() && written;
        index.add(1, span);
        group = Tree(BranchFile);
        open = false;
    };
    while (readEntry(entry, line)) {
        if (groups.starts(entry)) {
            close();
            span.href = u"index-" + entry.href.substr(0, entry.href.find(u'#'));
            span.title = entry.title + u" \u2013 " + (count < ends.size() ? ends[count] : entry.title);
            ++count;
            open = openBranch(folder, span.href, span);
            written = open && written;
        }
        if (open) group.add(entry.level, entry);
    }
    close();
    index.close();
    text_file::close(ContentsFile);
    return written;
}

}  // namespace

bool writeContents(const std::u16string& folder, const ContentsSize& size) {
    const bool whole = size.all <= size.limit;
    // The contents are index.htm's heading, as its notes lie in the pages.
    text_file::writeString(ProductFile, u"<h1>Contents</h1>"sv);
    if (!whole && size.top > size.limit) return writeGroups(folder, size.limit / groupShare);
    if (!openContents(folder)) return false;
    Tree index(ProductFile);
    Tree branch(BranchFile);
    bool branchOpen = false;
    bool written = true;
    std::u16string line;
    ContentsEntry entry;
    ContentsEntry next;
    bool more = readEntry(next, line);
    while (more) {
        entry = next;
        more = readEntry(next, line);
        if (whole) {
            index.add(entry.level, entry);
            continue;
        }
        // The upper level in index.htm, each branch below it in a file of
        // its own; titles above the first top-level one stay in index.htm.
        if (entry.level <= 1 || !branchOpen) {
            if (branchOpen) {
                branch.close();
                written = closeBranch() && written;
                branch = Tree(BranchFile);
                branchOpen = false;
            }
            const bool children = entry.level == 1 && more && next.level > 1;
            const std::u16string branchName = children ? u"index-" + entry.href : std::u16string();
            index.add(entry.level, entry, branchName);
            if (children) {
                branchOpen = openBranch(folder, branchName, entry);
                written = branchOpen && written;
                if (branchOpen) branch.add(1, entry);
            }
            continue;
        }
        branch.add(entry.level, entry);
    }
    if (branchOpen) {
        branch.close();
        written = closeBranch() && written;
    }
    index.close();
    text_file::close(ContentsFile);
    return written;
}
