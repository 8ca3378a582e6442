#pragma once

#include <QMetaObject>
#include <QObject>
#include <mutex>
#include <utility>
#include <vector>

namespace tvx::cli {

// What one thread hands to an object that lives in another, in the order handed: the first item
// after a wake-up queues one wake-up in the receiver's thread, which takes everything handed
// until it runs. A thousand frames between two turns of the receiver's loop cost one wake-up.
template <typename Item>
class HandOff {
  public:
    // `take(std::vector<Item>&)` runs in `receiver`'s thread; `receiver` must outlive what was
    // handed to it, as must this hand-off.
    template <typename Take>
    void Hand(QObject* receiver, Item item, Take take) {
        bool wake = false;
        {
            const std::lock_guard<std::mutex> lock(lock_);
            wake = items_.empty();
            items_.push_back(std::move(item));
        }
        if (!wake) return;
        QMetaObject::invokeMethod(
            receiver,
            [this, take] {
                std::vector<Item> taken;
                {
                    const std::lock_guard<std::mutex> lock(lock_);
                    taken.swap(items_);
                }
                take(taken);
            },
            Qt::QueuedConnection);
    }

  private:
    std::mutex lock_;
    std::vector<Item> items_;  // guarded by lock_
};

}  // namespace tvx::cli
