#include <gtest/gtest.h>

#include "FakeClient.h"
#include "base/Startup.h"
#include "dbclient/IBIntf.h"

namespace fbu {
namespace {

// The unit's start-up and shutdown around each test, as the program runs them.
class VariantMapTest : public ::testing::Test {
protected:
  VariantMapTest()
  {
    sequence.Register(IBIntfUnit());
    sequence.Startup();
  }
  ~VariantMapTest() override { sequence.Shutdown(); }

  // The text of the invalid-library-type client error (SQLCode 123) that looking up name raises.
  static std::string InvalidTypeError(Text name)
  {
    try {
      FindClientLibrary(name);
    } catch (const EIBClientError& e) {
      EXPECT_EQ(e.SQLCode, 123);
      return e.what();
    }
    return "(nothing raised)";
  }

  StartupSequence sequence;
};

TEST_F(VariantMapTest, FindsTheVariantsIgnoringTheCaseOfAToZ)
{
  const std::pair<Text, Text> cases[] = {
      {u"IBServer", u"fbclient.dll"}, {u"ibserver", u"fbclient.dll"}, {u"IBSERVER", u"fbclient.dll"},
      {u"ibEmbedded", u"ibtogo.dll"}, {u"IBEMBEDDED", u"ibtogo.dll"},
  };
  for (const auto& [asked, library] : cases) {
    Text name = asked;
    const auto found = FindClientLibrary(name);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->LibraryName(), library);
    EXPECT_EQ(name, library == u"fbclient.dll" ? u"IBServer" : u"IBEmbedded");
  }
}

TEST_F(VariantMapTest, EachNameAnswersTheSameObjectEveryTime)
{
  Text a = u"ibserver";
  Text b = u"IBServer";
  EXPECT_EQ(FindClientLibrary(a), FindClientLibrary(b));
}

TEST_F(VariantMapTest, StartupLoadsNothing)
{
  Text name = u"IBServer";
  EXPECT_FALSE(dynamic_cast<TIBServerLibrary&>(*FindClientLibrary(name)).Loaded());
}

TEST_F(VariantMapTest, AnUnknownNameListsEveryKey)
{
  const std::string expected = "Invalid library type assigned.  Valid strings are IBServer IBEmbedded";
  EXPECT_EQ(InvalidTypeError(u"IBClient"), expected);
  EXPECT_EQ(InvalidTypeError(u""), expected);
  EXPECT_EQ(InvalidTypeError(u"IBServer "), expected);
  // Only A to Z fold: the dotless i and the Kelvin sign are no letters of the keys.
  EXPECT_EQ(InvalidTypeError(u"\u0131bserver"), expected);
  EXPECT_EQ(InvalidTypeError(u"IBSer\u212Aer"), expected);
}

TEST_F(VariantMapTest, RegistersMoreVariantsExactlyByName)
{
  auto extra = std::make_shared<TIBEmbeddedLibrary>(std::make_shared<test::FakeHost>());
  EXPECT_THROW(RegisterClientLibrary(u"IBServer", extra), EListError);
  try {
    RegisterClientLibrary(u"IBEmbedded", extra);
    ADD_FAILURE();
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "Duplicates not allowed");
  }
  // A key differing only in case is another key; a lookup matches both and the last
  // one visited wins.
  RegisterClientLibrary(u"ibserver", extra);
  Text name = u"IBSERVER";
  EXPECT_EQ(FindClientLibrary(name), extra);
  EXPECT_EQ(name, u"ibserver");
  EXPECT_EQ(InvalidTypeError(u"x"), "Invalid library type assigned.  Valid strings are IBServer IBEmbedded ibserver");
}

TEST(VariantMapLifetime, NoMapBeforeStartupOrAfterShutdown)
{
  Text name = u"IBServer";
  EXPECT_THROW(FindClientLibrary(name), EIBClientError);
  StartupSequence sequence;
  sequence.Register(IBIntfUnit());
  sequence.Startup();
  std::weak_ptr<IGDSLibrary> server = FindClientLibrary(name);
  EXPECT_FALSE(server.expired());
  sequence.Shutdown();
  EXPECT_TRUE(server.expired()); // the unit held the only references
  try {
    FindClientLibrary(name);
    ADD_FAILURE();
  } catch (const EIBClientError& e) {
    EXPECT_STREQ(e.what(), "Invalid library type assigned.  Valid strings are ");
  }
}

} // namespace
} // namespace fbu
