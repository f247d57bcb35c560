#pragma once
// Ordered, doubly linked list of pointers. The list does not own its items; lists of owned
// records are emptied with DeleteAll.
#include <cstdint>
#include <new>

#include "HnCode/HnErrorCode.h"

template <class T>
class HnList {
 public:
  HnList() = default;
  ~HnList() { Clear(); }
  HnList(const HnList&) = delete;
  HnList& operator=(const HnList&) = delete;

  int32_t Count() const { return count_; }
  T* Get(int32_t i) const { return NodeAt(i)->item; }
  void Append(T* item) { Insert(count_, item); }
  // Inserts before position i; i == Count() appends.
  void Insert(int32_t i, T* item) {
    HN_REQUIRE(i >= 0 && i <= count_);
    Node* n = new (std::nothrow) Node{nullptr, nullptr, item};
    if (!n) HN_THROW(kHnErrNoMemory);
    Node* after = i == count_ ? nullptr : NodeAt(i);
    Node* before = after ? after->prev : tail_;
    n->prev = before;
    n->next = after;
    (before ? before->next : head_) = n;
    (after ? after->prev : tail_) = n;
    ++count_;
  }
  // Takes the item out and returns it.
  T* Remove(int32_t i) {
    Node* n = NodeAt(i);
    (n->prev ? n->prev->next : head_) = n->next;
    (n->next ? n->next->prev : tail_) = n->prev;
    T* item = n->item;
    delete n;
    --count_;
    return item;
  }
  void Clear() {
    while (count_) Remove(count_ - 1);
  }
  void DeleteAll() {
    while (count_) delete Remove(count_ - 1);
  }

 private:
  struct Node {
    Node* next;
    Node* prev;
    T* item;
  };
  Node* NodeAt(int32_t i) const {
    if (i < 0 || i >= count_) HnPreconditionFailed(__FILE__, __LINE__);
    Node* n;
    if (i < count_ / 2) {
      n = head_;
      while (i--) n = n->next;
    } else {
      n = tail_;
      for (int32_t k = count_ - 1; k > i; --k) n = n->prev;
    }
    return n;
  }
  Node* head_ = nullptr;
  Node* tail_ = nullptr;
  int32_t count_ = 0;
};
