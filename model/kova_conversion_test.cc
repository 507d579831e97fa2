// Kova paths, resolved paths and the Kova a client path belongs to.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "model/kova.h"
#include "model/kova_item.h"
#include "model/two_kovas_fixture.h"
#include "tests/test_util.h"

namespace kova {
namespace {

using KovaConversionTest = test::TwoKovasTest;

TEST_F(KovaConversionTest, ResolvedPathSwapsRootForActivePath) {
  ASSERT_EQ(sales_->GetActivePath(), salesDir_);
  struct Row {
    const char* kovaPath;
    std::string resolved;
  } rows[] = {
      {"<Sales>\\Sessions\\a.file", salesDir_ + "Sessions\\a.file"},
      {"<SALES>\\A.File", salesDir_ + "A.File"},
      {"<Sales>\\", salesDir_},
      // Both occurrences of the root are replaced.
      {"<Sales>\\x\\<sales>\\y", salesDir_ + "x\\" + salesDir_ + "y"},
      // "<Sales>\" is not in a path of Sales2, nor of an unknown Kova.
      {"<Sales2>\\a.file", "<Sales2>\\a.file"},
      {"<Other>\\a.file", "<Other>\\a.file"},
      {"relative\\a.file", "relative\\a.file"},
      {"", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.kovaPath);
    EXPECT_EQ(sales_->ToResolvedPath(row.kovaPath), row.resolved);
    // A file-system Kova's local path is its resolved path, and releasing it
    // has nothing to do.
    EXPECT_EQ(sales_->ToLocalPath(row.resolved), row.resolved);
    EXPECT_TRUE(sales_->ReleaseLocalPath(row.kovaPath, row.resolved, TRUE));
  }
  EXPECT_EQ(sales2_->ToResolvedPath("<Sales2>\\a.file"), sales2Dir_ + "a.file");
  EXPECT_EQ(sales_->GetDisplayPath("b\\c.file", TRUE), salesDir_ + "b\\c.file");
  EXPECT_EQ(sales_->GetDisplayPath("b\\c.file", FALSE), "<Sales>\\b\\c.file");
}

TEST_F(KovaConversionTest, KovaPathSwapsActivePathForRoot) {
  struct Row {
    std::string resolved;
    std::string kovaPath;
  } rows[] = {
      {salesDir_ + "Sessions\\a.file", "<Sales>\\Sessions\\a.file"},
      // Letters outside the active path keep their case.
      {Upper(salesDir_) + "Sessions\\A.file", "<Sales>\\Sessions\\A.file"},
      {sales2Dir_ + "a.file", sales2Dir_ + "a.file"},
      {"<Other>\\a.file", "<Other>\\a.file"},
      {"\\elsewhere\\a.file", "\\elsewhere\\a.file"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.resolved);
    EXPECT_EQ(sales_->ToKovaPath(row.resolved), row.kovaPath);
  }
  const std::string kovaPath = "<Sales>\\deep\\er\\x.file";
  EXPECT_EQ(sales_->ToKovaPath(sales_->ToResolvedPath(kovaPath)), kovaPath);
}

TEST_F(KovaConversionTest, FindKovaByRootOrByActiveLocation) {
  struct Row {
    std::string path;
    BOOL resolved;
    CKova* want;
  } rows[] = {
      {"<Sales2>\\a.file", FALSE, sales2_},
      {"<sales>\\a.file", FALSE, sales_},
      {salesDir_ + "a.file", FALSE, nullptr},
      {salesDir_ + "a.file", TRUE, sales_},
      {Upper(salesDir_) + "A.FILE", TRUE, sales_},
      // "...\sales2\" does not start with "...\sales\".
      {sales2Dir_ + "a.file", TRUE, sales2_},
      {root().WinPath("salesx") + "\\a.file", TRUE, nullptr},
      {"<Sales>\\a.file", TRUE, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path + (row.resolved ? " resolved" : ""));
    EXPECT_EQ(kovas_->FindKova(row.path, row.resolved), row.want);
  }
}

TEST_F(KovaConversionTest, ResolveItemBindsPathToItsKova) {
  struct Row {
    std::string path;
    CKova* kova;
    std::string itemPath;
    std::string resolved;
  } rows[] = {
      {"<Sales2>\\a.file", sales2_, "<Sales2>\\a.file", sales2Dir_ + "a.file"},
      {"<SALES>\\b.file \t ", sales_, "<SALES>\\b.file", salesDir_ + "b.file"},
      // A file-system path in an active folder, in any letter case, becomes its
      // Kova path.
      {Upper(salesDir_) + "Sub\\C.file", sales_, "<Sales>\\Sub\\C.file",
       salesDir_ + "Sub\\C.file"},
      {sales2Dir_ + "d.file", sales2_, "<Sales2>\\d.file", sales2Dir_ + "d.file"},
      // Paths in no Kova go to the default Kova and keep their text.
      {"<Other>\\e.file", sales_, "<Other>\\e.file", "<Other>\\e.file"},
      {"f.file", sales_, "f.file", "f.file"},
      {"\\elsewhere\\g.file", sales_, "\\elsewhere\\g.file", "\\elsewhere\\g.file"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    CKovaItem item;
    kovas_->ResolveItem(row.path, &item);
    EXPECT_EQ(item.kova(), row.kova);
    EXPECT_EQ(item.GetPath(FALSE), row.itemPath);
    EXPECT_EQ(item.GetPath(TRUE), row.resolved);
  }
  kovas_->ResolveItem("<Sales>\\a", nullptr);  // no item: nothing to fill
}

class BuiltinKovaConversionTest : public test::IsolatedTest {};

TEST_F(BuiltinKovaConversionTest, MyKovaLeavesPathsAsTheyAre) {
  CKovas kovas(kKovasKeyPath);
  ASSERT_EQ(kovas.GetCount(), 1);
  CKova* builtin = kovas.defaultKova();
  ASSERT_EQ(builtin->name(), "");
  EXPECT_EQ(builtin->GetDisplayPath("a\\b.file", FALSE), "a\\b.file");
  for (const char* path : {"a\\b.file", "<>\\b.file", "\\abs\\c.file"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(builtin->ToResolvedPath(path), path);
    EXPECT_EQ(builtin->ToKovaPath(path), path);
    CKovaItem item;
    kovas.ResolveItem(path, &item);
    EXPECT_EQ(item.kova(), builtin);
    EXPECT_EQ(item.GetPath(TRUE), path);
  }
}

}  // namespace
}  // namespace kova
