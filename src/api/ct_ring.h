// A circular list with a cursor: searches start at the cursor and leave it on the node found,
// insertion links the new node just before the cursor and makes it current, removal removes the
// current node and moves the cursor to its successor. Not synchronised: the owner locks.
#pragma once

#include <cstdint>
#include <list>

namespace tavlin::api {

template <typename Element>
class CTRing {
  public:
    CTRing() : current_(nodes_.end()) {}
    virtual ~CTRing() = default;
    CTRing(const CTRing&) = delete;
    CTRing& operator=(const CTRing&) = delete;

    virtual void Insert(const Element& element) { current_ = nodes_.insert(current_, element); }

    // Walks forward from the cursor and rests on the first node whose key matches; a failed
    // search stops on the node that was last before the search began. The stop is that node
    // itself, not its key, so equal keys elsewhere cannot end the walk early.
    template <typename Key, typename KeyOf>
    int Find(const Key& key, KeyOf keyOf) {
        if (nodes_.empty()) return 0;
        const Iterator stop = Prev(current_);
        if (keyOf(*current_) == key) return 1;
        for (;;) {
            if (current_ == stop) return 0;
            current_ = Next(current_);
            if (keyOf(*current_) == key) return 1;
        }
    }

    int RemoveCurrent() {
        if (nodes_.empty()) return 0;
        current_ = nodes_.erase(current_);
        if (current_ == nodes_.end()) current_ = nodes_.begin();
        return 1;
    }

    void Clear() {
        while (RemoveCurrent() != 0) {
        }
    }

    int32_t Count() const { return static_cast<int32_t>(nodes_.size()); }
    bool Empty() const { return nodes_.empty(); }
    // The cursor's element; only valid while the ring is not empty.
    Element& Current() { return *current_; }

  protected:
    using Iterator = typename std::list<Element>::iterator;

    Iterator Next(Iterator it) {
        ++it;
        return it == nodes_.end() ? nodes_.begin() : it;
    }
    Iterator Prev(Iterator it) {
        if (it == nodes_.begin()) it = nodes_.end();
        return --it;
    }

  private:
    std::list<Element> nodes_;  // the circle: end() wraps to begin()
    Iterator current_;
};

}  // namespace tavlin::api
