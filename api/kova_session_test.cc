#include "api/kova_session.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "tests/test_util.h"

namespace kova {
namespace {

using test::ScopedEnv;

class SessionTest : public test::IsolatedTest {};

TEST_F(SessionTest, DirectoriesComeFromTheSupportLibrary) {
  ScopedEnv user("KOVA_USERDIR", std::string("/srv/user"));
  ScopedEnv files("KOVA_USERFILEDIR", std::string("/srv/files/"));
  CKovaSession session;
  EXPECT_EQ(session.GetUserDir(), "\\srv\\user\\");
  EXPECT_EQ(session.GetUserFileDir(), "\\srv\\files\\");
}

TEST_F(SessionTest, AnEmptyDirectoryIsAskedForAgainAFilledOneIsKept) {
  CKovaSession session;
  {
    ScopedEnv user("KOVA_USERDIR", std::string());
    EXPECT_EQ(session.GetUserDir(), "");
  }
  {
    ScopedEnv user("KOVA_USERDIR", std::string("/first"));
    EXPECT_EQ(session.GetUserDir(), "\\first\\");
  }
  ScopedEnv user("KOVA_USERDIR", std::string("/second"));
  EXPECT_EQ(session.GetUserDir(), "\\first\\");
}

TEST_F(SessionTest, CreationWritesTheUserDirectoryIntoTheReplacerBlock) {
  ScopedEnv user("KOVA_USERDIR", std::string("/srv/u"));
  std::unique_ptr<CKovaSession> session = CreateSession();
  CKovas view(nullptr);
  ASSERT_NE(view.GetReplacers(), nullptr);
  EXPECT_EQ(view.GetReplacers()->GetUserDir(), "\\srv\\u\\");
}

TEST_F(SessionTest, NoUserDirectoryLeavesTheBlockAlone) {
  CKovas view(nullptr);
  ASSERT_NE(view.GetReplacers(), nullptr);
  view.GetReplacers()->SetUserDir("\\kept\\");
  ScopedEnv user("KOVA_USERDIR", std::string());
  std::unique_ptr<CKovaSession> session = CreateSession();
  EXPECT_EQ(view.GetReplacers()->GetUserDir(), "\\kept\\");
  EXPECT_EQ(session->loadedFile(), nullptr);
  EXPECT_EQ(session->findResults(), nullptr);
}

TEST_F(SessionTest, HandlesAreSmallDistinctAndRefusedOnceReleased) {
  const LONG first = RegisterSession(std::make_unique<CKovaSession>());
  const LONG second = RegisterSession(std::make_unique<CKovaSession>());
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  EXPECT_NE(first, second);
  CKovaSession* session = LookupSession(first);
  ASSERT_NE(session, nullptr);
  session->SetSelItemPath("<Work>\\a");
  EXPECT_EQ(LookupSession(first)->selItemPath(), "<Work>\\a");
  EXPECT_EQ(LookupSession(0), nullptr);
  EXPECT_EQ(LookupSession(-first), nullptr);

  EXPECT_NE(UnregisterSession(first), nullptr);
  EXPECT_EQ(LookupSession(first), nullptr);
  EXPECT_EQ(UnregisterSession(first), nullptr);
  EXPECT_NE(LookupSession(second), nullptr);
  EXPECT_NE(UnregisterSession(second), nullptr);
  EXPECT_EQ(RegisterSession(nullptr), 0);
}

TEST_F(SessionTest, HandleTableIsThreadSafe) {
  constexpr int kPerThread = 200;
  std::vector<LONG> handles[2];
  std::vector<std::thread> threads;
  for (auto& list : handles) {
    threads.emplace_back([&list] {
      for (int i = 0; i < kPerThread; ++i) {
        list.push_back(RegisterSession(std::make_unique<CKovaSession>()));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<LONG> distinct;
  for (auto& list : handles) {
    for (LONG handle : list) {
      EXPECT_NE(handle, 0);
      distinct.insert(handle);
    }
  }
  EXPECT_EQ(distinct.size(), 2u * kPerThread);
  for (LONG handle : distinct) EXPECT_NE(UnregisterSession(handle), nullptr);
}

}  // namespace
}  // namespace kova
