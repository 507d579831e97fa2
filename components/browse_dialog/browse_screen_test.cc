// The browse screen over a listed catalog and typed lines: what each answer
// chooses, what the settings forbid, and which file operations reach the
// catalog.
#include "browse_screen.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using kova::browse::BrowseCatalog;
using kova::browse::BrowseSettings;
using kova::browse::LineTerminal;
using kova::browse::RunBrowseScreen;
using Paths = std::vector<std::string>;

class TypedLines final : public LineTerminal {
 public:
  explicit TypedLines(const std::vector<std::string>& lines)
      : lines_(lines.begin(), lines.end()) {}
  void Write(const std::string& text) override { shown_ += text; }
  bool ReadLine(std::string* line) override {
    if (lines_.empty()) return false;
    *line = lines_.front();
    lines_.pop_front();
    return true;
  }
  const std::string& shown() const { return shown_; }
  std::size_t left() const { return lines_.size(); }

 private:
  std::deque<std::string> lines_;
  std::string shown_;
};

// Two Kovas; Work holds the folders Sessions and Old and two files, listed out of
// order as a storage may deliver them.
class ListedCatalog final : public BrowseCatalog {
 public:
  std::vector<Kova> ListKovas() override {
    return {{"Work Files", "<Work>\\", true}, {"Archive Store", "<Arch>\\", false}};
  }
  std::vector<std::string> ListFolders(const std::string& folder) override {
    if (folder == "<Work>\\") return {"Sessions", "Old"};
    return {};
  }
  std::vector<std::string> ListFiles(const std::string& folder, LONG typeCode) override {
    typeCodes.push_back(typeCode);
    if (folder == "<Work>\\") return {"z.lms", "m.lms"};
    if (folder == "<Work>\\Sessions\\") return {"b.lms", "a.lms"};
    return {};
  }
  std::string DisplayPath(const std::string& folder) override {
    return "<shown " + folder + ">";
  }
  bool RenameFile(const std::string& from, const std::string& to) override {
    renamed.emplace_back(from, to);
    return true;
  }
  bool DeleteFile(const std::string& path) override {
    deleted.push_back(path);
    return false;
  }

  std::vector<LONG> typeCodes;
  std::vector<std::pair<std::string, std::string>> renamed;
  Paths deleted;
};

BrowseSettings Settings(LONG mode, bool edit = true,
                        const std::string& preselected = "") {
  BrowseSettings settings;
  settings.mode = mode;
  settings.editAllowed = edit;
  settings.preselected = preselected;
  return settings;
}

TEST(BrowseScreenTest, AnswersChooseWhatTheyName) {
  const BrowseSettings open = Settings(26);
  const BrowseSettings saveAs = Settings(27);
  struct Row {
    const char* name;
    BrowseSettings settings;
    std::vector<std::string> lines;
    Paths chosen;
  } rows[] = {
      {"a file in a sub-folder", open, {"1", "2", "2"}, {"<Work>\\Sessions\\b.lms"}},
      {"entries are sorted, folders first", open, {"1", "3"}, {"<Work>\\m.lms"}},
      {"several files, a repeat counted once",
       open,
       {"1", "4 3 4"},
       {"<Work>\\z.lms", "<Work>\\m.lms"}},
      {"a folder among several is refused", open, {"1", "2 3", "3"}, {"<Work>\\m.lms"}},
      {"a number past the list is refused",
       open,
       {"1", "9", "0", "4"},
       {"<Work>\\z.lms"}},
      {"up from a folder and from a root",
       open,
       {"1", "2", "u", "u", "1", "4"},
       {"<Work>\\z.lms"}},
      {"k lists the Kovas again", open, {"1", "2", "k", "1", "3"}, {"<Work>\\m.lms"}},
      {"q cancels", open, {"1", "q"}, {}},
      {"the end of input cancels", open, {"1", "2"}, {}},
      {"an empty Kova offers nothing", open, {"2", "1", "q"}, {}},
      {"a name takes the listed file", open, {"1", "n Z"}, {"<Work>\\z.lms"}},
      {"a name that is not listed is refused",
       open,
       {"1", "n nothere", "n m.LMS"},
       {"<Work>\\m.lms"}},
      {"no names without editing", Settings(26, false), {"1", "n z", "q"}, {}},
      {"Save-as takes a new name with the extension",
       saveAs,
       {"1", "2", "n new"},
       {"<Work>\\Sessions\\new.lms"}},
      {"Save-as over a file asks first",
       saveAs,
       {"1", "2", "1", "n", "2", "y"},
       {"<Work>\\Sessions\\b.lms"}},
      {"Save-as over a typed name asks first",
       saveAs,
       {"1", "2", "n A", "no", "n b.lms", "Y"},
       {"<Work>\\Sessions\\b.lms"}},
      {"Save-as takes one file only", saveAs, {"1", "2", "1 2", "q"}, {}},
      {"names with a folder part are refused",
       saveAs,
       {"1", "n x\\y", "n ..", "n <Work>", "n a/b", "q"},
       {}},
      {"Save-as starts at the preselection and Enter takes it",
       Settings(27, true, "<Work>\\Sessions\\c.lms"),
       {""},
       {"<Work>\\Sessions\\c.lms"}},
      {"the preselected name is offered without editing too",
       Settings(27, false, "<Work>\\Sessions\\a.lms"),
       {"", "y"},
       {"<Work>\\Sessions\\a.lms"}},
      {"an open dialog starts at the preselection",
       Settings(26, true, "<Work>\\Sessions\\a.lms"),
       {"", "2"},
       {"<Work>\\Sessions\\b.lms"}},
      {"Pendrel names get their extension", Settings(23), {"1", "n p"}, {"<Work>\\p.pn"}},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.settings.mode == 23) row.settings.fileTypeCode = 62;
    ListedCatalog catalog;
    TypedLines terminal(row.lines);
    EXPECT_EQ(RunBrowseScreen(row.settings, &catalog, &terminal), row.chosen)
        << terminal.shown();
    EXPECT_EQ(terminal.left(), 0u);
    for (LONG code : catalog.typeCodes) EXPECT_EQ(code, row.settings.fileTypeCode);
  }
}

TEST(BrowseScreenTest, FileOperationsReachTheCatalogOnlyWhenAllowed) {
  const std::vector<std::string> lines = {"1", "r 3 renamed", "r 3 z", "r 1 x", "d 4",
                                          "n", "d 4",         "y",     "q"};
  for (bool allowed : {true, false}) {
    SCOPED_TRACE(allowed);
    BrowseSettings settings = Settings(26);
    settings.fileOpsAllowed = allowed;
    ListedCatalog catalog;
    TypedLines terminal(lines);
    EXPECT_TRUE(RunBrowseScreen(settings, &catalog, &terminal).empty());
    if (!allowed) {
      EXPECT_TRUE(catalog.renamed.empty());
      EXPECT_TRUE(catalog.deleted.empty());
      EXPECT_EQ(terminal.shown().find("renames"), std::string::npos);
      continue;
    }
    // Renaming onto a listed file or renaming a folder never reaches the
    // catalog; a declined deletion neither.
    using Rename = std::pair<std::string, std::string>;
    EXPECT_EQ(catalog.renamed,
              (std::vector<Rename>{{"<Work>\\m.lms", "<Work>\\renamed.lms"}}));
    EXPECT_EQ(catalog.deleted, Paths{"<Work>\\z.lms"});
    EXPECT_NE(terminal.shown().find("z.lms could not be deleted."), std::string::npos);
  }
}

TEST(BrowseScreenTest, ShowsDisplayNamesPathsAndTheHelpTopic) {
  BrowseSettings settings = Settings(27);
  settings.helpTopic = 4711;
  settings.userFileDir = "\\srv\\userfiles\\";
  ListedCatalog catalog;
  TypedLines terminal({"?", "1", "q"});
  EXPECT_TRUE(RunBrowseScreen(settings, &catalog, &terminal).empty());
  const std::string& shown = terminal.shown();
  for (const char* text : {"== Save a Lumaset file as ==", "   1  Work Files (default)\n",
                           "   2  Archive Store\n", "Help topic 4711.",
                           "User files: \\srv\\userfiles\\", "Folder <shown <Work>\\>\n",
                           "   1  Old\\\n", "   2  Sessions\\\n", "   3  m.lms\n"}) {
    EXPECT_NE(shown.find(text), std::string::npos) << text << "\n" << shown;
  }
}

}  // namespace
