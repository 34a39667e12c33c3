#ifndef FC_RECEIVER_DEADLINES_H_
#define FC_RECEIVER_DEADLINES_H_

#include <chrono>
#include <list>
#include <optional>

// Deadlines that run the same length for every item (the idle limit, the
// frame limit): a list ordered by when each item's time began, kept so by
// moving an item to its end when its time begins again, tells the next one
// due at a glance, and costs the same however many items it holds.

namespace fc::receiver {

using SteadyTime = std::chrono::steady_clock::time_point;

/// Where an item stands in one DeadlineList; a member of the item.
template <typename T>
struct DeadlineSlot {
  typename std::list<T*>::iterator place;
  SteadyTime since{};
  bool listed = false;
};

/// Items whose time runs out `limit` after it began.
template <typename T>
class DeadlineList {
 public:
  using Slot = DeadlineSlot<T>;

  DeadlineList(std::chrono::steady_clock::duration limit, Slot T::* slot)
      : limit_(limit), slot_(slot) {}
  DeadlineList(const DeadlineList&) = delete;
  DeadlineList& operator=(const DeadlineList&) = delete;

  /// Starts the item's time at `now`, whether or not it ran.
  void touch(T& item, SteadyTime now) {
    remove(item);
    keep(item, now);
  }
  /// Starts the item's time at `now` unless it runs already.
  void keep(T& item, SteadyTime now) {
    Slot& slot = item.*slot_;
    if (slot.listed) return;
    slot.place = items_.insert(items_.end(), &item);
    slot.since = now;
    slot.listed = true;
  }
  /// Stops the item's time.
  void remove(T& item) {
    Slot& slot = item.*slot_;
    if (!slot.listed) return;
    items_.erase(slot.place);
    slot.listed = false;
  }
  bool runs(const T& item) const { return (item.*slot_).listed; }
  /// When the first time runs out; nothing while none runs.
  std::optional<SteadyTime> next_due() const {
    if (items_.empty()) return std::nullopt;
    return (items_.front()->*slot_).since + limit_;
  }
  /// The first item whose time has run out by `now`, its time stopped; null
  /// when none has.
  T* take_due(SteadyTime now) {
    if (items_.empty() || now - (items_.front()->*slot_).since < limit_) return nullptr;
    T* item = items_.front();
    remove(*item);
    return item;
  }
  /// Gives every item the same new length of time, from when each began.
  void set_limit(std::chrono::steady_clock::duration limit) { limit_ = limit; }
  std::chrono::steady_clock::duration limit() const { return limit_; }

 private:
  std::chrono::steady_clock::duration limit_;
  Slot T::* slot_;
  std::list<T*> items_;
};

}  // namespace fc::receiver

#endif  // FC_RECEIVER_DEADLINES_H_
