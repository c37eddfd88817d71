// The site's run: index.htm is the first file, each page title of a split
// level closes the file before it and opens its own. The hook in nestLevel
// cuts the single page's list markup between the files, so the notes pass
// through the converter exactly once and as they always do.
#include "converter/site_writer.h"

#include <new>
#include <vector>

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/page_lists.h"
#include "converter/site_names.h"
#include "converter/site_parts.h"
#include "converter/source_reader.h"
#include "toolkit/fs/site_folder.h"
#include "toolkit/process/report.h"
#include "toolkit/text/strings.h"

using namespace std::literals;

namespace {

struct Page {
    int level = 0;
    std::u16string name;
    std::u16string title;
    std::u16string browserTitle;  // the title as text
};

class SiteRun final : public PageSplit {
public:
    SiteRun(const std::u16string& folder, int splitLevel, long long contentsLimit)
        : folder_(folder), splitLevel_(splitLevel), contentsLimit_(contentsLimit) {}

    bool splitsAt(int level) override {
        ++titles_;
        return level <= splitLevel_;
    }

    void split(int level, std::u16string_view title, int openLists, bool innermostClosed) override {
        text_file::writeString(ProductFile, u"<!--/notes-->"sv);
        if (innermostClosed) text_file::writeString(ProductFile, u"</ul>"sv);
        for (int i = innermostClosed ? 1 : 0; i < openLists; ++i) text_file::writeString(ProductFile, u"</li></ul>"sv);
        Page page{level, pageFileName(++pages_, title), std::u16string(title), plainTitle(title)};
        // index.htm is finished at the end, after its contents, where it stops now.
        if (current_.level == 0) indexEnd_ = text_file::position(ProductFile);
        if (current_.level != 0) {
            writeNavigation(false, &page);
            writeTemplateTail(&current_.browserTitle, true);
        }
        closePage();

        if (pages_ == 1) firstPage_ = page;
        previous_ = current_;
        while (!ancestors_.empty() && ancestors_.back().level >= level) ancestors_.pop_back();
        current_ = page;
        ancestors_.push_back(page);
        if (text_file::createNew(folder_ + page.name, ProductFile) == FileId::none) {
            fail(u"Cannot make product file");
            return;
        }
        text_file::writeByteOrderMark(ProductFile, TextEncoding::Utf8);
        if (!writeTemplateHead(&current_.browserTitle, true)) fail(u"Cannot read template file");
        writeNavigation(true, nullptr);
        for (int i = 1; i < openLists; ++i) text_file::writeString(ProductFile, u"<ul><li>"sv);
        if (openLists > 0) text_file::writeString(ProductFile, innermostClosed ? u"<ul>"sv : u"<ul><li>"sv);
        text_file::writeString(ProductFile, u"<!--notes-->"sv);
        addEntry(level, page.name, title);
    }

    void deeperTitle(int level, std::u16string_view title) override {
        anchor_ = u"p";
        appendNumberText(anchor_, titles_);
        addEntry(level, current_.name + u"#" + anchor_, title);
    }

    void insideTitle() override {
        if (anchor_.empty()) return;
        text_file::writeStrings(ProductFile, {u"<!--/notes--><span id=\""sv, anchor_, u"\"></span><!--notes-->"sv});
        anchor_.clear();
    }

    // The whole run; the state at the end is the single page's.
    int run() {
        if (text_file::createNew(folder_ + std::u16string(contentsWaitingName), ContentsFile) == FileId::none ||
            text_file::createNew(folder_ + std::u16string(siteIndexName), ProductFile) == FileId::none) {
            text_file::close(ContentsFile);
            reportError(u"Cannot make product file");
            return 0;
        }
        current_.name = siteIndexName;
        text_file::writeByteOrderMark(ProductFile, TextEncoding::Utf8);
        inSource = 0;
        if (!writeTemplateHead(nullptr, false)) {
            closePage();
            text_file::close(ContentsFile);
            reportError(text_file::exists(job.templatePath) ? u"'[...]' not found in template" : u"Cannot read template file");
            return 0;
        }
        // index.htm's way on comes after its contents, which head it.
        text_file::writeString(ProductFile, u"<!--notes-->"sv);
        pageSplit = this;
        const int converted = convertSource();
        pageSplit = nullptr;
        inSource = 0;
        if (converted == 0) failed_ = true;
        text_file::writeString(ProductFile, u"<!--/notes-->"sv);
        const bool indexOpen = current_.level == 0;
        if (!indexOpen) {
            writeNavigation(false, nullptr);
            writeTemplateTail(&current_.browserTitle, false);
            closePage();
            // index.htm is finished last, where it stopped.
            if (text_file::openReadWrite(folder_ + std::u16string(siteIndexName), ProductFile) == FileId::none) {
                fail(u"Cannot write product file");
            }
            text_file::seek(ProductFile, indexEnd_);
            current_ = Page{};
        }
        text_file::close(ContentsFile);
        if (!failed_ && !writeContents(folder_, {contentsBytes_, topBytes_, contentsLimit_})) fail(u"Cannot write product file");
        writeNavigation(false, firstPage_.name.empty() ? nullptr : &firstPage_);
        writeTemplateTail(nullptr, !indexOpen);
        closePage();
        removeFile(folder_ + std::u16string(contentsWaitingName));
        return failed_ ? 0 : 1;
    }

private:
    void fail(std::u16string_view message) {
        if (!failed_) reportError(message);
        failed_ = true;
    }

    void closePage() {
        text_file::flush(ProductFile);
        if (text_file::writeFailed(ProductFile)) fail(u"Cannot write product file");
        text_file::close(ProductFile);
    }

    void addEntry(int level, const std::u16string& href, std::u16string_view title) {
        std::u16string line;
        appendNumberText(line, level);
        line += u'\t';
        line += href;
        line += u'\t';
        line += title;
        line += u"\r\n";
        text_file::writeString(ContentsFile, line);
        const long long bytes = contentsEntryBytes(href, title);
        contentsBytes_ += bytes;
        // The upper level, and the titles before it, which stay in index.htm.
        seenTop_ = seenTop_ || level <= 1;
        if (level <= 1 || !seenTop_) topBytes_ += bytes;
    }

    // Before the notes: the path of ancestors and the way back; after them
    // the way on. Plain links, so that they work with script off.
    void writeNavigation(bool top, const Page* next);

    std::u16string folder_;
    std::u16string anchor_;  // the deeper title's, until its tag is open
    int splitLevel_;
    long long pages_ = 0;
    long long titles_ = 0;
    long long contentsLimit_;
    long long contentsBytes_ = 0;
    long long topBytes_ = 0;
    bool seenTop_ = false;
    std::int64_t indexEnd_ = 0;
    bool failed_ = false;
    Page current_;   // level 0: index.htm
    Page previous_;  // level 0 with a name: index.htm
    Page firstPage_;
    std::vector<Page> ancestors_;  // the split pages above and at the current one
};

void link(std::u16string_view rel, std::u16string_view key, std::u16string_view href, std::u16string_view label,
          std::u16string_view title) {
    text_file::writeStrings(ProductFile, {u"<a href=\""sv, href, u"\""sv});
    if (!rel.empty()) text_file::writeStrings(ProductFile, {u" rel=\""sv, rel, u"\""sv});
    if (!key.empty()) text_file::writeStrings(ProductFile, {u" accesskey=\""sv, key, u"\""sv});
    text_file::writeStrings(ProductFile, {u">"sv, label, title, u"</a>"sv});
}

void SiteRun::writeNavigation(bool top, const Page* next) {
    // Two navigation landmarks of one page need names of their own.
    text_file::writeString(ProductFile, top ? u"\r\n<nav class=\"pagesmith-site\" aria-label=\"Path\">"sv
                                            : u"\r\n<nav class=\"pagesmith-site\" aria-label=\"Previous and next\">"sv);
    const bool atIndex = current_.level == 0;
    if (top) {
        // The breadcrumb: the contents, then every page above this one.
        link({}, u"h"sv, siteIndexName, u"Contents"sv, {});
        for (std::size_t i = 0; i + 1 < ancestors_.size(); ++i) {
            text_file::writeString(ProductFile, u" &rsaquo; "sv);
            link({}, {}, ancestors_[i].name, {}, ancestors_[i].title);
        }
    }
    if (!atIndex) {
        text_file::writeString(ProductFile, top ? u"<br>"sv : u""sv);
        const Page& before = previous_;
        link(u"prev"sv, top ? u"p"sv : u""sv, before.level == 0 ? siteIndexName : std::u16string_view(before.name),
             u"Previous: "sv, before.level == 0 ? u"Contents"sv : std::u16string_view(before.title));
        text_file::writeString(ProductFile, u" | "sv);
        const bool topLevel = ancestors_.size() < 2;
        link(u"up"sv, top ? u"u"sv : u""sv, topLevel ? siteIndexName : std::u16string_view(ancestors_[ancestors_.size() - 2].name),
             u"Up: "sv, topLevel ? u"Contents"sv : std::u16string_view(ancestors_[ancestors_.size() - 2].title));
    }
    if (next != nullptr) {
        if (!atIndex) text_file::writeString(ProductFile, u" | "sv);
        link(u"next"sv, u"n"sv, next->name, u"Next: "sv, next->level == 0 ? u"Contents"sv : std::u16string_view(next->title));
    }
    text_file::writeString(ProductFile, u"</nav>\r\n"sv);
}

}  // namespace

int writeSite(const std::u16string& folder, int splitLevel, long long contentsLimit) {
    SiteRun site(folder, splitLevel, contentsLimit);
    forgetTemplateLines();
    try {
        const int written = site.run();
        forgetTemplateLines();
        return written;
    } catch (const std::bad_alloc&) {
    }
    forgetTemplateLines();
    pageSplit = nullptr;
    for (const FileId file : {TemplateFile, SourceFile, ProductFile, SiteTemplateFile, ContentsFile, BranchFile}) {
        text_file::close(file);
    }
    reportError(u"Not enough memory");
    return 0;
}
