#include "model/kova_item.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/kova.h"
#include "model/test_support.h"
#include "tests/test_util.h"

namespace kova {
namespace {

using test::DefineKova;

// (Kova path, kind) of one item.
using Entry = std::pair<std::string, DWORD>;
using Entries = std::vector<Entry>;

class KovaItemTest : public test::IsolatedTest {
 protected:
  void SetUp() override {
    MakeFolder("kova");
    DefineKova(HKEY_CURRENT_USER, "Work", {{"Path1", root().WinPath("kova")}});
    kovas_ = std::make_unique<CKovas>(kKovasKeyPath);
    ASSERT_EQ(kovas_->GetCount(), 1);
    work_ = kovas_->GetAt(0);
    ASSERT_EQ(work_->name(), "Work");
  }

  // `relative` is below the Kova's folder and uses '/'.
  void MakeFolder(const std::string& relative) {
    ASSERT_TRUE(CreateDirectoryA(root().WinPath(relative).c_str(), nullptr)) << relative;
  }
  void MakeFile(const std::string& relative) {
    test::WriteFileBytes(root().OsPath("kova/" + relative), "[s]\r\n");
  }
  void MakeFiles(std::initializer_list<const char*> names) {
    for (const char* name : names) MakeFile(name);
  }

  // Enumerates `folder` (a path bound to the Work Kova) with `filter` into a new
  // list; returns the count Enumerate gave and the items, sorted.
  std::pair<int, Entries> List(const std::string& folder, const std::string& filter) {
    CKovaItem item;
    item.Set(folder, work_);
    return ListItem(item, filter);
  }
  std::pair<int, Entries> ListItem(const CKovaItem& item, const std::string& filter) {
    CKovaItems items;
    const int count = items.Enumerate(&item, filter);
    Entries entries = Of(items);
    std::sort(entries.begin(), entries.end());
    return {count, entries};
  }
  static Entries Of(const CKovaItems& items) {
    Entries entries;
    for (int i = 0; i < items.GetCount(); ++i)
      entries.emplace_back(items.GetAt(i)->GetPath(FALSE), items.GetAt(i)->kind());
    return entries;
  }

  std::unique_ptr<CKovas> kovas_;
  CKova* work_ = nullptr;
};

TEST_F(KovaItemTest, SetAndGetPathConvertThroughTheKova) {
  CKovaItem item;
  item.Set(root().WinPath("kova/Sessions/a.lms"), work_);
  EXPECT_EQ(item.GetPath(FALSE), "<Work>\\Sessions\\a.lms");
  EXPECT_EQ(item.GetPath(TRUE), root().WinPath("kova/Sessions/a.lms"));
  EXPECT_EQ(item.kova(), work_);
  EXPECT_EQ(item.GetTypeCode(), 64);

  // Without a Kova the path stays as given, resolved or not, and has no type.
  item.Set("<Work>\\b.pn", nullptr);
  EXPECT_EQ(item.GetPath(FALSE), "<Work>\\b.pn");
  EXPECT_EQ(item.GetPath(TRUE), "<Work>\\b.pn");
  EXPECT_EQ(item.GetTypeCode(), 0);
  item.Set("<Work>\\b.pn", work_);
  EXPECT_EQ(item.GetTypeCode(), 62);
}

TEST_F(KovaItemTest, GetNameOfFilesAndFolders) {
  const struct {
    const char* path;
    DWORD kind;
    const char* whole;
    const char* bare;
  } rows[] = {
      {"<Work>\\Sessions\\a.b.lms", 0, "a.b.lms", "a.b"},
      {"<Work>\\Sessions\\noext", 0, "noext", "noext"},
      {"<Work>\\v1.2\\noext", 0, "noext", "noext"},
      {"plain.pn", 0, "plain.pn", "plain"},
      {"<Work>\\Sessions\\dir.lms", kKovaItemFolder, "dir.lms", "dir.lms"},
      {"<Work>\\Sessions\\", 0, "", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    CKovaItem item;
    item.Set(row.path, work_);
    item.SetKind(row.kind);
    EXPECT_EQ(item.GetName(TRUE), row.whole);
    EXPECT_EQ(item.GetName(FALSE), row.bare);
  }
}

TEST_F(KovaItemTest, CloneAndAppendClonesAreIndependent) {
  CKovaItem original;
  original.Set("<Work>\\a.lms", work_);
  original.SetKind(kKovaItemFolder);
  std::unique_ptr<CKovaItem> clone(original.Clone());
  ASSERT_NE(clone, nullptr);
  original.Set("<Work>\\changed.pn", nullptr);
  original.SetKind(0);
  EXPECT_EQ(clone->GetPath(FALSE), "<Work>\\a.lms");
  EXPECT_EQ(clone->kova(), work_);
  EXPECT_EQ(clone->kind(), kKovaItemFolder);

  CKovaItem copy;
  copy.CopyFrom(*clone);
  EXPECT_EQ(copy.GetPath(FALSE), "<Work>\\a.lms");
  EXPECT_EQ(copy.kind(), kKovaItemFolder);

  auto source = std::make_unique<CKovaItems>();
  ASSERT_TRUE(source->Add(clone.get(), TRUE));  // a clone: `clone` stays ours
  ASSERT_TRUE(source->Add(new CKovaItem, FALSE));
  EXPECT_FALSE(source->Add(nullptr, FALSE));
  EXPECT_FALSE(source->Add(nullptr, TRUE));
  ASSERT_EQ(source->GetCount(), 2);
  EXPECT_NE(source->GetAt(0), clone.get());

  CKovaItems target;
  ASSERT_TRUE(target.AppendClones(*source));
  ASSERT_EQ(target.GetCount(), 2);
  EXPECT_NE(target.GetAt(0), source->GetAt(0));
  source->GetAt(0)->Set("<Work>\\other", work_);
  source.reset();
  EXPECT_EQ(target.GetAt(0)->GetPath(FALSE), "<Work>\\a.lms");
  EXPECT_EQ(target.GetAt(0)->kind(), kKovaItemFolder);

  // Appending a list to itself copies each item once.
  ASSERT_TRUE(target.AppendClones(target));
  EXPECT_EQ(Of(target), (Entries{{"<Work>\\a.lms", kKovaItemFolder},
                                 {"", 0},
                                 {"<Work>\\a.lms", kKovaItemFolder},
                                 {"", 0}}));
}

TEST_F(KovaItemTest, RemoveByPathIgnoresCaseAndTakesTheFirst) {
  CKovaItems items;
  ASSERT_TRUE(items.AddPath("<Work>\\A.lms", kovas_.get()));
  ASSERT_TRUE(items.AddPath("<Work>\\b.lms", kovas_.get()));
  ASSERT_TRUE(items.AddPath("<work>\\a.LMS", kovas_.get()));
  CKovaItem* third = items.GetAt(2);

  EXPECT_TRUE(items.RemoveByPath("<WORK>\\a.lms"));
  ASSERT_EQ(items.GetCount(), 2);
  EXPECT_EQ(items.GetAt(0)->GetPath(FALSE), "<Work>\\b.lms");
  EXPECT_EQ(items.GetAt(1), third);
  EXPECT_FALSE(items.RemoveByPath("<Work>\\c.lms"));
  EXPECT_FALSE(items.RemoveByPath("<Work>\\b.lm"));
  EXPECT_EQ(items.GetCount(), 2);

  CKovaItem stranger;
  EXPECT_FALSE(items.Remove(&stranger));
  EXPECT_TRUE(items.Remove(third));
  EXPECT_EQ(Of(items), (Entries{{"<Work>\\b.lms", 0}}));
  items.RemoveAll(TRUE);
  EXPECT_EQ(items.GetCount(), 0);
}

TEST_F(KovaItemTest, AddPathResolvesWithTheGivenOrAnOwnCollection) {
  CKovaItems items;
  ASSERT_TRUE(items.AddPath(root().WinPath("kova/Sessions/a.lms") + "  ", kovas_.get()));
  EXPECT_EQ(items.GetAt(0)->GetPath(FALSE), "<Work>\\Sessions\\a.lms");
  EXPECT_EQ(items.GetAt(0)->kova(), work_);

  // Without a collection the list loads its own from the registry.
  ASSERT_TRUE(items.AddPath("<work>\\b.pn", nullptr));
  ASSERT_TRUE(items.AddPath("<Work>\\c.pn", nullptr));
  CKova* own = items.GetAt(1)->kova();
  ASSERT_NE(own, nullptr);
  EXPECT_NE(own, work_);
  EXPECT_EQ(own->name(), "Work");
  EXPECT_EQ(items.GetAt(2)->kova(), own);
  EXPECT_EQ(items.GetAt(1)->GetPath(TRUE), root().WinPath("kova") + "\\b.pn");
}

class KovaEnumerateTest : public KovaItemTest {
 protected:
  void SetUp() override {
    KovaItemTest::SetUp();
    MakeFolder("kova/Sessions");
    MakeFolder("kova/Sessions/sub");
    MakeFolder("kova/Sessions/dir.txt");
    MakeFiles({"Sessions/a.lms", "Sessions/B.LMS", "Sessions/c.Lms", "Sessions/d.l",
               "Sessions/e.pn", "Sessions/lm", "Sessions/x.lmsx", "Sessions/lms.txt",
               "Sessions/noext", "Sessions/sub/f.pn", "Sessions/sub/g.lms", "top.lms",
               "top.pn"});
  }
};

TEST_F(KovaEnumerateTest, DotStarListsEveryFileAndFolder) {
  EXPECT_EQ(List("<Work>\\Sessions", ".*"),
            (std::pair<int, Entries>{11,
                                     {{"<Work>\\Sessions\\B.LMS", 0},
                                      {"<Work>\\Sessions\\a.lms", 0},
                                      {"<Work>\\Sessions\\c.Lms", 0},
                                      {"<Work>\\Sessions\\d.l", 0},
                                      {"<Work>\\Sessions\\dir.txt", kKovaItemFolder},
                                      {"<Work>\\Sessions\\e.pn", 0},
                                      {"<Work>\\Sessions\\lm", 0},
                                      {"<Work>\\Sessions\\lms.txt", 0},
                                      {"<Work>\\Sessions\\noext", 0},
                                      {"<Work>\\Sessions\\sub", kKovaItemFolder},
                                      {"<Work>\\Sessions\\x.lmsx", 0}}}));
}

TEST_F(KovaEnumerateTest, ExtensionFilterMatchesAnyCaseAndSubstrings) {
  const Entries lms = {{"<Work>\\Sessions\\B.LMS", 0},
                       {"<Work>\\Sessions\\a.lms", 0},
                       {"<Work>\\Sessions\\c.Lms", 0},
                       {"<Work>\\Sessions\\d.l", 0},
                       {"<Work>\\Sessions\\dir.txt", kKovaItemFolder},
                       {"<Work>\\Sessions\\lm", 0},
                       {"<Work>\\Sessions\\sub", kKovaItemFolder}};
  const struct {
    const char* folder;
    const char* filter;
    Entries expected;
  } rows[] = {
      {"<Work>\\Sessions", ".lms", lms},
      {"<Work>\\Sessions", ".LMS", lms},
      {"<WORK>\\Sessions", ".lms", lms},  // the root matches in any case
      {"<Work>\\Sessions\\", ".lms", lms},
      {"<Work>\\Sessions",
       ".pn",
       {{"<Work>\\Sessions\\dir.txt", kKovaItemFolder},
        {"<Work>\\Sessions\\e.pn", 0},
        {"<Work>\\Sessions\\sub", kKovaItemFolder}}},
      // Several extensions in one filter.
      {"<Work>\\Sessions",
       ".pn;.txt",
       {{"<Work>\\Sessions\\dir.txt", kKovaItemFolder},
        {"<Work>\\Sessions\\e.pn", 0},
        {"<Work>\\Sessions\\lms.txt", 0},
        {"<Work>\\Sessions\\sub", kKovaItemFolder}}},
      // "*.*" is not ".*": only names whose extension occurs in it pass.
      {"<Work>\\Sessions",
       "*.*",
       {{"<Work>\\Sessions\\dir.txt", kKovaItemFolder},
        {"<Work>\\Sessions\\sub", kKovaItemFolder}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.folder) + " " + row.filter);
    auto [count, entries] = List(row.folder, row.filter);
    EXPECT_EQ(entries, row.expected);
    EXPECT_EQ(count, static_cast<int>(row.expected.size()));
  }
}

TEST_F(KovaEnumerateTest, PatternInThePathFiltersItsParent) {
  const struct {
    const char* path;
    Entries expected;
  } rows[] = {
      {"<Work>\\Sessions\\*.lms",
       {{"<Work>\\Sessions\\B.LMS", 0},
        {"<Work>\\Sessions\\a.lms", 0},
        {"<Work>\\Sessions\\c.Lms", 0},
        {"<Work>\\Sessions\\d.l", 0},
        {"<Work>\\Sessions\\dir.txt", kKovaItemFolder},
        {"<Work>\\Sessions\\lm", 0},
        {"<Work>\\Sessions\\sub", kKovaItemFolder}}},
      {"<Work>\\Sessions\\sub\\*.PN", {{"<Work>\\Sessions\\sub\\f.pn", 0}}},
      // The Kova's root, which cutting the pattern leaves without its backslash.
      {"<Work>\\*.lms", {{"<Work>\\Sessions", kKovaItemFolder}, {"<Work>\\top.lms", 0}}},
      {"<work>\\*.pn", {{"<Work>\\Sessions", kKovaItemFolder}, {"<Work>\\top.pn", 0}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    auto [count, entries] = List(row.path, "");
    EXPECT_EQ(entries, row.expected);
    EXPECT_EQ(count, static_cast<int>(row.expected.size()));
  }
}

TEST_F(KovaEnumerateTest, ItemsAreKovaPathsOfExistingEntriesInDeliveryOrder) {
  CKovaItem folder;
  folder.Set(root().WinPath("kova/Sessions"), work_);
  ASSERT_EQ(folder.GetPath(FALSE), "<Work>\\Sessions");
  CKovaItems items;
  ASSERT_EQ(items.Enumerate(&folder, ".*"), 11);

  std::vector<std::string> delivered;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((root().WinPath("kova/Sessions") + "\\*").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") delivered.push_back(name);
  } while (FindNextFileA(find, &data));
  FindClose(find);

  ASSERT_EQ(delivered.size(), 11u);
  for (int i = 0; i < items.GetCount(); ++i) {
    const CKovaItem* item = items.GetAt(i);
    SCOPED_TRACE(item->GetPath(FALSE));
    EXPECT_EQ(item->GetPath(FALSE), "<Work>\\Sessions\\" + delivered[i]);
    EXPECT_EQ(item->GetName(TRUE), delivered[i]);
    EXPECT_EQ(item->kova(), work_);
    const DWORD attributes = GetFileAttributesA(item->GetPath(TRUE).c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(item->kind() == kKovaItemFolder,
              (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
  }
}

TEST_F(KovaEnumerateTest, AppendsToWhatTheListHolds) {
  CKovaItems items;
  ASSERT_TRUE(items.AddPath("<Work>\\top.lms", kovas_.get()));
  CKovaItem folder;
  folder.Set("<Work>\\Sessions\\sub", work_);
  EXPECT_EQ(items.Enumerate(&folder, ".lms"), 1);
  EXPECT_EQ(Of(items),
            (Entries{{"<Work>\\top.lms", 0}, {"<Work>\\Sessions\\sub\\g.lms", 0}}));
}

TEST_F(KovaEnumerateTest, NothingToListGivesZero) {
  MakeFolder("kova/empty");
  CKovaItems items;
  EXPECT_EQ(items.Enumerate(nullptr, ".*"), 0);

  CKovaItem item;
  const struct {
    const char* path;
    const char* filter;
  } rows[] = {
      {"<Work>\\empty", ".*"},
      {"<Work>\\empty\\*.lms", ""},
      {"<Work>\\missing", ".*"},
      {"<Work>\\missing\\*.lms", ""},
      {"<Work>\\Sessions\\a.lms", ".*"},  // a file, not a folder
      {"", ".*"},
      {"\\*.lms", ""},  // nothing left of the folder after the cut
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.path) + " " + row.filter);
    item.Set(row.path, work_);
    EXPECT_EQ(items.Enumerate(&item, row.filter), 0);
    EXPECT_EQ(items.GetCount(), 0);
  }

  // A folder outside every Kova has nothing to be resolved against.
  item.Set(root().WinPath("kova/Sessions"), nullptr);
  EXPECT_EQ(items.Enumerate(&item, ".*"), 0);
  EXPECT_EQ(items.GetCount(), 0);
}

TEST_F(KovaEnumerateTest, LDAPKovaIsNeverListedAsAFolder) {
  // The LDAP path text names the populated folder, so listing it as a folder
  // would show. Without a back end, or with one whose server (a closed loopback
  // port) cannot be reached, nothing is listed.
  DefineKova(HKEY_CURRENT_USER, "Dir",
             {{"Path1", root().WinPath("kova")},
              {"Type1", DWORD{1}},
              {"Host1", "127.0.0.1"},
              {"Port1", DWORD{1}}});
  CKovas kovas(kKovasKeyPath);
  CKova* dir = kovas.FindKova("<Dir>\\Sessions", FALSE);
  ASSERT_NE(dir, nullptr);
  ASSERT_TRUE(dir->IsActivePathLDAP());
  CKovaItem item;
  item.Set("<Dir>\\Sessions", dir);
  CKovaItems items;
  EXPECT_EQ(items.Enumerate(&item, ".*"), 0);
  EXPECT_EQ(items.GetCount(), 0);
}

}  // namespace
}  // namespace kova
