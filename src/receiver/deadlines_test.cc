#include "receiver/deadlines.h"

#include <gtest/gtest.h>

#include <vector>

namespace fc::receiver {
namespace {

struct Item {
  int name;
  DeadlineSlot<Item> slot;
};

using std::chrono::milliseconds;

// Steps on a list with a limit of 10 ms, each at a time of its own: which
// item is due first and when, and which are taken once due.
TEST(DeadlineList, TouchKeepRemoveAndExpire) {
  enum Op { kTouch, kKeep, kRemove, kLimit };
  struct Step {
    Op op;
    int item;  // for kLimit, the new limit in ms
    int at_ms;
  };
  struct Row {
    const char* name;
    std::vector<Step> steps;
    int due_ms;  // -1: none
    int expire_at_ms;
    std::vector<int> taken;
  };
  const Row rows[] = {
      {"nothing listed", {}, -1, 100, {}},
      {"one, a moment before and at its limit", {{kTouch, 0, 0}}, 10, 9, {}},
      {"one at its limit", {{kTouch, 0, 0}}, 10, 10, {0}},
      {"touched again: its time starts anew",
       {{kTouch, 0, 0}, {kTouch, 1, 2}, {kTouch, 0, 5}},
       12,
       14,
       {1}},
      {"kept: a running time runs on", {{kTouch, 0, 0}, {kKeep, 0, 5}}, 10, 10, {0}},
      {"kept while not listed: starts", {{kKeep, 0, 3}}, 13, 13, {0}},
      {"removed", {{kTouch, 0, 0}, {kTouch, 1, 1}, {kRemove, 0, 2}}, 11, 20, {1}},
      {"in the order their times began", {{kTouch, 1, 0}, {kTouch, 0, 1}}, 10, 11, {1, 0}},
      {"a shorter limit for all", {{kTouch, 0, 0}, {kLimit, 3, 1}}, 3, 3, {0}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SteadyTime zero{};
    DeadlineList<Item> list(milliseconds(10), &Item::slot);
    Item items[2] = {{0, {}}, {1, {}}};
    for (const Step& step : row.steps) {
      SteadyTime at = zero + milliseconds(step.at_ms);
      switch (step.op) {
        case kTouch: list.touch(items[step.item], at); break;
        case kKeep: list.keep(items[step.item], at); break;
        case kRemove: list.remove(items[step.item]); break;
        case kLimit: list.set_limit(milliseconds(step.item)); break;
      }
    }
    std::optional<SteadyTime> due = list.next_due();
    EXPECT_EQ(due.has_value(), row.due_ms >= 0);
    if (due) {
      EXPECT_EQ(*due - zero, milliseconds(row.due_ms));
    }
    std::vector<int> taken;
    while (Item* item = list.take_due(zero + milliseconds(row.expire_at_ms))) {
      taken.push_back(item->name);
      EXPECT_FALSE(list.runs(*item));
    }
    EXPECT_EQ(taken, row.taken);
  }
}

}  // namespace
}  // namespace fc::receiver
