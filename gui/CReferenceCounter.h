#pragma once
// Intrusive reference count for objects shared between an owner and the
// views that draw them (images, fonts). A new object holds one reference;
// forget() on the last one deletes it.

class CReferenceCounter {
public:
    CReferenceCounter() = default;
    CReferenceCounter(const CReferenceCounter&) = delete;
    CReferenceCounter& operator=(const CReferenceCounter&) = delete;

    void remember() { ++references_; }
    void forget()
    {
        if (--references_ == 0)
            delete this;
    }
    int getNbReference() const { return references_; }

protected:
    virtual ~CReferenceCounter() = default;

private:
    int references_ = 1;
};
