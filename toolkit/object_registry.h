// The registry of numbered objects (files, windows, menus, libraries): callers name objects by
// a number of their own choosing, or ask for a new one and get an identity outside the range of
// chosen numbers. One registry per kind of object, each with its own lock.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "toolkit/lock.h"

namespace lurvik {

template <typename Object>
class ObjectRegistry {
 public:
  // Passed as the number to ask for a new one; never the number of an object, so Add also
  // returns it on refusal.
  static constexpr intptr_t kNewNumber = -1;
  static constexpr intptr_t kRefused = -1;
  // Caller-chosen numbers index a table that starts with room for kTableStep entries and grows
  // to the number plus kTableStep; numbers from kTableLimit on are refused so a wild number
  // cannot make the table huge. New numbers are identities from kFirstIdentity upward, never
  // reused, so a stale number can never name a later object.
  static constexpr intptr_t kTableStep = 16;
  static constexpr intptr_t kTableLimit = intptr_t(1) << 16;
  static constexpr intptr_t kFirstIdentity = intptr_t(1) << 20;

  ObjectRegistry() : table_(kTableStep) {}
  ObjectRegistry(const ObjectRegistry&) = delete;
  ObjectRegistry& operator=(const ObjectRegistry&) = delete;

  // Stores the object under the chosen number (replacing and releasing the object held there)
  // or under a new identity when number is kNewNumber. Returns the number, or kRefused for a
  // number outside 0 .. kTableLimit - 1 or a missing object.
  intptr_t Add(intptr_t number, std::shared_ptr<Object> object) {
    if (!object) return kRefused;
    std::shared_ptr<Object> replaced;  // released after the lock is left
    {
      LockHolder hold(lock_);
      if (number == kNewNumber) {
        number = nextIdentity_++;
        identities_[number] = std::move(object);
        return number;
      }
      if (number < 0 || number >= kTableLimit) return kRefused;
      if (number >= static_cast<intptr_t>(table_.size())) table_.resize(static_cast<size_t>(number + kTableStep));
      replaced = std::move(table_[static_cast<size_t>(number)]);
      table_[static_cast<size_t>(number)] = std::move(object);
    }
    return number;
  }

  // The object under the number, or null. The caller's reference keeps it alive even when
  // another thread releases the number meanwhile.
  std::shared_ptr<Object> Find(intptr_t number) {
    LockHolder hold(lock_);
    std::shared_ptr<Object>* slot = Slot(number);
    return slot ? *slot : nullptr;
  }

  // Removes the object from the registry and hands it to the caller (null if none).
  std::shared_ptr<Object> Take(intptr_t number) {
    LockHolder hold(lock_);
    std::shared_ptr<Object>* slot = Slot(number);
    if (!slot) return nullptr;
    std::shared_ptr<Object> taken = std::move(*slot);
    if (number >= kTableLimit) identities_.erase(number);
    return taken;
  }

  // Removes and releases the object; the number becomes invalid. False if there was none.
  bool Release(intptr_t number) { return Take(number) != nullptr; }

  // Removes every object and hands them to the caller, chosen numbers first.
  std::vector<std::shared_ptr<Object>> TakeAll() {
    std::vector<std::shared_ptr<Object>> all;
    LockHolder hold(lock_);
    for (std::shared_ptr<Object>& slot : table_)
      if (slot) all.push_back(std::move(slot));
    for (auto& entry : identities_) all.push_back(std::move(entry.second));
    identities_.clear();
    return all;
  }

  size_t Count() {
    LockHolder hold(lock_);
    size_t count = identities_.size();
    for (const std::shared_ptr<Object>& slot : table_) count += slot ? 1 : 0;
    return count;
  }

 private:
  // The slot holding an object under the number, or null; call with the lock held.
  std::shared_ptr<Object>* Slot(intptr_t number) {
    if (number >= 0 && number < static_cast<intptr_t>(table_.size())) {
      std::shared_ptr<Object>& slot = table_[static_cast<size_t>(number)];
      return slot ? &slot : nullptr;
    }
    auto found = identities_.find(number);
    return found == identities_.end() ? nullptr : &found->second;
  }

  Lock lock_;
  std::vector<std::shared_ptr<Object>> table_;
  std::map<intptr_t, std::shared_ptr<Object>> identities_;
  intptr_t nextIdentity_ = kFirstIdentity;
};

}  // namespace lurvik
