// What the web dialog's display sends: a field or the bar is written only when what it shows changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/web_display.h"

namespace {

// One write asked of the display and whether it must reach the dialog.
struct Step {
  WebField field;
  const char* text;
  bool sent;
};

}  // namespace

TEST(ShownValues, TextIsSentOnlyWhenItChangesWhatTheFieldShows) {
  const std::string longLine(255, 'y');
  struct Case {
    const char* name;
    std::vector<Step> steps;
  } cases[] = {
      {"the first text of a field is always sent, even an empty one",
       {{WebField::kActivity, "", true}, {WebField::kActivity, "", false}}},
      {"a repeated percentage is not sent again",
       {{WebField::kPercent, " 25.0%", true}, {WebField::kPercent, " 25.0%", false}, {WebField::kPercent, " 25.0%", false},
        {WebField::kPercent, " 25.1%", true}}},
      {"a text shown before is sent again once another came between",
       {{WebField::kActivity, "|", true}, {WebField::kActivity, "", true}, {WebField::kActivity, "|", true}}},
      {"fields are remembered apart",
       {{WebField::kPercent, "  1.0%", true}, {WebField::kActivity, "  1.0%", true}, {WebField::kStatus, "  1.0%", true},
        {WebField::kPercent, "  1.0%", false}, {WebField::kTitle, "  1.0%", true}, {WebField::kFrame, "  1.0%", true}}},
      {"a null text is the empty text", {{WebField::kTitle, nullptr, true}, {WebField::kTitle, "", false}}},
      {"case and trailing blanks count",
       {{WebField::kStatus, "a.dat", true}, {WebField::kStatus, "A.dat", true}, {WebField::kStatus, "A.dat ", true}}},
      {"a long status line after a short one and back",
       {{WebField::kStatus, "x", true}, {WebField::kStatus, longLine.c_str(), true},
        {WebField::kStatus, "x", true}, {WebField::kStatus, "x", false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShownValues shown;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      EXPECT_EQ(shown.TextChanges(c.steps[i].field, c.steps[i].text), c.steps[i].sent) << "step " << i;
    }
  }
}

TEST(ShownValues, BarIsSentOnlyWhenItsPositionChanges) {
  ShownValues shown;
  // The first position is always sent (the dialog's own bar may stand anywhere), 0 included.
  const struct {
    int position;
    bool sent;
  } steps[] = {{0, true}, {0, false}, {1, true}, {1, false}, {1000, true}, {999, true}, {1000, true}, {1001, true}};
  for (const auto& s : steps) EXPECT_EQ(shown.BarChanges(s.position), s.sent) << s.position;
  // Texts and the bar are remembered apart.
  EXPECT_TRUE(shown.TextChanges(WebField::kPercent, "1001"));
  EXPECT_FALSE(shown.BarChanges(1001));
}
