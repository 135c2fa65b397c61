#pragma once
// Intrusive reference count for objects shared between an owner and the
// views that draw them (images, fonts). A new object holds one reference;
// forget() on the last one deletes it. The count is atomic: the editor's
// images are shared by the windows of every instance, which some hosts run
// on threads of their own.

#include <atomic>

class CReferenceCounter {
public:
    CReferenceCounter() = default;
    CReferenceCounter(const CReferenceCounter&) = delete;
    CReferenceCounter& operator=(const CReferenceCounter&) = delete;

    void remember() { references_.fetch_add(1, std::memory_order_relaxed); }
    void forget()
    {
        if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }
    int getNbReference() const { return references_.load(std::memory_order_relaxed); }

protected:
    virtual ~CReferenceCounter() = default;

private:
    std::atomic<int> references_{1};
};
