// The numbered-object registry: chosen numbers, new identities, replacement and release,
// and the refusal of numbers that would make the table absurdly large.
#include "toolkit/object_registry.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

using namespace lurvik;

namespace {

// Counts live objects so the tests can see when the registry releases one.
struct Counted {
  explicit Counted(int v, int* live) : value(v), live(live) { ++*live; }
  ~Counted() { --*live; }
  int value;
  int* live;
};

using Registry = ObjectRegistry<Counted>;

}  // namespace

TEST(ObjectRegistry, ChosenNumbersGrowTheTableReplaceReleasesTheOldBadOnesAreRefused) {
  int live = 0;
  Registry registry;
  EXPECT_EQ(registry.Add(0, std::make_shared<Counted>(10, &live)), 0);
  EXPECT_EQ(registry.Add(1, std::make_shared<Counted>(11, &live)), 1);
  EXPECT_EQ(registry.Add(40, std::make_shared<Counted>(40, &live)), 40);  // beyond the first 16
  EXPECT_EQ(registry.Find(0)->value, 10);
  EXPECT_EQ(registry.Find(40)->value, 40);
  EXPECT_EQ(registry.Find(39), nullptr);
  EXPECT_EQ(live, 3);

  EXPECT_EQ(registry.Add(1, std::make_shared<Counted>(21, &live)), 1);
  EXPECT_EQ(live, 3) << "the object replaced under 1 must be released";
  EXPECT_EQ(registry.Find(1)->value, 21);

  EXPECT_TRUE(registry.Release(0));
  EXPECT_FALSE(registry.Release(0));
  EXPECT_EQ(registry.Find(0), nullptr);
  EXPECT_EQ(live, 2);

  // Numbers below 0 or beyond the table, and missing objects, are refused.
  EXPECT_EQ(registry.Add(-2, std::make_shared<Counted>(1, &live)), Registry::kRefused);
  EXPECT_EQ(registry.Add(Registry::kTableLimit, std::make_shared<Counted>(1, &live)), Registry::kRefused);
  EXPECT_EQ(registry.Add(3, nullptr), Registry::kRefused);
  EXPECT_EQ(live, 2);
  EXPECT_EQ(registry.Find(-1), nullptr);
  EXPECT_EQ(registry.Find(Registry::kFirstIdentity), nullptr);
  EXPECT_EQ(registry.Take(7), nullptr);
}

TEST(ObjectRegistry, NewNumbersAreIdentitiesOutsideTheTableAndNeverReused) {
  int live = 0;
  Registry registry;
  registry.Add(5, std::make_shared<Counted>(5, &live));
  intptr_t a = registry.Add(Registry::kNewNumber, std::make_shared<Counted>(1, &live));
  intptr_t b = registry.Add(Registry::kNewNumber, std::make_shared<Counted>(2, &live));
  EXPECT_NE(a, 0);
  EXPECT_NE(a, b);
  EXPECT_GE(a, Registry::kTableLimit);
  EXPECT_EQ(registry.Find(a)->value, 1);
  EXPECT_EQ(registry.Find(b)->value, 2);
  EXPECT_EQ(registry.Find(5)->value, 5);

  EXPECT_TRUE(registry.Release(a));
  EXPECT_EQ(registry.Find(a), nullptr);
  intptr_t c = registry.Add(Registry::kNewNumber, std::make_shared<Counted>(3, &live));
  EXPECT_NE(c, a) << "a released identity must not name a later object";
  EXPECT_EQ(registry.Count(), 3u);
}

TEST(ObjectRegistry, TakenObjectOutlivesItsReleaseAndTakeAllEmpties) {
  int live = 0;
  Registry registry;
  registry.Add(2, std::make_shared<Counted>(2, &live));
  intptr_t n = registry.Add(Registry::kNewNumber, std::make_shared<Counted>(9, &live));
  std::shared_ptr<Counted> held = registry.Find(n);
  registry.Release(n);
  EXPECT_EQ(held->value, 9) << "a looked-up object stays valid while the caller holds it";
  held.reset();
  EXPECT_EQ(live, 1);

  registry.Add(Registry::kNewNumber, std::make_shared<Counted>(4, &live));
  std::vector<std::shared_ptr<Counted>> all = registry.TakeAll();
  EXPECT_EQ(all.size(), 2u);
  EXPECT_EQ(registry.Count(), 0u);
  all.clear();
  EXPECT_EQ(live, 0);
}

TEST(ObjectRegistry, ConcurrentNewNumbersAreDistinct) {
  int live[4] = {0, 0, 0, 0};  // one counter per thread, so the counting itself does not race
  Registry registry;
  std::vector<intptr_t> numbers[4];
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&registry, &numbers, &live, t] {
      for (int i = 0; i < 200; ++i)
        numbers[t].push_back(registry.Add(Registry::kNewNumber, std::make_shared<Counted>(i, &live[t])));
    });
  for (auto& t : threads) t.join();
  std::set<intptr_t> distinct;
  for (auto& list : numbers) distinct.insert(list.begin(), list.end());
  EXPECT_EQ(distinct.size(), 800u);
  EXPECT_EQ(registry.Count(), 800u);
  registry.TakeAll();
}
