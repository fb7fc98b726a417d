// The numbered-object registry: chosen numbers, new identities, replacement and release,
// and the refusal of numbers that would make the table absurdly large.
#include "toolkit/object_registry.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

using namespace lurvik;

namespace {
using Registry = ObjectRegistry<int>;
std::shared_ptr<int> Object(int value) { return std::make_shared<int>(value); }
}  // namespace

TEST(ObjectRegistry, ChosenNumbersGrowTheTableReplaceReleasesTheOldBadOnesAreRefused) {
  Registry registry;
  std::shared_ptr<int> replaced = Object(11);
  const std::weak_ptr<int> watch = replaced;
  EXPECT_EQ(registry.Add(0, Object(10)), 0);
  EXPECT_EQ(registry.Add(1, std::move(replaced)), 1);
  EXPECT_EQ(registry.Add(40, Object(40)), 40) << "beyond the first 16";
  EXPECT_EQ(*registry.Find(40), 40);
  EXPECT_EQ(registry.Find(39), nullptr);
  EXPECT_EQ(registry.Add(1, Object(21)), 1);
  EXPECT_TRUE(watch.expired()) << "the object replaced under 1 must be released";
  EXPECT_EQ(*registry.Find(1), 21);
  EXPECT_TRUE(registry.Release(0));
  EXPECT_FALSE(registry.Release(0));
  EXPECT_EQ(registry.Find(0), nullptr);
  for (intptr_t bad : {intptr_t(-2), Registry::kTableLimit}) EXPECT_EQ(registry.Add(bad, Object(1)), Registry::kRefused) << bad;
  EXPECT_EQ(registry.Add(3, nullptr), Registry::kRefused);
  EXPECT_EQ(registry.Find(-1), nullptr);
  EXPECT_EQ(registry.Find(Registry::kFirstIdentity), nullptr);
  EXPECT_EQ(registry.Take(7), nullptr);
}

TEST(ObjectRegistry, NewNumbersAreIdentitiesOutsideTheTableNeverReusedAndOutliveTheirRelease) {
  Registry registry;
  registry.Add(5, Object(5));
  const intptr_t a = registry.Add(Registry::kNewNumber, Object(1));
  const intptr_t b = registry.Add(Registry::kNewNumber, Object(2));
  EXPECT_NE(a, b);
  EXPECT_GE(a, Registry::kTableLimit);
  EXPECT_EQ(*registry.Find(b), 2);
  EXPECT_EQ(*registry.Find(5), 5);
  std::shared_ptr<int> held = registry.Find(a);
  EXPECT_TRUE(registry.Release(a));
  EXPECT_EQ(registry.Find(a), nullptr);
  EXPECT_EQ(*held, 1) << "a looked-up object stays valid while the caller holds it";
  EXPECT_NE(registry.Add(Registry::kNewNumber, Object(3)), a) << "a released identity must not name a later object";
  EXPECT_EQ(registry.Count(), 3u);
  EXPECT_EQ(registry.TakeAll().size(), 3u);
  EXPECT_EQ(registry.Count(), 0u);
}

TEST(ObjectRegistry, ConcurrentNewNumbersAreDistinct) {
  Registry registry;
  std::vector<intptr_t> numbers[4];
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&registry, &numbers, t] {
      for (int i = 0; i < 200; ++i) numbers[t].push_back(registry.Add(Registry::kNewNumber, Object(i)));
    });
  for (auto& t : threads) t.join();
  std::set<intptr_t> distinct;
  for (auto& list : numbers) distinct.insert(list.begin(), list.end());
  EXPECT_EQ(distinct.size(), 800u);
  EXPECT_EQ(registry.Count(), 800u);
}
