// The LDAP information block: its byte layout, the 259-character cut, and the
// sharing between accessors of the same Kova.
#include "ldap/ldap_shared_info.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "macros/shared_memory.h"

namespace kova {
namespace {

// A Kova name no other test of any process uses.
std::string UniqueKova() {
  const ::testing::TestInfo* info =
      ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string(info->name()) + "-" + std::to_string(GetCurrentProcessId());
}

// A second, raw view of the block, as another process sees it.
class RawBlock {
 public:
  explicit RawBlock(const std::string& kova) {
    const std::string name = "Corvanta - Kova - LDAP Info - " + kova;
    (void)CreateNamedSharedMemory(name.c_str(), kLDAPInfoBlockSize, &mapping_, &view_);
  }
  ~RawBlock() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
    if (mapping_ != nullptr) CloseHandle(mapping_);
  }
  RawBlock(const RawBlock&) = delete;
  RawBlock& operator=(const RawBlock&) = delete;

  unsigned char* bytes() const { return static_cast<unsigned char*>(view_); }
  std::uint32_t Value(std::size_t offset) const {
    std::uint32_t value;
    std::memcpy(&value, bytes() + offset, sizeof value);
    return value;
  }

 private:
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
};

TEST(LDAPSharedInfoTest, FieldsSitAtTheirOffsets) {
  const std::string kova = UniqueKova();
  CLDAPSharedInfo info(kova);
  EXPECT_EQ(info.name(), "Corvanta - Kova - LDAP Info - " + kova);
  info.SetUserName("cn=writer");
  info.SetPassword("secret");
  info.SetLastLDAPError(49);
  info.SetCancelled(TRUE);

  RawBlock raw(kova);
  ASSERT_NE(raw.bytes(), nullptr);
  EXPECT_STREQ(reinterpret_cast<const char*>(raw.bytes()), "cn=writer");
  EXPECT_STREQ(reinterpret_cast<const char*>(raw.bytes() + 260), "secret");
  EXPECT_EQ(raw.Value(520), 49u);
  EXPECT_EQ(raw.Value(524), 1u);
}

TEST(LDAPSharedInfoTest, ANewBlockReadsEmpty) {
  CLDAPSharedInfo info(UniqueKova());
  EXPECT_EQ(info.GetUserName(), "");
  EXPECT_EQ(info.GetPassword(), "");
  EXPECT_EQ(info.GetLastLDAPError(), 0u);
  EXPECT_FALSE(info.IsCancelled());
}

TEST(LDAPSharedInfoTest, TextsAreCutTo259Characters) {
  const std::string kova = UniqueKova();
  CLDAPSharedInfo info(kova);
  RawBlock raw(kova);
  ASSERT_NE(raw.bytes(), nullptr);
  // The neighbouring field must survive a text that does not fit.
  info.SetPassword("untouched");
  info.SetUserName(std::string(300, 'u'));
  EXPECT_EQ(info.GetUserName(), std::string(259, 'u'));
  EXPECT_EQ(raw.bytes()[259], 0);
  EXPECT_EQ(info.GetPassword(), "untouched");

  info.SetPassword(std::string(260, 'p'));
  EXPECT_EQ(info.GetPassword(), std::string(259, 'p'));
  EXPECT_EQ(raw.bytes()[519], 0);
  EXPECT_EQ(raw.Value(520), 0u);

  // A shorter text replaces the whole field, leaving no tail of the old one.
  info.SetUserName("ab");
  EXPECT_EQ(info.GetUserName(), "ab");
  EXPECT_EQ(raw.bytes()[3], 0);
}

TEST(LDAPSharedInfoTest, AnUnterminatedFieldReadsAsItsFirst259Characters) {
  const std::string kova = UniqueKova();
  RawBlock raw(kova);
  ASSERT_NE(raw.bytes(), nullptr);
  std::memset(raw.bytes(), 'x', 520);
  CLDAPSharedInfo info(kova);
  EXPECT_EQ(info.GetUserName(), std::string(259, 'x'));
  EXPECT_EQ(info.GetPassword(), std::string(259, 'x'));
}

TEST(LDAPSharedInfoTest, AccessorsOfOneKovaShareTheBlockWhileOneHoldsIt) {
  const std::string kova = UniqueKova();
  {
    CLDAPSharedInfo first(kova);
    first.SetUserName("shared");
    {
      CLDAPSharedInfo second(kova);
      EXPECT_EQ(second.GetUserName(), "shared");
      second.SetLastLDAPError(81);
      CLDAPSharedInfo other(kova + "-other");
      EXPECT_EQ(other.GetUserName(), "");
    }
    EXPECT_EQ(first.GetLastLDAPError(), 81u);
  }
  // With every holder gone the block went away.
  CLDAPSharedInfo later(kova);
  EXPECT_EQ(later.GetUserName(), "");
  EXPECT_EQ(later.GetLastLDAPError(), 0u);
}

}  // namespace
}  // namespace kova
