// Requests, response fields and the response queue, through the C interface.
#include "engine/status_codes.h"
#include "libtalmer/api_test_support.h"

#include <cstring>
#include <string>
#include <vector>

namespace talmer_test {
namespace {

// The codes come from the library's one table.
using talmer::kInvalidArgument;
using talmer::kMalformedParamList;
using talmer::kNoResponseField;
using talmer::kNotCompleted;
using talmer::kUnknownRequest;
using talmer::kWrongState;

using Requests = OpenPrinter;

Request posted(Device device, const char *name, const char *paramList,
               int32_t mode = FPD_POST_NORMAL) {
  Request request = paramList ? FPD_CreateRequestEx(device, name, paramList)
                              : FPD_CreateRequest(device, name);
  EXPECT_NE(request, nullptr);
  EXPECT_EQ(FPD_PostRequest(request, mode), 0);
  return request;
}

TEST_F(Requests, PaperFeedIsCheckedAndAnswered) {
  EXPECT_EQ(runRequest(device, "papfeed", "ln,1"), 0);
  Request refused = posted(device, "papfeed", "ln,100");
  ASSERT_EQ(FPD_WaitForRequestCompleted(refused, 10000), 0);
  const ErrorCode status = FPD_GetRequestStatus(refused);
  EXPECT_NE(status, 0);
  EXPECT_NE(FPD_GetErrorString(status, "pl"), nullptr);
  char cm[128];
  EXPECT_EQ(FPD_GetResponseValue(refused, "cm", cm, sizeof cm), 0);
  EXPECT_STREQ(cm, "papfeed");
  EXPECT_EQ(FPD_DestroyRequest(refused), 0);
}

TEST_F(Requests, CreationRefusesUnknownNamesAndMalformedLists) {
  EXPECT_EQ(FPD_CreateRequest(device, "nosuchrequest"), nullptr);
  EXPECT_EQ(FPD_GetError(device), kUnknownRequest);
  EXPECT_EQ(FPD_CreateRequest(device, nullptr), nullptr);
  for (const char *list : {"", "ln", ",1", "ln,1\n", "ln,1\n\nln,2"}) {
    EXPECT_EQ(FPD_CreateRequestEx(device, "papfeed", list), nullptr) << list;
    EXPECT_EQ(FPD_GetError(device), kMalformedParamList) << list;
  }
  EXPECT_EQ(FPD_CreateRequestEx(device, "papfeed", nullptr), nullptr);
  Request request = FPD_CreateRequestEx(device, "papfeed", "ln,1");
  EXPECT_NE(request, nullptr);
  EXPECT_EQ(FPD_GetError(device), 0);
  FPD_DestroyRequest(request);
}

TEST_F(Requests, CallsOutOfOrderAreRefused) {
  Request request = FPD_CreateRequest(device, "papfeed");
  EXPECT_EQ(FPD_WaitForRequestCompleted(request, 10), kWrongState);
  EXPECT_EQ(FPD_GetRequestStatus(request), kNotCompleted);
  EXPECT_EQ(FPD_PushRequestParam(request, "", "1"), kInvalidArgument);
  EXPECT_EQ(FPD_PushRequestParam(request, "ln", nullptr), kInvalidArgument);
  EXPECT_EQ(FPD_PushRequestParam(request, "ln", "1"), 0);
  EXPECT_EQ(FPD_PostRequest(request, 1), kInvalidArgument);
  EXPECT_EQ(FPD_PostRequest(request, FPD_POST_NORMAL), 0);
  EXPECT_EQ(FPD_PostRequest(request, FPD_POST_NORMAL), kWrongState);
  EXPECT_EQ(FPD_PushRequestParam(request, "ln", "2"), kWrongState);
  EXPECT_EQ(FPD_WaitForRequestCompleted(request, 10000), 0);
  EXPECT_EQ(FPD_GetRequestStatus(request), 0);
  EXPECT_EQ(FPD_DestroyRequest(request), 0);
}

TEST_F(Requests, PushedValuesMayHoldLineFeeds) {
  Request request = FPD_CreateRequest(device, "papfeed");
  EXPECT_EQ(FPD_PushRequestParam(request, "ln", "1\n2"), 0);
  EXPECT_EQ(FPD_PostRequest(request, FPD_POST_NORMAL), 0);
  EXPECT_EQ(FPD_WaitForRequestCompleted(request, 10000), 0);
  EXPECT_NE(FPD_GetRequestStatus(request), 0); // "1\n2" is no number
  FPD_DestroyRequest(request);
}

TEST_F(Requests, ResponseFieldsAreCutToTheirBuffers) {
  Request request = posted(device, "rtcget", nullptr);
  ASSERT_EQ(FPD_WaitForRequestCompleted(request, 10000), 0);
  char value[32];
  ASSERT_EQ(FPD_GetResponseValue(request, "da", value, sizeof value), 0);
  EXPECT_EQ(std::strlen(value), 16u); // YYYY-MM-DD,HH:MM
  char tiny[2] = {'x', 'y'};
  EXPECT_EQ(FPD_GetResponseValue(request, "da", tiny, 1), 0);
  EXPECT_EQ(tiny[0], '\0');
  EXPECT_EQ(tiny[1], 'y');
  char none = 'n';
  EXPECT_EQ(FPD_GetResponseValue(request, "da", &none, 0), 0);
  EXPECT_EQ(none, 'n');
  EXPECT_EQ(FPD_GetResponseValue(request, "zz", value, sizeof value), kNoResponseField);
  EXPECT_EQ(FPD_GetResponseValue(request, nullptr, value, sizeof value),
            kInvalidArgument);
  FPD_DestroyRequest(request);
}

TEST(ResponseFields, ArePoppedInOrderWithNamesCutTo15) {
  ScriptFile script("vatget field a_name_longer_than_fifteen \"v\xC4\x85lue\"\n"
                    "rtcget no-fields\n");
  Session opened;
  Request request = posted(opened.device, "vatget", nullptr);
  ASSERT_EQ(FPD_WaitForRequestCompleted(request, 10000), 0);
  const int32_t count = FPD_GetResponseValueCount(request);
  ASSERT_GE(count, 2);
  std::vector<std::string> names;
  char name[FPD_RESPONSE_NAME_SIZE + 4];
  char value[8];
  for (int32_t left = count; left > 0; --left) {
    std::memset(name, 'x', sizeof name);
    ASSERT_EQ(FPD_PopResponseValue(request, name, value, sizeof value), 0);
    EXPECT_EQ(name[FPD_RESPONSE_NAME_SIZE], 'x');
    names.push_back(name);
    EXPECT_EQ(FPD_GetResponseValueCount(request), left - 1);
  }
  EXPECT_EQ(names.back(), "a_name_longer_t");
  EXPECT_STREQ(value, "v\xB9lue"); // "ąlue" in code page 1250
  EXPECT_EQ(names.front(), "va");
  EXPECT_EQ(FPD_PopResponseValue(request, name, value, sizeof value), kNoResponseField);
  EXPECT_EQ(FPD_PopResponseValue(request, nullptr, value, sizeof value),
            kInvalidArgument);
  FPD_DestroyRequest(request);

  Request empty = posted(opened.device, "rtcget", nullptr);
  ASSERT_EQ(FPD_WaitForRequestCompleted(empty, 10000), 0);
  EXPECT_EQ(FPD_GetResponseValueCount(empty), 0);
  FPD_DestroyRequest(empty);
}

// Destroying a request is safe in every state: before posting, while the
// printer works on it, after a wait given up, and when it never completes.
TEST(Destroying, WorksInEveryState) {
  ScriptFile script("papfeed#2 busy 1000000\npapfeed#3 never\npapfeed#4 busy 50000\n");
  Session opened;
  Device device = opened.device;
  EXPECT_EQ(FPD_DestroyRequest(FPD_CreateRequest(device, "papfeed")), 0);
  EXPECT_EQ(FPD_DestroyRequest(posted(device, "papfeed", "ln,1")),
            0); // being worked on
  Request never = posted(device, "papfeed", "ln,1");
  EXPECT_EQ(FPD_WaitForRequestCompleted(never, 100), FPD_WAIT_NO_RESPONSE);
  EXPECT_EQ(FPD_GetRequestStatus(never), kNotCompleted);
  EXPECT_EQ(FPD_DestroyRequest(never), 0);
  Request slow = posted(device, "papfeed", "ln,1");
  EXPECT_EQ(FPD_WaitForRequestCompleted(slow, 20000), FPD_WAIT_NO_RESPONSE);
  EXPECT_EQ(FPD_WaitForRequestCompleted(slow, 20000), FPD_WAIT_NO_RESPONSE);
  EXPECT_EQ(FPD_DestroyRequest(slow), 0);
  EXPECT_EQ(FPD_DestroyRequest(slow), 0x10002);
}

struct WaitCase {
  const char *script;
  std::vector<ErrorCode> waits; ///< results of successive waits of 10000 ms
  ErrorCode status;
};

TEST(Waiting, FollowsNominalTimeAndTheScript) {
  const WaitCase cases[] = {
      {"", {0}, 0},
      {"papfeed busy 25000", {FPD_WAIT_NO_RESPONSE, FPD_WAIT_NO_RESPONSE, 0}, 0},
      {"papfeed busy 10000", {0}, 0},
      {"papfeed wait 65539 times 2",
       {FPD_WAIT_NO_RESPONSE, FPD_WAIT_NO_RESPONSE, 0},
       0},
      {"papfeed wait 5", {5, 5, 5}, 0},
      {"papfeed never", {FPD_WAIT_NO_RESPONSE, FPD_WAIT_NO_RESPONSE}, kNotCompleted},
      {"papfeed status 32", {0}, 32},
      {"papfeed status 0x10004", {0}, FPD_STATUS_10004},
  };
  for (const WaitCase &c : cases) {
    SCOPED_TRACE(c.script);
    ScriptFile script(c.script);
    Session opened;
    Request request = posted(opened.device, "papfeed", "ln,1");
    std::vector<ErrorCode> waits;
    for (std::size_t i = 0; i < c.waits.size(); ++i)
      waits.push_back(FPD_WaitForRequestCompleted(request, 10000));
    EXPECT_EQ(waits, c.waits);
    EXPECT_EQ(FPD_GetRequestStatus(request), c.status);
    FPD_DestroyRequest(request);
  }
}

TEST(Scripted, CreationAndPostFailures) {
  ScriptFile script("papfeed#2 create fail 0x10006\npapfeed#3 create fail 0\n"
                    "rtcget post fail 0x10005\n");
  Session opened;
  Device device = opened.device;
  Request first = FPD_CreateRequest(device, "papfeed");
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(FPD_CreateRequest(device, "papfeed"), nullptr);
  EXPECT_EQ(FPD_GetError(device), 0x10006);
  EXPECT_EQ(FPD_CreateRequestEx(device, "papfeed", "ln,1"), nullptr);
  EXPECT_EQ(FPD_GetError(device), 0);
  Request fourth = FPD_CreateRequest(device, "papfeed");
  EXPECT_NE(fourth, nullptr);
  Request rtc = FPD_CreateRequest(device, "rtcget");
  EXPECT_EQ(FPD_PostRequest(rtc, FPD_POST_NORMAL), 0x10005);
  FPD_DestroyRequest(first);
  FPD_DestroyRequest(fourth);
  FPD_DestroyRequest(rtc);
}

// Five spooled feeds, the third faulty: five responses in order.
TEST_F(Requests, SpooledResultsQueueInPostingOrder) {
  std::vector<Request> spooled;
  for (const char *lines : {"ln,1", "ln,1", "ln,100", "ln,1", "ln,1"})
    spooled.push_back(posted(device, "papfeed", lines, FPD_POST_SPOOLSPECIAL));
  Request normal = posted(device, "papfeed", "ln,1");
  ASSERT_EQ(FPD_WaitForRequestCompleted(normal, 10000), 0); // after all five
  FPD_DestroyRequest(normal);
  EXPECT_EQ(FPD_GetResponseCount(device), 5);
  for (int i = 0; i < 5; ++i) {
    Request response = FPD_GetNextResponse(device);
    ASSERT_EQ(response, spooled[i]);
    const ErrorCode status = FPD_GetRequestStatus(response);
    char cm[128] = "";
    if (i == 2) {
      EXPECT_NE(status, 0);
      EXPECT_EQ(FPD_GetResponseValue(response, "cm", cm, sizeof cm), 0);
      EXPECT_STREQ(cm, "papfeed");
    } else {
      EXPECT_EQ(status, 0);
    }
    EXPECT_EQ(FPD_DestroyRequest(response), 0);
  }
  EXPECT_EQ(FPD_GetNextResponse(device), nullptr);
  EXPECT_EQ(FPD_GetResponseCount(device), 0);
}

TEST(ResponseQueue, LostResultsAndAChosenCount) {
  ScriptFile script("papfeed#2 lost\nresponse-count 99\n");
  Session opened;
  Device device = opened.device;
  std::vector<Request> spooled;
  for (int i = 0; i < 3; ++i)
    spooled.push_back(posted(device, "papfeed", "ln,1", FPD_POST_SPOOLSPECIAL));
  Request normal = posted(device, "papfeed", "ln,1");
  ASSERT_EQ(FPD_WaitForRequestCompleted(normal, 10000), 0);
  FPD_DestroyRequest(normal);
  EXPECT_EQ(FPD_GetResponseCount(device), 99);
  EXPECT_EQ(FPD_GetNextResponse(device), spooled[0]);
  EXPECT_EQ(FPD_GetNextResponse(device), spooled[2]);
  EXPECT_EQ(FPD_GetNextResponse(device), nullptr);
  FPD_DestroyRequest(spooled[0]);
  FPD_DestroyRequest(spooled[2]);
}

// Closing frees what is queued, in flight or still held (checked by the leak
// sanitizer); the held request becomes invalid.
TEST(ResponseQueue, ClosingFreesQueuedAndPendingRequests) {
  ScriptFile script("papfeed#3 busy 100000000\n");
  Session opened;
  Device device = opened.device;
  for (int i = 0; i < 4; ++i)
    posted(device, "papfeed", "ln,1", FPD_POST_SPOOLSPECIAL);
  Request held = posted(device, "papfeed", "ln,1");
  EXPECT_EQ(FPD_CloseDevice(device), 0);
  EXPECT_EQ(FPD_DestroyRequest(held), 0x10002);
  opened.device = nullptr;
}

} // namespace
} // namespace talmer_test
