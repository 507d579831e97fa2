// A test registry with two file-system Kovas whose names share a prefix: Sales
// (the default) in the folder "sales" and Sales2 in "sales2" below the test's
// root, both folders existing.
#ifndef KOVA_MODEL_TWO_KOVAS_FIXTURE_H_
#define KOVA_MODEL_TWO_KOVAS_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/text.h"
#include "model/kova.h"
#include "model/test_support.h"
#include "tests/test_util.h"
#include "windows.h"

namespace kova::test {

class TwoKovasTest : public IsolatedTest {
 protected:
  void SetUp() override {
    ASSERT_WIN_OK(CreateDirectoryA(root().WinPath("sales").c_str(), nullptr));
    ASSERT_WIN_OK(CreateDirectoryA(root().WinPath("sales2").c_str(), nullptr));
    DefineKova(HKEY_CURRENT_USER, "Sales2", {{"Path1", root().WinPath("sales2")}});
    DefineKova(HKEY_CURRENT_USER, "Sales",
               {{"Path1", root().WinPath("sales")}, {"DefaultKova", DWORD{1}}});
    kovas_ = std::make_unique<CKovas>(kKovasKeyPath);
    ASSERT_GE(kovas_->GetCount(), 2);
    sales_ = kovas_->FindKova("<Sales>", FALSE);
    sales2_ = kovas_->FindKova("<Sales2>", FALSE);
    ASSERT_NE(sales_, nullptr);
    ASSERT_NE(sales2_, nullptr);
    ASSERT_EQ(sales2_->name(), "Sales2");
    ASSERT_EQ(kovas_->defaultKova(), sales_);
    salesDir_ = root().WinPath("sales") + "\\";
    sales2Dir_ = root().WinPath("sales2") + "\\";
  }

  static std::string Upper(std::string text) {
    for (char& c : text) c = AsciiToUpper(c);
    return text;
  }

  std::unique_ptr<CKovas> kovas_;
  CKova* sales_ = nullptr;
  CKova* sales2_ = nullptr;
  // The active path texts, with their trailing backslash.
  std::string salesDir_;
  std::string sales2Dir_;
};

}  // namespace kova::test

#endif  // KOVA_MODEL_TWO_KOVAS_FIXTURE_H_
