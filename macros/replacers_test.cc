#include "macros/replacers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "macros/test_support.h"
#include "tests/test_util.h"

namespace kova {
namespace {

constexpr char kBrevox12[] = "Software\\Corvanta\\Vintrel\\12.00\\Brevox";
constexpr char kEnvironmentKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

std::string Expanded(CReplacers& replacers, std::string text) {
  replacers.Expand(text);
  return text;
}

class ReplacersTest : public test::IsolatedTest {
 protected:
  test::SlotReplacers r_;
};

struct Row {
  const char* input;
  const char* expected;
};

void ExpectRows(CReplacers& replacers, const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input);
    EXPECT_EQ(Expanded(replacers, row.input), row.expected);
  }
}

TEST_F(ReplacersTest, SlotValuesWithAndWithoutTrailingBackslash) {
  r_.SetSlot(ReplacerSlot::kAppDir, "C:\\Suite\\");
  r_.SetSlot(ReplacerSlot::kOrganization, "Org\\");
  r_.SetSlot(ReplacerSlot::kUserDir, "C:\\Users\\x\\");
  r_.SetSlot(ReplacerSlot::kProfileDir, "D:\\Profiles\\");
  r_.SetSlot(ReplacerSlot::kLanguageCode, "eng");
  r_.SetSlot(ReplacerSlot::kFtpUserName, "bob");
  ExpectRows(r_, {
                     {"$USERDIR$\\sub", "C:\\Users\\x\\sub"},
                     {"$USERDIR_PARENT$|$USERDIRPARENT$", "C:\\Users|C:\\Users"},
                     {"$APPDIR$\\bin", "C:\\Suite\\bin"},
                     {"$APPDIRX86$\\bin", "C:\\Suite\\bin"},
                     {"$BREVOXHOMEDIR$", "C:\\Suite\\Brevox"},
                     {"$PROFILEDIR$", "D:\\Profiles"},
                     {"$ORGANIZATION$", "Org\\"},
                     {"a$LANGUAGE_EXTENSION$", "a.eng"},
                     {"a$DOT_LANGUAGECODE_DOT$b", "a.eng.b"},
                     {"$LANGUAGE_CODE$", "eng"},
                     {"$FTPUSERNAME$@host", "bob@host"},
                     {"x$X86SUBDIR$y", "xy"},
                 });
}

TEST_F(ReplacersTest, EmptyRecordGivesEmptyValuesExceptTheDocumentedOnes) {
  ExpectRows(r_,
             {
                 {"$USERDIR$\\sub", "\\sub"},
                 {"[$LANGUAGE_EXTENSION$$DOT_LANGUAGECODE_DOT$$LANGUAGE_CODE$]", "[]"},
                 {"[$APPDIR$$APPDIRX86$$ORGANIZATION$$PROFILEDIR$]", "[]"},
                 {"[$USERDIR_PARENT$$USERDIRPARENT$]", "[]"},
                 {"$BREVOXHOMEDIR$", "Brevox"},
                 {"$FTPUSERNAME$", "$FTPUSERNAME$"},
             });
}

TEST_F(ReplacersTest, MatchingIsExactAndPlain) {
  r_.SetSlot(ReplacerSlot::kUserDir, "U");
  ExpectRows(r_, {
                     {"$userdir$", "$userdir$"},
                     {"$USERDIR$;$USERDIR$", "U;U"},
                     {"$NOTAREPLACER$\\$", "$NOTAREPLACER$\\$"},
                     {"a$b", "a$b"},
                     {"$$USERDIR$$", "$U$"},
                     {"", ""},
                 });
}

TEST_F(ReplacersTest, InsertedValueIsNotRescannedByItsOwnRule) {
  r_.SetSlot(ReplacerSlot::kUserDir, "<$USERDIR$>");
  EXPECT_EQ(Expanded(r_, "$USERDIR$|$USERDIR$"), "<$USERDIR$>|<$USERDIR$>");
}

TEST_F(ReplacersTest, InsertedValueIsSeenByLaterRulesOnly) {
  // $PROFILEDIR$ comes after $USERDIR$, $LANGUAGE_CODE$ before it.
  r_.SetSlot(ReplacerSlot::kUserDir, "$PROFILEDIR$\\$LANGUAGE_CODE$");
  r_.SetSlot(ReplacerSlot::kProfileDir, "P");
  r_.SetSlot(ReplacerSlot::kLanguageCode, "eng");
  EXPECT_EQ(Expanded(r_, "$USERDIR$"), "P\\$LANGUAGE_CODE$");
}

TEST_F(ReplacersTest, SlotWritesClearTheSlotAndCutAt519) {
  CReplacers replacers(false, nullptr);
  replacers.SetUserDir(std::string(600, 'x').c_str());
  EXPECT_EQ(replacers.GetUserDir(), std::string(519, 'x'));
  EXPECT_EQ(replacers.GetSlot(ReplacerSlot::kProfileDir), "");
  replacers.SetUserDir("short");
  EXPECT_EQ(replacers.GetUserDir(), "short");
  replacers.SetUserDir(nullptr);
  EXPECT_EQ(replacers.GetUserDir(), "");
  replacers.SetOrganization("Corvanta");
  EXPECT_EQ(replacers.GetSlot(ReplacerSlot::kOrganization), "Corvanta");
  EXPECT_EQ(replacers.GetSlot(ReplacerSlot::kReserved), "");
}

TEST_F(ReplacersTest, EnvironmentIsExpandedOnTheInputOnly) {
  test::ScopedEnv dir("KOVA_MACROS_DIR", "C:\\Env");
  r_.SetSlot(ReplacerSlot::kUserDir, "%KOVA_MACROS_DIR%");
  char user[261] = {};
  DWORD size = sizeof(user);
  ASSERT_WIN_OK(GetUserNameA(user, &size));
  ExpectRows(r_, {
                     {"%KOVA_MACROS_DIR%\\$USERNAME$",
                      (std::string("C:\\Env\\") + user).c_str()},
                     {"$USERDIR$", "%KOVA_MACROS_DIR%"},
                     {"%KOVA_MACROS_UNDEFINED%\\a", "%KOVA_MACROS_UNDEFINED%\\a"},
                 });
}

TEST_F(ReplacersTest, EnvironmentExpansionThatDoesNotFitLeavesTheText) {
  test::ScopedEnv big("KOVA_MACROS_BIG", std::string(600, 'b'));
  test::ScopedEnv fits("KOVA_MACROS_FITS", std::string(500, 'f'));
  r_.SetSlot(ReplacerSlot::kUserDir, "U");
  EXPECT_EQ(Expanded(r_, "%KOVA_MACROS_BIG%\\$USERDIR$"), "%KOVA_MACROS_BIG%\\U");
  // 500 + 19 characters and the NUL fill the 520-character buffer exactly.
  EXPECT_EQ(Expanded(r_, "%KOVA_MACROS_FITS%1234567890123456789"),
            std::string(500, 'f') + "1234567890123456789");
  EXPECT_EQ(Expanded(r_, "%KOVA_MACROS_FITS%12345678901234567890"),
            "%KOVA_MACROS_FITS%12345678901234567890");
}

TEST_F(ReplacersTest, FatOrThinHomeDirPrefersTheRegisteredHomeDirectory) {
  r_.SetSlot(ReplacerSlot::kAppDir, "C:\\Thin\\");
  r_.SetSlot(ReplacerSlot::kUserDir, "C:\\Users\\x\\");
  r_.SetSlot(ReplacerSlot::kLanguageCode, "eng");
  ExpectRows(r_, {
                     {"$FATHOMEDIR$\\a", "$FATHOMEDIR$\\a"},
                     {"$FATORTHINHOMEDIR$\\a", "C:\\Thin\\a"},
                 });

  // The registered value goes through the later rules of the nested expansion.
  test::SetRegValue(HKEY_CURRENT_USER, kBrevox12, "HomeDir",
                    "$USERDIR$\\$LANGUAGE_CODE$\\");
  ExpectRows(r_, {
                     {"$FATHOMEDIR$\\a", "C:\\Users\\x\\$LANGUAGE_CODE$\\a"},
                     {"$FATORTHINHOMEDIR$\\a", "C:\\Users\\x\\$LANGUAGE_CODE$\\a"},
                 });
}

TEST_F(ReplacersTest, AppDirX86WidensProgramFilesOnlyWhenInsertedAndNotX86) {
  r_.SetSlot(ReplacerSlot::kAppDir, "C:\\Program Files\\Suite\\");
  r_.SetSlot(ReplacerSlot::kUserDir, "$APPDIRX86$\\user");
  const std::string wide = "C:\\Program Files (x86)\\Suite\\user";
  struct ArchRow {
    const char* architecture;  // null: no value
    bool widened;
  };
  for (const ArchRow& arch :
       {ArchRow{nullptr, true}, ArchRow{"x86", false}, ArchRow{"AMD64", true},
        ArchRow{"X86", true}, ArchRow{"x86 ", true}}) {
    SCOPED_TRACE(arch.architecture ? arch.architecture : "(none)");
    if (arch.architecture != nullptr)
      test::SetRegValue(HKEY_LOCAL_MACHINE, kEnvironmentKey, "PROCESSOR_ARCHITECTURE",
                        arch.architecture);
    EXPECT_EQ(Expanded(r_, "$USERDIR$"),
              arch.widened ? wide : "C:\\Program Files\\Suite\\user");
    // An $APPDIRX86$ of the input itself never widens.
    EXPECT_EQ(Expanded(r_, "$APPDIRX86$\\bin"), "C:\\Program Files\\Suite\\bin");
  }
}

TEST_F(ReplacersTest, WideningCoversTheWholeTextOnceAndKeepsExistingX86Folders) {
  r_.SetSlot(ReplacerSlot::kAppDir, "C:\\Program Files\\Suite");
  r_.SetSlot(ReplacerSlot::kUserDir, "$APPDIRX86$");
  EXPECT_EQ(
      Expanded(r_, "C:\\Program Files\\Other;$USERDIR$;D:\\Program Files (x86)\\Old"),
      "C:\\Program Files (x86)\\Other;C:\\Program Files (x86)\\Suite;"
      "D:\\Program Files (x86)\\Old");
}

}  // namespace
}  // namespace kova
