#include "model/kova.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "model/test_support.h"
#include "tests/test_util.h"

namespace kova {
namespace {

using test::DefineKova;

class KovasTest : public test::IsolatedTest {
 protected:
  std::unique_ptr<CKovas> Load() { return std::make_unique<CKovas>(kKovasKeyPath); }

  static std::vector<std::string> Names(const CKovas& kovas) {
    std::vector<std::string> names;
    for (int i = 0; i < kovas.GetCount(); ++i) names.push_back(kovas.GetAt(i)->name());
    return names;
  }
};

TEST_F(KovasTest, UserHiveFirstThenSortedByOrderIndex) {
  DefineKova(HKEY_CURRENT_USER, "K1", {{"Path1", "\\a"}, {"OrderIndex", DWORD{5}}});
  DefineKova(HKEY_CURRENT_USER, "K2", {{"Path1", "\\b"}});
  DefineKova(HKEY_LOCAL_MACHINE, "K3", {{"Path1", "\\c"}, {"OrderIndex", DWORD{2}}});
  DefineKova(HKEY_LOCAL_MACHINE, "K4", {{"Path1", "\\d"}, {"OrderIndex", DWORD{5}}});
  auto kovas = Load();
  EXPECT_EQ(Names(*kovas), (std::vector<std::string>{"K3", "K1", "K4", "K2"}));
  EXPECT_EQ(kovas->GetAt(3)->orderIndex(), -1);
}

TEST_F(KovasTest, OrderIndexIsSignedAndOnlyADword) {
  DefineKova(HKEY_CURRENT_USER, "A", {{"Path1", "\\a"}, {"OrderIndex", DWORD{3}}});
  DefineKova(HKEY_CURRENT_USER, "B",
             {{"Path1", "\\b"}, {"OrderIndex", std::string("1")}});
  DefineKova(HKEY_CURRENT_USER, "C", {{"Path1", "\\c"}, {"OrderIndex", DWORD(-7)}});
  auto kovas = Load();
  EXPECT_EQ(Names(*kovas), (std::vector<std::string>{"C", "A", "B"}));
  EXPECT_EQ(kovas->GetAt(0)->orderIndex(), -7);
  EXPECT_EQ(kovas->GetAt(2)->orderIndex(), -1);
}

TEST_F(KovasTest, SameNameInBothHivesGivesTwoKovasUserFirst) {
  DefineKova(HKEY_LOCAL_MACHINE, "Work", {{"Path1", "\\machine"}});
  DefineKova(HKEY_CURRENT_USER, "Work", {{"Path1", "\\user"}});
  auto kovas = Load();
  ASSERT_EQ(kovas->GetCount(), 2);
  EXPECT_EQ(kovas->GetAt(0)->paths()->GetAt(0)->pathText(), "\\user");
  EXPECT_EQ(kovas->GetAt(1)->paths()->GetAt(0)->pathText(), "\\machine");
  EXPECT_EQ(kovas->FindKova("<work>\\a.file", FALSE), kovas->GetAt(0));
}

TEST_F(KovasTest, DefaultKovaIsExactlyOneAsDword) {
  DefineKova(HKEY_CURRENT_USER, "A", {{"Path1", "\\a"}, {"DefaultKova", DWORD{2}}});
  DefineKova(HKEY_CURRENT_USER, "B",
             {{"Path1", "\\b"}, {"DefaultKova", std::string("1")}});
  DefineKova(HKEY_CURRENT_USER, "C", {{"Path1", "\\c"}, {"OrderIndex", DWORD{9}}});
  auto kovas = Load();
  // C sorts first; no Kova is marked default, so the first one is.
  EXPECT_EQ(Names(*kovas), (std::vector<std::string>{"C", "A", "B"}));
  for (int i = 0; i < kovas->GetCount(); ++i) EXPECT_FALSE(kovas->GetAt(i)->isDefault());
  EXPECT_EQ(kovas->defaultKova(), kovas->GetAt(0));
}

TEST_F(KovasTest, EarliestMarkedDefaultWinsAcrossHives) {
  DefineKova(HKEY_LOCAL_MACHINE, "M", {{"Path1", "\\m"}, {"DefaultKova", DWORD{1}}});
  DefineKova(HKEY_CURRENT_USER, "U", {{"Path1", "\\u"}, {"DefaultKova", DWORD{1}}});
  DefineKova(HKEY_CURRENT_USER, "V", {{"Path1", "\\v"}});
  auto kovas = Load();
  ASSERT_EQ(kovas->GetCount(), 3);
  EXPECT_EQ(kovas->defaultKova()->name(), "U");
  EXPECT_EQ(kovas->GetDefaultKova(0)->name(), "U");

  DefineKova(HKEY_LOCAL_MACHINE, "M", {{"OrderIndex", DWORD{0}}});
  EXPECT_EQ(Load()->defaultKova()->name(), "M");
}

TEST_F(KovasTest, DefinitionsWithoutFirstPathAreDiscarded) {
  DefineKova(HKEY_CURRENT_USER, "NoFirst", {{"Path2", "\\b"}, {"DisplayName.eng", "x"}});
  DefineKova(HKEY_CURRENT_USER, "A_Gap", {{"Path1", "\\a"}, {"Path3", "\\c"}});
  DefineKova(HKEY_CURRENT_USER, "Long", {{"Path1", std::string(261, 'x')}});
  DefineKova(HKEY_CURRENT_USER, "B_Fits",
             {{"Path1", std::string(260, 'y')}, {"Icon", "icons.dll,3"}});
  auto kovas = Load();
  EXPECT_EQ(Names(*kovas), (std::vector<std::string>{"A_Gap", "B_Fits"}));
  EXPECT_EQ(kovas->GetAt(0)->paths()->GetCount(), 1);
  EXPECT_EQ(kovas->GetAt(1)->paths()->GetAt(0)->pathText().size(), 260u);
  EXPECT_EQ(kovas->GetAt(1)->iconSource(), "icons.dll,3");
  EXPECT_EQ(kovas->GetAt(0)->iconSource(), "");
}

TEST_F(KovasTest, ContainsMaskFiltersTheDefault) {
  DefineKova(HKEY_CURRENT_USER, "A",
             {{"Path1", "\\a"}, {"DefaultKova", DWORD{1}}, {"Contains", DWORD{0x6}}});
  DefineKova(HKEY_CURRENT_USER, "B", {{"Path1", "\\b"}, {"Contains", std::string("4")}});
  DefineKova(HKEY_CURRENT_USER, "C", {{"Path1", "\\c"}, {"Contains", DWORD{0x1}}});
  auto kovas = Load();
  EXPECT_EQ(kovas->GetAt(1)->contains(), 0u);
  EXPECT_EQ(kovas->GetDefaultKova(0x1)->name(), "A");
  EXPECT_EQ(kovas->GetDefaultKova(0x2)->name(), "B");
  EXPECT_EQ(Names(*kovas->GetFilteredView(0x4)), (std::vector<std::string>{"B", "C"}));
  // Filtered views do not own: the collection still holds all three.
  EXPECT_FALSE(kovas->GetFilteredView(0x4)->ownsElements());
  EXPECT_EQ(kovas->GetFilteredView(0x7)->GetCount(), 1);
  DefineKova(HKEY_CURRENT_USER, "B", {{"Contains", DWORD{0x8}}});
  auto other = Load();
  EXPECT_EQ(other->GetDefaultKova(0xF), nullptr);
  EXPECT_EQ(kovas->GetCount(), 3);
}

TEST_F(KovasTest, DisplayNameFollowsTheLanguageFallbacks) {
  // Method 1 with default language deu, which the installation offers.
  test::SetLocaleValue(HKEY_CURRENT_USER, "Language Search Method", "1");
  test::SetLocaleValue(HKEY_CURRENT_USER, "Default UI Language", "deu");
  test::SetLocaleValue(HKEY_LOCAL_MACHINE, "Available UI Languages", "eng deu");
  DefineKova(
      HKEY_CURRENT_USER, "A1",
      {{"Path1", "\\a"}, {"DisplayName.eng", "English"}, {"DisplayName.deu", "Deutsch"}});
  DefineKova(HKEY_CURRENT_USER, "A2",
             {{"Path1", "\\a"}, {"DisplayName.eng", "Only English"}});
  DefineKova(HKEY_CURRENT_USER, "A3",
             {{"Path1", "\\a"},
              {"DisplayName.prt", "Portugues"},
              {"DisplayName.ita", "Italiano"}});
  DefineKova(HKEY_CURRENT_USER, "A4",
             {{"Path1", "\\a"}, {"DisplayName.jpn", "Nihongo"}, {"DisplayName", "bare"}});
  auto kovas = Load();
  ASSERT_EQ(kovas->GetCount(), 4);
  EXPECT_EQ(kovas->GetAt(0)->displayName(), "Deutsch");
  EXPECT_EQ(kovas->GetAt(1)->displayName(), "Only English");
  EXPECT_EQ(kovas->GetAt(2)->displayName(), "Italiano");
  EXPECT_EQ(kovas->GetAt(3)->displayName(), "A4");
}

TEST_F(KovasTest, NothingDefinedGivesMyKova) {
  auto kovas = Load();
  ASSERT_EQ(kovas->GetCount(), 1);
  CKova* builtin = kovas->GetAt(0);
  EXPECT_EQ(builtin->name(), "");
  EXPECT_EQ(builtin->displayName(), "My Kova");
  EXPECT_EQ(kovas->defaultKova(), builtin);
  ASSERT_EQ(builtin->paths()->GetCount(), 1);
  EXPECT_EQ(builtin->paths()->GetAt(0)->type(), kKovaPathFileSystem);
  EXPECT_EQ(builtin->paths()->GetAt(0)->pathText(), "");
  EXPECT_EQ(builtin->GetActivePath(), "");
  // Its root is empty, so no path is ever found in it.
  EXPECT_EQ(builtin->GetDisplayPath("", FALSE), "");
  EXPECT_EQ(kovas->FindKova("<>\\a.file", FALSE), nullptr);
  EXPECT_EQ(kovas->FindKova("a.file", FALSE), nullptr);
}

TEST_F(KovasTest, FindKovaMatchesTheWholeRootIgnoringCase) {
  DefineKova(HKEY_CURRENT_USER, "Sales", {{"Path1", "\\s"}});
  DefineKova(HKEY_CURRENT_USER, "Sales2", {{"Path1", "\\s2"}});
  auto kovas = Load();
  CKova* sales = kovas->GetAt(0);
  CKova* sales2 = kovas->GetAt(1);
  struct Row {
    const char* path;
    CKova* want;
  } rows[] = {
      {"<Sales2>\\a.file", sales2},
      {"<SALES>\\x\\a.file", sales},
      {"<sales>", sales},
      {"<Sales2>", sales2},
      {"<Sales", nullptr},
      {"Sales\\a", nullptr},
      {"", nullptr},
      {"<Other>\\a", nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(kovas->FindKova(row.path, FALSE), row.want);
  }
  EXPECT_EQ(sales->GetDisplayPath("Sessions\\a.file", FALSE),
            "<Sales>\\Sessions\\a.file");
}

TEST_F(KovasTest, CollectionsShareOneReplacerBlock) {
  auto first = Load();
  CReplacers* replacers = first->GetReplacers();
  ASSERT_NE(replacers, nullptr);
  EXPECT_EQ(first->GetReplacers(), replacers);
  // Seeded on the first attachment of the process.
  EXPECT_EQ(replacers->GetSlot(ReplacerSlot::kOrganization), "Corvanta");
  EXPECT_EQ(replacers->GetUserDir(), "");

  replacers->SetUserDir("\\srv\\user\\");
  replacers->SetOrganization("");
  auto second = Load();
  CReplacers* shared = second->GetReplacers();
  ASSERT_NE(shared, replacers);
  EXPECT_EQ(shared->GetUserDir(), "\\srv\\user\\");
  // USERDIR was already set: the block is not seeded again.
  EXPECT_EQ(shared->GetSlot(ReplacerSlot::kOrganization), "");
  shared->SetUserDir("\\other\\");
  EXPECT_EQ(replacers->GetUserDir(), "\\other\\");

  // Once every attachment is gone the next one starts from zeros and seeds again.
  first.reset();
  second.reset();
  auto third = Load();
  EXPECT_EQ(third->GetReplacers()->GetUserDir(), "");
  EXPECT_EQ(third->GetReplacers()->GetSlot(ReplacerSlot::kOrganization), "Corvanta");
}

TEST_F(KovasTest, CollectionOperations) {
  DefineKova(HKEY_CURRENT_USER, "A", {{"Path1", "\\a"}, {"Path2", "\\a2"}});
  DefineKova(HKEY_CURRENT_USER, "B", {{"Path1", "\\b"}});
  auto kovas = Load();
  CKovas view(nullptr);
  EXPECT_FALSE(view.ownsElements());
  EXPECT_TRUE(view.AppendClones(*kovas));
  ASSERT_EQ(view.GetCount(), 2);
  EXPECT_NE(view.GetAt(0), kovas->GetAt(0));
  EXPECT_EQ(view.GetAt(0)->name(), "A");
  ASSERT_EQ(view.GetAt(0)->paths()->GetCount(), 2);
  EXPECT_EQ(view.GetAt(0)->paths()->GetAt(1)->pathText(), "\\a2");
  // A clone's paths belong to the clone.
  EXPECT_EQ(view.GetAt(0)->paths()->GetAt(0)->owner(), view.GetAt(0)->paths());
  view.RemoveAll(TRUE);  // the clones are the view's to delete
  EXPECT_EQ(view.GetCount(), 0);

  // Duplicates are allowed; Remove takes the first and shifts the rest down.
  CKova* original = kovas->GetAt(0);
  CKova* second = kovas->GetAt(1);
  EXPECT_TRUE(view.Add(original, FALSE));
  EXPECT_TRUE(view.Add(second, FALSE));
  EXPECT_TRUE(view.Add(original, FALSE));
  EXPECT_TRUE(view.Remove(original));
  ASSERT_EQ(view.GetCount(), 2);
  EXPECT_EQ(view.GetAt(0), second);
  EXPECT_EQ(view.GetAt(1), original);
  EXPECT_FALSE(view.Remove(nullptr));
  // The view did not delete what it removed.
  EXPECT_EQ(original->name(), "A");

  EXPECT_TRUE(kovas->Remove(second));
  EXPECT_EQ(Names(*kovas), (std::vector<std::string>{"A"}));
  view.RemoveAll(FALSE);
}

}  // namespace
}  // namespace kova
