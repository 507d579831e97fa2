#include "macros/shared_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "macros/replacers.h"
#include "tests/test_util.h"

namespace kova {
namespace {

// A mapping obtained by CreateNamedSharedMemory, released at the end of the test.
struct Block {
  HANDLE handle = nullptr;
  void* view = nullptr;
  bool created = false;

  Block(const char* name, DWORD size) {
    created = CreateNamedSharedMemory(name, size, &handle, &view);
  }
  ~Block() {
    if (view != nullptr) UnmapViewOfFile(view);
    if (handle != nullptr) CloseHandle(handle);
  }
  char* bytes() const { return static_cast<char*>(view); }
};

bool AllZero(const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  for (std::size_t i = 0; i < size; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

// A block of `name` exists while someone holds it open.
bool BlockExists(const std::string& name) {
  HANDLE handle = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
  if (handle == nullptr) return false;
  CloseHandle(handle);
  return true;
}

std::string UniqueName(const char* tag) {
  return FormatBlockName((std::string("KovaMacrosTest - ") + tag + " - %08ld").c_str());
}

TEST(BlockNameTest, ProcessIdIsDecimalAndZeroPadded) {
  const std::string name = FormatBlockName(kKovaReplacersBlockFormat);
  const std::string prefix = "Corvanta - Kova - Replacers - 0x";
  ASSERT_EQ(name.substr(0, prefix.size()), prefix);
  const std::string digits = name.substr(prefix.size());
  ASSERT_GE(digits.size(), 8u);
  EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << digits;
  EXPECT_EQ(std::stoul(digits, nullptr, 10), GetCurrentProcessId()) << digits;

  EXPECT_EQ(FormatBlockName(kGenericReplacersBlockFormat),
            "Corvanta - Generic - Replacers - 0x" + digits);
  EXPECT_EQ(FormatBlockName(kFileMappingBlockFormat),
            "Corvanta - File Mapping - 0x" + digits);
}

TEST(BlockNameTest, OtherTextIsTakenLiterallyAndCut) {
  EXPECT_EQ(FormatBlockName("plain %s %n %d"), "plain %s %n %d");
  EXPECT_EQ(FormatBlockName(nullptr), "");
  const std::string name = FormatBlockName((std::string(300, 'n') + "%08ld").c_str());
  EXPECT_EQ(name, std::string(259, 'n'));
}

TEST(SharedMemoryTest, CreatedZeroFilledThenOpenedUntouched) {
  const std::string name = UniqueName("open");
  {
    Block first(name.c_str(), 4096);
    ASSERT_TRUE(first.created);
    ASSERT_NE(first.view, nullptr);
    EXPECT_TRUE(AllZero(first.view, 4096));
    std::memset(first.view, 'A', 4096);

    Block second(name.c_str(), 4096);
    EXPECT_FALSE(second.created);
    ASSERT_NE(second.handle, nullptr);
    ASSERT_NE(second.view, nullptr);
    EXPECT_EQ(second.bytes()[0], 'A');
    EXPECT_EQ(second.bytes()[4095], 'A');
    second.bytes()[7] = 'B';
    EXPECT_EQ(first.bytes()[7], 'B');
  }
  Block again(name.c_str(), 4096);
  EXPECT_TRUE(again.created);
  EXPECT_TRUE(AllZero(again.view, 4096));
}

TEST(SharedMemoryTest, EmptyNameUsesTheFileMappingName) {
  const std::string name = FormatBlockName(kFileMappingBlockFormat);
  ASSERT_FALSE(BlockExists(name));
  for (const char* empty : {static_cast<const char*>(nullptr), ""}) {
    Block block(empty, 64);
    EXPECT_TRUE(block.created);
    EXPECT_TRUE(BlockExists(name));
  }
  EXPECT_FALSE(BlockExists(name));
}

TEST(SharedMemoryTest, NullOutputsDoNothing) {
  const std::string name = UniqueName("null");
  HANDLE handle = nullptr;
  void* view = nullptr;
  EXPECT_FALSE(CreateNamedSharedMemory(name.c_str(), 64, nullptr, &view));
  EXPECT_FALSE(CreateNamedSharedMemory(name.c_str(), 64, &handle, nullptr));
  EXPECT_FALSE(BlockExists(name));
}

TEST(SharedReplacersTest, TwoAttachmentsOfOneNameShareTheSlots) {
  const std::string name = FormatBlockName(kKovaReplacersBlockFormat);
  CReplacers first(true, name.c_str());
  CReplacers second(true, name.c_str());
  ASSERT_TRUE(first.IsAttached());
  ASSERT_TRUE(second.IsAttached());
  first.SetUserDir("C:\\Users\\shared");
  EXPECT_EQ(second.GetUserDir(), "C:\\Users\\shared");
  second.SetOrganization("Corvanta");
  EXPECT_EQ(first.GetSlot(ReplacerSlot::kOrganization), "Corvanta");

  std::string text = "$USERDIR$\\a";
  second.Expand(text);
  EXPECT_EQ(text, "C:\\Users\\shared\\a");

  // Detached, an object works on its own zeroed record; the block lives on.
  first.Detach();
  EXPECT_FALSE(first.IsAttached());
  EXPECT_EQ(first.GetUserDir(), "");
  first.SetUserDir("private");
  EXPECT_EQ(second.GetUserDir(), "C:\\Users\\shared");
  first.Detach();
  EXPECT_EQ(first.GetUserDir(), "private");
}

TEST(SharedReplacersTest, NewAttachmentAfterAllReleasesSeesZeros) {
  const std::string name = UniqueName("replacers");
  {
    CReplacers first(true, name.c_str());
    first.SetUserDir("seeded");
    auto second = std::make_unique<CReplacers>(true, name.c_str());
    first.Detach();
    EXPECT_EQ(second->GetUserDir(), "seeded");
  }
  CReplacers fresh(true, name.c_str());
  ASSERT_TRUE(fresh.IsAttached());
  for (int slot = 0; slot < static_cast<int>(kReplacerSlotCount); ++slot)
    EXPECT_EQ(fresh.GetSlot(static_cast<ReplacerSlot>(slot)), "") << slot;
}

TEST(SharedReplacersTest, EmptyNameAttachesToTheGenericBlock) {
  const std::string generic = FormatBlockName(kGenericReplacersBlockFormat);
  for (const char* empty : {static_cast<const char*>(nullptr), ""}) {
    CReplacers replacers(true, empty);
    ASSERT_TRUE(replacers.IsAttached());
    replacers.SetUserDir("generic");
    Block block(generic.c_str(), kReplacerRecordSize);
    EXPECT_FALSE(block.created);
    ASSERT_NE(block.view, nullptr);
    EXPECT_STREQ(block.bytes() + 3 * kReplacerSlotSize, "generic");
  }
}

TEST(SharedReplacersTest, RecordLayoutIsSevenSlotsOf520Bytes) {
  const std::string name = UniqueName("layout");
  CReplacers replacers(true, name.c_str());
  Block block(name.c_str(), kReplacerRecordSize);
  ASSERT_NE(block.view, nullptr);
  // Sentinels around the USERDIR slot: a write clears exactly its 520 bytes.
  std::memset(block.view, '#', kReplacerRecordSize);
  replacers.SetUserDir(std::string(600, 'u').c_str());
  const char* userdir = block.bytes() + 3 * kReplacerSlotSize;
  EXPECT_EQ(std::string(userdir, 519), std::string(519, 'u'));
  EXPECT_EQ(userdir[519], '\0');
  EXPECT_EQ(userdir[-1], '#');
  EXPECT_EQ(userdir[520], '#');
  replacers.SetOrganization("o");
  EXPECT_TRUE(AllZero(block.bytes() + 2 * kReplacerSlotSize + 1, kReplacerSlotSize - 1));
}

TEST(SharedReplacersTest, SlotFilledWithoutNulIsReadWithinTheSlot) {
  const std::string name = UniqueName("nul");
  CReplacers replacers(true, name.c_str());
  Block block(name.c_str(), kReplacerRecordSize);
  ASSERT_NE(block.view, nullptr);
  std::memset(block.view, 'z', kReplacerRecordSize);
  EXPECT_EQ(replacers.GetSlot(ReplacerSlot::kFtpUserName), std::string(520, 'z'));
  EXPECT_EQ(replacers.GetUserDir(), std::string(520, 'z'));
}

TEST(SharedReplacersTest, DetachOnAPrivateObjectChangesNothing) {
  CReplacers replacers(false, FormatBlockName(kKovaReplacersBlockFormat).c_str());
  EXPECT_FALSE(replacers.IsAttached());
  replacers.SetUserDir("mine");
  replacers.Detach();
  EXPECT_EQ(replacers.GetUserDir(), "mine");
  EXPECT_FALSE(BlockExists(FormatBlockName(kKovaReplacersBlockFormat)));
}

}  // namespace
}  // namespace kova
