#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace Zerivox::Common {

// Bag of reusable objects. Allocate hands out a released object (as it was
// released: resetting it is the caller's business) or a new one from the
// factory; Release keeps the object unless the bag already holds `limit`
// objects (a negative limit keeps every one). The bag itself is safe to use
// from several threads.
template <typename T> class ObjectPool {
  public:
    ObjectPool(std::function<std::unique_ptr<T>()> factory, int size = -1)
        : _factory(std::move(factory)), _size(size) {}

    ObjectPool(const ObjectPool&) = delete;
    ObjectPool& operator=(const ObjectPool&) = delete;

    std::unique_ptr<T> Allocate() {
        {
            std::lock_guard lock(_mutex);
            if (!_items.empty()) {
                std::unique_ptr<T> item = std::move(_items.back());
                _items.pop_back();
                return item;
            }
        }
        return _factory();
    }

    void Release(std::unique_ptr<T> obj) {
        if (!obj)
            return;
        std::lock_guard lock(_mutex);
        if (_size >= 0 && _items.size() >= static_cast<std::size_t>(_size))
            return;
        _items.push_back(std::move(obj));
    }

    std::size_t Count() const {
        std::lock_guard lock(_mutex);
        return _items.size();
    }

  private:
    std::function<std::unique_ptr<T>()> _factory;
    int _size;
    mutable std::mutex _mutex;
    std::vector<std::unique_ptr<T>> _items;
};

} // namespace Zerivox::Common
