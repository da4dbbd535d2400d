// VSTGUI's reference counting: an object starts with one reference, owners
// call remember to take another and forget to release theirs; the last
// forget deletes the object.
#pragma once

#include <atomic>

class CReferenceCounter {
public:
    CReferenceCounter() = default;
    CReferenceCounter(const CReferenceCounter&) : nbReference(1) {}
    CReferenceCounter& operator=(const CReferenceCounter&) { return *this; }
    virtual ~CReferenceCounter() = default;

    void remember() { nbReference.fetch_add(1, std::memory_order_relaxed); }
    void forget() {
        if (nbReference.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }
    int getNbReference() const { return nbReference.load(std::memory_order_relaxed); }

private:
    std::atomic<int> nbReference{1};
};
