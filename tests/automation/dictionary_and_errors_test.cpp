#include <gtest/gtest.h>

#include <vector>

#include "support/errors.h"
#include "tarvolin/automation/dictionary.h"
#include "tarvolin/automation/error_policy.h"

namespace tarvolin {
namespace {

using testing_support::Raises;

TEST(Dictionary, KeepsInsertionOrderAndRejectsDuplicates) {
  Dictionary d;
  d.Add("b", Variant(int16_t{1}));
  d.Add("a", Variant(int16_t{2}));
  d.Add("c", Variant(int16_t{3}));
  EXPECT_TRUE(Raises([&] { d.Add("a", Variant()); }, err::kDuplicateKey));
  d.Remove("a");
  d.SetItem("a", Variant("again"));
  EXPECT_EQ(d.Keys(), (std::vector<std::string>{"b", "c", "a"}));
  EXPECT_EQ(d.Items()[1].CInt(), 3);
  EXPECT_EQ(d.Item("c").CInt(), 3);  // index kept right after the removal
  // Keys are case-sensitive; reading a missing one adds it as Empty.
  EXPECT_FALSE(d.Exists("B"));
  EXPECT_TRUE(d.Item("B").IsEmpty());
  EXPECT_EQ(d.Count(), 4);
  EXPECT_TRUE(Raises([&] { d.Remove("zz"); }, err::kInvalidProcedureCall));
}

TEST(ErrorPolicy, RelabelBuildsTheSourceChain) {
  const Error e = testing_support::ErrorOf([] {
    WithLabel("Outer:",
              [] { WithLabel("Inner:", [] { RaiseText(13, "Variant", "Type mismatch"); }); });
  });
  EXPECT_EQ(e.number(), 13);
  EXPECT_EQ(e.description(), "Type mismatch");
  EXPECT_EQ(e.source(), "Outer:\r\nInner:\r\nVariant");
  EXPECT_EQ(WithLabel("F:", [] { return 7; }), 7);
  bool ran = false;
  Swallowing([&] {
    ran = true;
    Raise(6, "x");
  });
  EXPECT_TRUE(ran);
}

class ScriptedService : public ErrorService {
 public:
  explicit ScriptedService(std::vector<int> answers) : answers_(std::move(answers)) {}
  int Ask(std::string_view procedure, int32_t number, std::string_view text, int32_t style,
          const Error& error) override {
    asked.push_back(std::string(procedure) + "/" + std::to_string(number) + "/" +
                    std::string(text) + "/" + std::to_string(style) + "/" +
                    std::to_string(error.number()));
    return answers_.at(asked.size() - 1);
  }
  std::vector<std::string> asked;

 private:
  std::vector<int> answers_;
};

TEST(ErrorPolicy, ServiceAnswersRetryResumeOrLeave) {
  ScriptedService service({4, 5, 2});
  ErrorGuard guard(service, "SyncDocCorpoRaggr");
  std::vector<std::string> trace;
  int attempts = 0;
  // Retry: the failing statement runs again and then succeeds.
  EXPECT_TRUE(guard([&] {
    if (++attempts == 1) Raise(11, "x");
    trace.push_back("first");
  }));
  // Resume next: the failing statement is abandoned, the next one runs.
  EXPECT_TRUE(guard([&] { Raise(9, "x"); }));
  EXPECT_TRUE(guard([&] { trace.push_back("third"); }));
  // Any other answer leaves: nothing after runs.
  EXPECT_FALSE(guard([&] { Raise(13, "x"); }));
  EXPECT_FALSE(guard([&] { trace.push_back("never"); }));
  EXPECT_EQ(trace, (std::vector<std::string>{"first", "third"}));
  EXPECT_EQ(service.asked,
            (std::vector<std::string>{"SyncDocCorpoRaggr/99//274/11", "SyncDocCorpoRaggr/99//274/9",
                                      "SyncDocCorpoRaggr/99//274/13"}));
}

}  // namespace
}  // namespace tarvolin
